// What the listener and every connection of one HttpService share.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>

#include "server/body_budget.h"
#include "server/cors.h"
#include "server/http_service.h"

namespace wrenfield::server {

class Session;

struct HttpService::State {
    explicit State(const ServiceOptions& options)
        : limits(options.limits)
        , chart(options.chart)
        , cors(options.corsOrigins)
        , acceptor(ioc)
        , bodyBudget(options.limits.largeBodyBudget, options.limits.addressBodyBudget)
    {}

    ServiceLimits limits;
    ChartRenderer chart;
    CorsPolicy cors;
    boost::asio::io_context ioc;
    boost::asio::ip::tcp::acceptor acceptor;
    std::optional<boost::asio::signal_set> signals;
    unsigned threads = 1;

    std::atomic<bool> draining{false};
    std::atomic<std::size_t> connections{0};
    // The room for large bodies being read at once (limits.h).
    BodyBudget bodyBudget;

    std::mutex mutex;
    std::unordered_map<Session*, std::weak_ptr<Session>> sessions;
};

}  // namespace wrenfield::server
