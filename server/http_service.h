// The HTTP service: listens on one address, reads each request within the
// limits (limits.h), answers it through respond() (api.h) and logs one line.
// Requests on one connection are answered in order; connections are served
// on a pool of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/api.h"
#include "server/limits.h"

namespace wrenfield::server {

struct ServiceOptions {
    std::string address = "127.0.0.1";
    std::uint16_t port = 8080;  // 0: any free port (see HttpService::port)
    unsigned threads = 0;       // 0: one per core
    ServiceLimits limits;
    ChartRenderer chart;  // empty: no /v1/chart.svg; called from the serving threads
    // The origins whose pages may call the service from a browser (cors.h):
    // "https://ward.example.org", or "*" for any. None by default.
    std::vector<std::string> corsOrigins;
};

class HttpService {
public:
    // Binds and listens; throws std::runtime_error saying why it cannot
    // (an address in use, a name that is not an address...).
    explicit HttpService(const ServiceOptions& options);
    ~HttpService();
    HttpService(const HttpService&) = delete;
    HttpService& operator=(const HttpService&) = delete;

    std::uint16_t port() const;
    std::string url() const;  // "http://127.0.0.1:8080/"

    // Serves until stop(); returns once every request under way has been
    // answered and every connection closed.
    void run();
    // The same, stopping on SIGTERM or SIGINT (Ctrl-C). A second signal while
    // the last requests finish ends the process at once.
    void runUntilSignalled();
    // From any thread: accept no more connections, close the idle ones, and
    // answer the requests under way with "Connection: close".
    void stop();

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace wrenfield::server
