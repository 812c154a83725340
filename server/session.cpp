#include "server/session.h"

#include <cstdio>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include "server/access_log.h"
#include "server/answer_room.h"
#include "server/api.h"
#include "server/framing.h"
#include "server/request_id.h"

namespace wrenfield::server {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

// Bytes read at a time while waiting for a request to begin.
constexpr std::size_t kFirstRead = 4096;
// Bytes read at most at a time from a longer body. Beast reads only as much
// as the buffer has room for: with the first read's room, a body of 1 MB
// took some 250 calls to read, a sixteenth of the service's time.
constexpr std::size_t kBodyRead = 65536;
// After answering an error mid-request (a 413 before the body, say), the rest
// the client sends is read and dropped until it closes its side: closing
// while its bytes still arrive would reset the connection, and most clients
// (which send the whole body before they read) would never see the answer.
// The lingering ends when the client is silent for kLingerIdle, or after
// kLingerTime in all (half of kLingerIdle once the service is stopping).
constexpr std::chrono::milliseconds kLingerIdle{2000};
constexpr std::chrono::milliseconds kLingerTime{20'000};

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

std::string_view view(boost::beast::string_view text)
{
    return {text.data(), text.size()};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

Session::Session(tcp::socket&& socket, HttpService::State& state)
    : state_(state)
    , stream_(std::move(socket))
{
    state_.connections.fetch_add(1);
    beast::error_code ec;
    auto remote = stream_.socket().remote_endpoint(ec);
    address_ = ec ? "-" : remote.address().to_string();
    peer_ = ec ? "-" : address_ + ":" + std::to_string(remote.port());
}

Session::~Session()
{
    releaseBodyBudget();
    {
        std::lock_guard lock(state_.mutex);
        state_.sessions.erase(this);
    }
    state_.connections.fetch_sub(1);
}

void Session::start()
{
    {
        std::lock_guard lock(state_.mutex);
        state_.sessions.emplace(this, weak_from_this());
    }
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->awaitRequest(); });
}

void Session::drain()
{
    net::post(stream_.get_executor(), [self = shared_from_this()] {
        if (!self->inRequest_)
            self->close();
    });
}

void Session::awaitRequest()
{
    inRequest_ = false;
    releaseBodyBudget();
    if (state_.draining.load())
        return close();
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(state_.limits.headerBytes));
    // The resource's own limit is applied once the target is known.
    parser_->body_limit(std::max(state_.limits.bodyBytes, state_.limits.centileBodyBytes));
    if (buffer_.size() > 0)
        return beginRequest();  // the next request came with the last one
    if (buffer_.capacity() > 2 * kFirstRead)
        buffer_.shrink_to_fit();
    stream_.expires_after(state_.limits.idleTimeout);
    stream_.async_read_some(buffer_.prepare(kFirstRead),
                            [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                if (ec)
                                    return self->close();  // idle timeout, the client left, or draining
                                self->buffer_.commit(n);
                                self->beginRequest();
                            });
}

void Session::beginRequest()
{
    inRequest_ = true;
    requestRead_ = false;
    started_ = std::chrono::steady_clock::now();
    method_ = "-";
    target_ = "-";
    version_ = 11;
    origin_.clear();
    preflightMethod_.clear();
    requestId_.clear();
    stream_.expires_after(state_.limits.requestDeadline);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
}

void Session::onHeader(beast::error_code ec)
{
    if (ec == beast::error::timeout) {
        logAccess({peer_, method_, target_, version_, 408, 0, std::chrono::steady_clock::now() - started_, "-"});
        return close();  // too slow: cut off without a word
    }
    if (ec == http::error::end_of_stream || ec == net::error::eof || ec == net::error::connection_reset ||
        ec == net::error::operation_aborted)
        return close();
    if (ec == http::error::body_limit)
        return refuse(413, "the announced body exceeds the limit for this service");
    if (ec == http::error::header_limit)
        return refuse(
            431, "the request line and header fields exceed " + std::to_string(state_.limits.headerBytes) + " bytes");
    if (ec)
        return refuse(400, "malformed HTTP request: " + ec.message());

    const auto& request = parser_->get();
    method_ = std::string(view(request.method_string()));
    target_ = std::string(view(request.target()));
    version_ = request.version();

    if (auto framing = framingProblem(request))
        return refuse(framing->status, std::move(framing->detail));
    origin_ = std::string(view(request[http::field::origin]));
    preflightMethod_ = std::string(view(request[http::field::access_control_request_method]));
    const auto ids = request.equal_range({kRequestIdHeader.data(), kRequestIdHeader.size()});
    if (ids.first != ids.second) {
        const std::string id(view(ids.first->value()));
        if (std::next(ids.first) != ids.second)
            return refuse(400, "more than one X-Request-Id header field");
        if (std::string problem = requestIdProblem(id); !problem.empty())
            return refuse(400, std::move(problem));
        requestId_ = id;
    }

    bodyLimit_ = bodyLimit(method_, target_, state_.limits);
    auto length = parser_->content_length();
    if (length && *length > bodyLimit_)
        return refuse(413,
                      "the body of " + std::to_string(*length) + " bytes exceeds the limit of " +
                          std::to_string(bodyLimit_) + " bytes for this resource");
    if (parser_->is_done())
        return answer();

    // A body within the connection's own room is read at once; a larger
    // announced one reserves its length in the shared budget first.
    if (length && *length > state_.limits.bodyBytes && !reserveBody(*length))
        return refuse(503, "too many large requests at once; try again shortly");
    parser_->body_limit(bodyLimit_);
    if (equalsIgnoringCase(view(request[http::field::expect]), "100-continue")) {
        net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             if (ec)
                                 return self->close();
                             self->readBody();
                         });
        return;
    }
    readBody();
}

bool Session::reserveBody(std::uint64_t bytes)
{
    if (!state_.bodyBudget.reserve(address_, bytes))
        return false;
    bodyReserved_ = bytes;
    return true;
}

// The body is read piece by piece, so that a body that stops arriving is
// noticed within bodyStallTimeout (each piece renews it, never past the
// request's deadline), and a chunked body, whose length nobody announced,
// reserves its room once it outgrows the connection's own.
void Session::readBody()
{
    // Room for a long body's pieces as they come, given back once the
    // connection waits for its next request.
    const auto length = parser_->content_length();
    if ((length && *length > kFirstRead) || parser_->get().body().size() > kFirstRead)
        buffer_.reserve(kBodyRead);
    const auto deadline = started_ + state_.limits.requestDeadline;
    stream_.expires_at(std::min(deadline, std::chrono::steady_clock::now() + state_.limits.bodyStallTimeout));
    http::async_read_some(stream_, buffer_, *parser_,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onBodyPart(ec); });
}

void Session::onBodyPart(beast::error_code ec)
{
    if (ec || parser_->is_done())
        return onBody(ec);
    if (bodyReserved_ == 0 && parser_->get().body().size() > state_.limits.bodyBytes && !reserveBody(bodyLimit_))
        return refuse(503, "too many large requests at once; try again shortly");
    readBody();
}

void Session::onBody(beast::error_code ec)
{
    if (ec == beast::error::timeout) {
        logAccess({peer_, method_, target_, version_, 408, 0, std::chrono::steady_clock::now() - started_, requestId_});
        return close();
    }
    if (ec == http::error::body_limit)
        return refuse(413, "the body exceeds the limit of " + std::to_string(bodyLimit_) + " bytes for this resource");
    if (ec == http::error::end_of_stream || ec == http::error::partial_message || ec == net::error::eof ||
        ec == net::error::connection_reset || ec == net::error::operation_aborted)
        return close();
    if (ec)
        return refuse(400, "malformed HTTP request: " + ec.message());
    answer();
}

void Session::answer()
{
    requestRead_ = true;
    const auto& request = parser_->get();
    Response response;
    try {
        response =
            respondInParts({method_, target_, view(request[http::field::content_type]), request.body()}, state_.chart);
    } catch (const std::exception& error) {
        // A fault of the service, never of the request: answered, not fatal.
        std::fprintf(stderr, "custcent serve: internal error: %s\n", error.what());
        response = problem(500, "internal error");
    }
    bool keepAlive = request.keep_alive();
    parser_.reset();  // the body is no longer needed
    releaseBodyBudget();
    send(std::move(response), keepAlive);
}

void Session::refuse(unsigned status, std::string detail)
{
    send(problem(status, std::move(detail)), false);
}

void Session::send(Response r, bool keepAlive)
{
    keepAlive = keepAlive && !state_.draining.load();
    bool head = method_ == "HEAD";
    response_ = {};
    response_.version(version_ == 10 ? 10 : 11);
    response_.result(r.status);
    response_.reason({statusTitle(r.status).data(), statusTitle(r.status).size()});
    response_.set(http::field::server, "wrenfield");
    if (requestId_.empty())
        requestId_ = newRequestId();
    if (!r.contentType.empty())
        response_.set(http::field::content_type, r.contentType);
    response_.set(http::field::cache_control, "no-store");
    response_.set("X-Content-Type-Options", "nosniff");
    response_.set("Referrer-Policy", "no-referrer");
    if (r.contentType.starts_with("text/html"))
        response_.set("Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
    if (!r.allow.empty())
        response_.set(http::field::allow, r.allow);
    if (r.status == 503)
        response_.set(http::field::retry_after, "1");
    response_.set({kRequestIdHeader.data(), kRequestIdHeader.size()}, requestId_);
    for (auto& [name, value] : state_.cors.headersFor(origin_, method_, preflightMethod_, r.status, r.allow))
        response_.set(name, value);
    std::size_t bytes = r.bodySize();
    if (r.status == 204) {
        // No body, and no Content-Length: none may follow a 204.
    } else if (head) {
        response_.content_length(bytes);
    } else {
        std::vector<std::string>& parts = response_.body();
        parts.reserve(1 + r.more.size());
        parts.push_back(std::move(r.body));
        for (std::string& part : r.more)
            parts.push_back(std::move(part));
        response_.prepare_payload();
    }
    response_.keep_alive(keepAlive);
    logAccess({peer_, method_, target_, version_, r.status, head ? 0 : bytes,
               std::chrono::steady_clock::now() - started_, requestId_});

    // A request that was refused before its body was read has left unread
    // bytes: the connection cannot be reused. The answer must be written
    // within the request's deadline (not what is left of a body's stall
    // timeout).
    stream_.expires_at(started_ + state_.limits.requestDeadline);
    http::async_write(stream_, response_, [self = shared_from_this(), keepAlive](beast::error_code ec, std::size_t) {
        // The answer's texts are sent (or never will be): their room serves the next answer.
        keepAnswerRoom(self->response_.body());
        if (ec)
            return self->close();
        if (keepAlive)
            return self->awaitRequest();
        // Bytes the client sent that were never read (a
        // refused body, requests sent after this one)
        // must be read and dropped before closing.
        if (self->requestRead_ && self->buffer_.size() == 0)
            return self->close();
        self->lingerThenClose();
    });
}

void Session::releaseBodyBudget()
{
    if (bodyReserved_) {
        state_.bodyBudget.release(address_, bodyReserved_);
        bodyReserved_ = 0;
    }
}

void Session::lingerThenClose()
{
    inRequest_ = false;
    releaseBodyBudget();
    parser_.reset();  // what was read of the body is no longer needed
    buffer_.consume(buffer_.size());
    buffer_.shrink_to_fit();
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    if (ec)
        return close();
    // A stopping service lingers only briefly.
    lingerEnd_ = std::chrono::steady_clock::now() + (state_.draining.load() ? kLingerIdle / 2 : kLingerTime);
    lingerRead();
}

void Session::lingerRead()
{
    stream_.expires_at(std::min(lingerEnd_, std::chrono::steady_clock::now() + kLingerIdle));
    stream_.async_read_some(net::buffer(discard_), [self = shared_from_this()](beast::error_code ec, std::size_t) {
        if (ec)
            return self->close();  // the client closed its side, went silent, or took too long
        self->lingerRead();
    });
}

void Session::close()
{
    beast::error_code ec;
    if (stream_.socket().is_open()) {
        stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
        stream_.socket().close(ec);
    }
}

}  // namespace wrenfield::server
