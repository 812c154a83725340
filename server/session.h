// One client connection: reads requests one after another within the limits,
// answers each, and closes when the client, a limit or the service says so.
#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "server/answer_body.h"
#include "server/problem.h"
#include "server/service_state.h"

namespace wrenfield::server {

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(boost::asio::ip::tcp::socket&& socket, HttpService::State& state);
    ~Session();

    void start();
    // From any thread: an idle connection closes now, one with a request
    // under way closes after answering it.
    void drain();

private:
    void awaitRequest();
    void beginRequest();
    void onHeader(boost::beast::error_code ec);
    bool reserveBody(std::uint64_t bytes);
    void readBody();
    void onBodyPart(boost::beast::error_code ec);
    void onBody(boost::beast::error_code ec);
    void answer();
    void send(Response response, bool keepAlive);
    // Answers an error and closes: the rest of the request is not read.
    void refuse(unsigned status, std::string detail);
    void releaseBodyBudget();
    void lingerThenClose();
    void lingerRead();
    void close();

    HttpService::State& state_;
    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    boost::beast::http::response<AnswerBody> response_;
    std::string address_;  // the client's, without its port
    std::string peer_;
    bool inRequest_ = false;
    bool requestRead_ = false;  // the whole request, body and all, has been read
    std::chrono::steady_clock::time_point started_;
    std::string method_ = "-";
    std::string target_ = "-";
    unsigned version_ = 11;
    std::string origin_;              // the request's Origin, for CORS
    std::string preflightMethod_;     // its Access-Control-Request-Method
    std::string requestId_;           // its X-Request-Id, or the one made for it
    std::uint64_t bodyLimit_ = 0;     // of the request's resource
    std::uint64_t bodyReserved_ = 0;  // in the shared budget
    std::chrono::steady_clock::time_point lingerEnd_;
    std::array<char, 4096> discard_{};
};

}  // namespace wrenfield::server
