// custcent serve: the calculator over HTTP (a JSON API under /v1 and the page
// at /). The service itself is server/; this only reads the options.
#include <charconv>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "server/cors.h"
#include "server/http_service.h"
#include "cli/window_support.h"

namespace wrenfield::cli {

namespace {

struct ServeOptions {
    std::string listen = "127.0.0.1:8080";
    unsigned threads = 0;
    std::size_t maxConnections = server::ServiceLimits{}.maxConnections;
    std::vector<std::string> corsOrigins;
};

// "127.0.0.1:8080", "[::1]:8080", "0.0.0.0:80".
bool splitListen(const std::string& text, std::string& host, std::uint16_t& port)
{
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size())
        return false;
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const char* first = text.data() + colon + 1;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, port);
    return ec == std::errc() && end == last && !host.empty();
}

void runServe(const ServeOptions& options)
{
    server::ServiceOptions service;
    if (!splitListen(options.listen, service.address, service.port)) {
        std::cerr << "custcent serve: --listen: expected ADDRESS:PORT (127.0.0.1:8080), not \"" << options.listen
                  << "\"\n";
        throw CommandExit{2};
    }
    service.threads = options.threads;
    service.limits.maxConnections = options.maxConnections;
    for (const std::string& origin : options.corsOrigins) {
        if (origin == "*")
            continue;
        if (std::string problem = server::originProblem(origin); !problem.empty()) {
            std::cerr << "custcent serve: --cors-origin: " << problem << "\n";
            throw CommandExit{2};
        }
    }
    service.corsOrigins = options.corsOrigins;
    // /v1/chart.svg and the chart on the page, drawn by the Qt chart painter
    // of the drawing module; without it the service draws no charts.
    std::string problem;
    if (const WindowSupport* window = windowSupportBuilt() ? windowSupport(problem) : nullptr)
        service.chart = window->chartSvg;
    else if (windowSupportBuilt())
        std::cerr << "custcent serve: no charts: " << problem << "\n";
    try {
        server::HttpService http(service);
        std::cerr << "custcent serve: listening on " << http.url() << " (Ctrl-C stops)" << std::endl;
        http.runUntilSignalled();
        std::cerr << "custcent serve: stopped" << std::endl;
    } catch (const std::exception& error) {
        std::cerr << "custcent serve: " << error.what() << "\n";
        throw CommandExit{1};
    }
}

}  // namespace

void addServeCommand(CLI::App& app)
{
    auto options = std::make_shared<ServeOptions>();
    CLI::App* serve = app.add_subcommand(
        "serve",
        "Serve the calculator over HTTP: the JSON API under /v1 (described at /v1/openapi.json) and the "
        "calculator page at /, with its growth chart (/v1/chart.svg) when custcent has Qt. One line "
        "per request goes to stderr (never the inputs), with the request's X-Request-Id (echoed in the "
        "answer; one is made when the request has none). SIGTERM or "
        "Ctrl-C answers the requests under way and stops.");
    serve->add_option("--listen,-l", options->listen,
                      "ADDRESS:PORT to listen on. Default 127.0.0.1:8080 (this machine only); put the service "
                      "behind your own proxy rather than listening on every address.");
    serve->add_option("--threads,-j", options->threads, "Threads that serve requests (default: the cores available).")
        ->check(CLI::Range(1u, 256u));
    serve
        ->add_option("--max-connections", options->maxConnections,
                     "Connections open at once; one more is answered 503. Default 1024.")
        ->check(CLI::Range(std::size_t{1}, std::size_t{100000}));
    serve
        ->add_option("--cors-origin", options->corsOrigins,
                     "ORIGIN whose web pages may call the API from a browser (CORS): scheme://host[:port] as the "
                     "browser sends it, e.g. https://ward.example.org; repeat it or separate origins with commas; "
                     "* allows every origin. Default: none (only the service's own page).")
        ->delimiter(',');
    serve->callback([options] { runServe(*options); });
}

}  // namespace wrenfield::cli
