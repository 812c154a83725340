#include "server/http_service.h"

#include <csignal>
#include <stdexcept>
#include <thread>
#include <vector>

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>

#include "server/access_log.h"
#include "server/problem.h"
#include "server/request_id.h"
#include "server/session.h"

namespace wrenfield::server {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// The answer to a connection beyond the cap, written without waiting: it fits
// in any socket's send buffer, and a client that does not read it loses it.
// Its request is never read: its X-Request-Id is one of the service's making.
std::string refusalText()
{
    static const Response r = problem(503, "too many connections; try again shortly");
    return "HTTP/1.1 503 Service Unavailable\r\nServer: wrenfield\r\nContent-Type: " + r.contentType +
        "\r\nContent-Length: " + std::to_string(r.body.size()) + "\r\nRetry-After: 1\r\n" +
        std::string(kRequestIdHeader) + ": " + newRequestId() + "\r\nConnection: close\r\n\r\n" + r.body;
}

void accept(const std::shared_ptr<HttpService::State>& state);

void onAccept(const std::shared_ptr<HttpService::State>& state, boost::system::error_code ec, tcp::socket socket)
{
    if (state->draining.load() || !state->acceptor.is_open())
        return;
    if (ec) {
        // Out of file descriptors, say: wait a little rather than spin.
        auto timer = std::make_shared<net::steady_timer>(state->ioc, std::chrono::milliseconds(50));
        timer->async_wait([state, timer](boost::system::error_code) { accept(state); });
        return;
    }
    if (state->connections.load() >= state->limits.maxConnections) {
        const std::string refusal = refusalText();
        boost::system::error_code ignored;
        socket.non_blocking(true, ignored);
        socket.write_some(net::buffer(refusal), ignored);
        socket.shutdown(tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    } else {
        std::make_shared<Session>(std::move(socket), *state)->start();
    }
    accept(state);
}

void accept(const std::shared_ptr<HttpService::State>& state)
{
    state->acceptor.async_accept(
        net::make_strand(state->ioc),
        [state](boost::system::error_code ec, tcp::socket socket) { onAccept(state, ec, std::move(socket)); });
}

}  // namespace

HttpService::HttpService(const ServiceOptions& options)
    : state_(std::make_shared<State>(options))
{
    boost::system::error_code ec;
    auto address = net::ip::make_address(options.address, ec);
    if (ec)
        throw std::runtime_error("not an IP address: \"" + options.address + "\"");
    tcp::endpoint endpoint(address, options.port);
    auto& acceptor = state_->acceptor;
    auto check = [&](const char* what) {
        if (ec)
            throw std::runtime_error(std::string("cannot ") + what + " " + options.address + ":" +
                                     std::to_string(options.port) + ": " + ec.message());
    };
    acceptor.open(endpoint.protocol(), ec);
    check("open a socket for");
    acceptor.set_option(net::socket_base::reuse_address(true), ec);
    check("set options of");
    acceptor.bind(endpoint, ec);
    check("listen on");
    acceptor.listen(net::socket_base::max_listen_connections, ec);
    check("listen on");
    state_->threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
}

HttpService::~HttpService() = default;

std::uint16_t HttpService::port() const
{
    boost::system::error_code ec;
    return state_->acceptor.local_endpoint(ec).port();
}

std::string HttpService::url() const
{
    boost::system::error_code ec;
    auto endpoint = state_->acceptor.local_endpoint(ec);
    std::string host = endpoint.address().to_string();
    if (endpoint.address().is_v6())
        host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(endpoint.port()) + "/";
}

void HttpService::run()
{
    accept(state_);
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < state_->threads; ++i)
        workers.emplace_back([this] { state_->ioc.run(); });
    state_->ioc.run();
    for (std::thread& worker : workers)
        worker.join();
}

void HttpService::runUntilSignalled()
{
    state_->signals.emplace(state_->ioc, SIGINT, SIGTERM);
    state_->signals->async_wait([this](boost::system::error_code ec, int) {
        if (!ec)
            stop();
    });
    run();
}

void HttpService::stop()
{
    net::post(state_->ioc, [state = state_] {
        if (state->draining.exchange(true))
            return;
        boost::system::error_code ignored;
        state->acceptor.close(ignored);
        if (state->signals) {
            // From now on SIGINT and SIGTERM do what they do by default: end
            // the process at once.
            state->signals->cancel(ignored);
            state->signals->clear(ignored);
        }
        std::vector<std::shared_ptr<Session>> open;
        {
            std::lock_guard lock(state->mutex);
            for (auto& [raw, weak] : state->sessions)
                if (auto session = weak.lock())
                    open.push_back(std::move(session));
        }
        for (auto& session : open)
            session->drain();
    });
}

}  // namespace wrenfield::server
