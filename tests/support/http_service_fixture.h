// Test helper: the HTTP service on a free port of 127.0.0.1, served on its
// own threads for the length of a test, and a plain blocking client for it.
#pragma once

#include <gtest/gtest.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "server/access_log.h"
#include "server/http_service.h"

namespace wrenfield::testing {

namespace net = boost::asio;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;

struct HttpAnswer {
    unsigned status = 0;
    std::string contentType;
    std::string body;
    std::string allow;
    bool keepAlive = true;
};

class RunningService {
public:
    explicit RunningService(server::ServiceLimits limits = {}, unsigned threads = 2, server::ChartRenderer chart = {})
    {
        server::setAccessLogEnabled(false);
        server::ServiceOptions options;
        options.port = 0;
        options.threads = threads;
        options.limits = limits;
        options.chart = std::move(chart);
        service_ = std::make_unique<server::HttpService>(options);
        thread_ = std::thread([this] { service_->run(); });
    }
    ~RunningService() { stopAndWait(); }

    std::uint16_t port() const { return service_->port(); }
    server::HttpService& service() { return *service_; }

    void stopAndWait()
    {
        if (thread_.joinable()) {
            service_->stop();
            thread_.join();
        }
    }
    bool stopped() const { return !thread_.joinable(); }

private:
    std::unique_ptr<server::HttpService> service_;
    std::thread thread_;
};

// A connection to the service; each call sends one request and reads its answer.
class HttpClient {
public:
    explicit HttpClient(std::uint16_t port)
        : socket_(ioc_)
    {
        socket_.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port));
    }

    HttpAnswer request(http::verb method, const std::string& target, const std::string& body = {},
                       const std::string& contentType = "application/json")
    {
        http::request<http::string_body> req{method, target, 11};
        req.set(http::field::host, "127.0.0.1");
        if (!contentType.empty() && method == http::verb::post)
            req.set(http::field::content_type, contentType);
        req.body() = body;
        req.prepare_payload();
        http::write(socket_, req);
        return read(method == http::verb::head);
    }

    HttpAnswer read(bool head = false)
    {
        http::response_parser<http::string_body> parser;
        parser.body_limit(64 * 1024 * 1024);
        parser.skip(head);
        http::read(socket_, buffer_, parser);
        const auto& res = parser.get();
        return {res.result_int(), std::string(res[http::field::content_type]), res.body(),
                std::string(res[http::field::allow]), res.keep_alive()};
    }

    tcp::socket& socket() { return socket_; }

private:
    net::io_context ioc_;
    tcp::socket socket_;
    boost::beast::flat_buffer buffer_;
};

inline HttpAnswer get(std::uint16_t port, const std::string& target)
{
    return HttpClient(port).request(http::verb::get, target);
}

inline HttpAnswer post(std::uint16_t port, const std::string& target, const std::string& body,
                       const std::string& contentType = "application/json")
{
    return HttpClient(port).request(http::verb::post, target, body, contentType);
}

}  // namespace wrenfield::testing
