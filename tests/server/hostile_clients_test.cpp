// Clients that misbehave, on 127.0.0.1 only, each bounded in time and count:
// every one is answered or cut off within the service's limits, and none
// keeps the service from answering others.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/http_service_fixture.h"

namespace {

using namespace wrenfield;
namespace wt = wrenfield::testing;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Small limits, so that each cut-off happens within a second or two.
server::ServiceLimits tightLimits()
{
    server::ServiceLimits limits;
    limits.requestDeadline = 1500ms;
    limits.idleTimeout = 2000ms;
    limits.maxConnections = 300;
    return limits;
}

// A raw connection: the test decides every byte.
class RawClient {
public:
    explicit RawClient(std::uint16_t port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            ADD_FAILURE() << "connect: " << std::strerror(errno);
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;

    // False once the service has closed the connection.
    bool send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Everything the service sends until it closes the connection, or until
    // `limit` has passed (then `closed` stays false).
    std::string readUntilClosed(Clock::duration limit, bool* closed = nullptr)
    {
        std::string text;
        auto end = Clock::now() + limit;
        if (closed)
            *closed = false;
        while (Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            int wait =
                static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            if (::poll(&p, 1, std::max(wait, 1)) <= 0)
                continue;
            char buf[8192];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                if (closed)
                    *closed = true;
                break;
            }
            text.append(buf, static_cast<std::size_t>(n));
        }
        return text;
    }

    // The first answer's status line, read within `limit`.
    std::string statusLine(Clock::duration limit)
    {
        std::string text;
        auto end = Clock::now() + limit;
        while (text.find("\r\n") == std::string::npos && Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buf[4096];
            ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        return text.substr(0, text.find("\r\n"));
    }

private:
    int fd_ = -1;
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class HostileClients : public ::testing::Test {
protected:
    wt::RunningService service_{tightLimits()};
};

TEST_F(HostileClients, MalformedRequestsAreAnsweredAndClosed)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* status;
    } cases[] = {
        {"garbage", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03 garbage\r\n\r\n", 22), "400"},
        {"no version", "GET /\r\n\r\n", "400"},
        {"bad content length", "POST /v1/centile HTTP/1.1\r\nContent-Length: x\r\n\r\n", "400"},
        {"endless request line", "GET /" + std::string(100'000, 'a'), "431"},
        {"ten thousand headers",
         [] {
             std::string r = "GET /v1/version HTTP/1.1\r\nHost: x\r\n";
             for (int i = 0; i < 10'000; ++i)
                 r += "X-Header-" + std::to_string(i) + ": " + std::to_string(i) + "\r\n";
             return r + "\r\n";
         }(),
         "431"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(service_.port());
        auto start = Clock::now();
        client.send(c.bytes);
        bool closed = false;
        std::string answer = client.readUntilClosed(3s, &closed);
        EXPECT_EQ(answer.substr(0, 12), std::string("HTTP/1.1 ") + c.status) << answer.substr(0, 200);
        EXPECT_NE(answer.find("application/problem+json"), std::string::npos);
        EXPECT_TRUE(closed);
        EXPECT_LT(secondsSince(start), 2.0);
    }
}

TEST_F(HostileClients, TenMegabyteBodyIsRefusedBeforeItIsRead)
{
    // Announced: the answer comes although not one byte of the body was sent.
    RawClient announced(service_.port());
    auto start = Clock::now();
    announced.send("POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                   "Content-Length: 10485760\r\n\r\n");
    EXPECT_EQ(announced.statusLine(1s), "HTTP/1.1 413 Content Too Large");
    EXPECT_LT(secondsSince(start), 1.0);

    // Chunked, with no length announced: answered once past the limit. What
    // the client still sends is read and dropped (not kept), so that it can
    // read the answer once it has sent everything.
    RawClient chunked(service_.port());
    start = Clock::now();
    chunked.send("POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                 "Transfer-Encoding: chunked\r\n\r\n");
    std::string chunk = "10000\r\n" + std::string(0x10000, ' ') + "\r\n";
    int sent = 0;
    while (sent < 160 && chunked.send(chunk))  // up to 10 MiB
        ++sent;
    EXPECT_EQ(chunked.statusLine(2s), "HTTP/1.1 413 Content Too Large");
    EXPECT_LT(secondsSince(start), 3.0);
}

TEST_F(HostileClients, OneByteASecondIsCutOff)
{
    RawClient slow(service_.port());
    const std::string request = "GET /v1/version HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    auto start = Clock::now();
    std::size_t sent = 0;
    while (sent < request.size() && slow.send(request.substr(sent, 1))) {
        ++sent;
        bool closed = false;
        slow.readUntilClosed(1s, &closed);
        if (closed)
            break;
    }
    // The deadline (1.5 s) from the first byte, not the whole request.
    EXPECT_LT(sent, request.size());
    EXPECT_LT(secondsSince(start), 3.5);
}

TEST_F(HostileClients, IdleConnectionsDoNotDelayOthers)
{
    // 250 connections: half silent, half stopped in the middle of a request.
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 250; ++i) {
        idle.push_back(std::make_unique<RawClient>(service_.port()));
        if (i % 2)
            idle.back()->send("POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{\"bwt\"");
    }
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < 20; ++i) {
        auto start = Clock::now();
        EXPECT_EQ(wt::get(service_.port(), "/v1/version").status, 200u);
        EXPECT_LT(secondsSince(start), 1.0);  // generous: the machine may be shared
    }
    // And every one of them is closed by the service in the end.
    for (auto& client : idle) {
        bool closed = false;
        client->readUntilClosed(3s, &closed);
        EXPECT_TRUE(closed);
    }
}

// Sixteen clients announce the largest body and then stall, from the same
// address as everyone else: the single-birth POST is answered all the same
// (it needs no room from the shared budget), the stalled ones are cut off
// once their body stops arriving, and their room comes back.
TEST(FairBudgets, StalledLargeBodiesDoNotStarveASmallRequest)
{
    server::ServiceLimits limits = tightLimits();
    limits.requestDeadline = 5000ms;
    limits.bodyStallTimeout = 600ms;
    wt::RunningService service(limits);
    const std::string birth = R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})";
    std::vector<std::unique_ptr<RawClient>> stalled;
    for (int i = 0; i < 16; ++i) {
        stalled.push_back(std::make_unique<RawClient>(service.port()));
        stalled.back()->send("POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                             "Content-Length: 4194304\r\n\r\n[");
    }
    std::this_thread::sleep_for(100ms);
    auto start = Clock::now();
    EXPECT_EQ(wt::post(service.port(), "/v1/centile", birth).status, 200u);
    EXPECT_LT(secondsSince(start), 1.0);
    // The address's share went to the first four; the others were told to
    // come back later. The four are cut off once their body has stalled for
    // its timeout, long before the request's deadline.
    std::vector<RawClient*> reserved;
    for (auto& client : stalled)
        if (client->statusLine(100ms) != "HTTP/1.1 503 Service Unavailable")
            reserved.push_back(client.get());
    EXPECT_EQ(reserved.size(), 4u);
    for (RawClient* client : reserved) {
        bool closed = false;
        client->readUntilClosed(1s, &closed);
        EXPECT_TRUE(closed);
    }
    EXPECT_LT(secondsSince(start), 3.0);  // the request deadline is 5 s
    // A large body from the same address fits again.
    const std::string many = "[" +
        [&] {
            std::string list;
            for (int i = 0; i < 500; ++i)
                list += (i ? "," : "") + birth;
            return list;
        }() +
        "]";
    EXPECT_EQ(wt::post(service.port(), "/v1/centile", many).status, 200u);
}

// Framing that two readers could read two ways is refused with 400 (501 for
// a transfer coding the service does not know) and the connection closed:
// the request hidden in the body is never answered.
TEST_F(HostileClients, AmbiguousFramingIsRefusedAndTheConnectionClosed)
{
    const std::string hidden = "GET /v1/version HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string length = "Content-Length: " + std::to_string(hidden.size()) + "\r\n";
    const std::string post = "POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n";
    const struct Case {
        const char* name;
        std::string bytes;
        const char* status;  // the status line's beginning
    } cases[] = {
        {"chunked then identity, with a length",
         post + "Transfer-Encoding: chunked, identity\r\n" + length + "\r\n" + hidden, "400"},
        {"xchunked with a length", post + "Transfer-Encoding: xchunked\r\n" + length + "\r\n" + hidden, "400"},
        {"identity with a length", post + "Transfer-Encoding: identity\r\n" + length + "\r\n" + hidden, "400"},
        {"a length, then chunked", post + length + "Transfer-Encoding: chunked\r\n\r\n" + hidden, "400"},
        {"chunked, then a length", post + "Transfer-Encoding: chunked\r\n" + length + "\r\n" + hidden, "400"},
        {"chunked not last, no length", post + "Transfer-Encoding: chunked, gzip\r\n\r\n" + hidden, "400"},
        {"chunked twice", post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" + hidden,
         "400"},
        {"gzip before chunked", post + "Transfer-Encoding: gzip, chunked\r\n\r\n1\r\n{\r\n0\r\n\r\n" + hidden, "501"},
        {"no Host in HTTP/1.1", "GET /v1/version HTTP/1.1\r\n\r\n" + hidden, "400"},
        {"two Hosts", "GET /v1/version HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n" + hidden, "400"},
        {"chunked in HTTP/1.0",
         "POST /v1/centile HTTP/1.0\r\nContent-Type: application/json\r\n"
         "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n" +
             hidden,
         "HTTP/1.0 400"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawClient client(service_.port());
        client.send(c.bytes);
        bool closed = false;
        const std::string answer = client.readUntilClosed(3s, &closed);
        const std::string status = std::string(c.status).size() == 3 ? std::string("HTTP/1.1 ") + c.status : c.status;
        EXPECT_EQ(answer.substr(0, status.size()), status) << answer.substr(0, 300);
        if (status.starts_with("HTTP/1.1")) {
            EXPECT_NE(answer.find("Connection: close"), std::string::npos);
        }
        EXPECT_EQ(answer.find("HTTP/1.1 200"), std::string::npos) << "the hidden request was answered";
        EXPECT_TRUE(closed);
    }
}

// A client that sends its whole body before it reads (Python's urllib,
// Node's fetch) reads the 413 the service answered at the header, instead
// of a reset connection.
TEST_F(HostileClients, ABodyOverTheLimitSentWholeStillGetsItsAnswer)
{
    RawClient client(service_.port());
    const std::string body(5 * 1024 * 1024, ' ');
    EXPECT_TRUE(client.send("POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                            "Content-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n" + body));
    bool closed = false;
    const std::string answer = client.readUntilClosed(5s, &closed);
    EXPECT_EQ(answer.substr(0, 30), "HTTP/1.1 413 Content Too Large");
    EXPECT_TRUE(closed);
}

TEST(ConnectionCap, OneMoreConnectionIsAnswered503)
{
    server::ServiceLimits limits = tightLimits();
    limits.maxConnections = 20;
    wt::RunningService service(limits);
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 20; ++i)
        held.push_back(std::make_unique<RawClient>(service.port()));
    std::this_thread::sleep_for(200ms);
    RawClient extra(service.port());
    EXPECT_EQ(extra.statusLine(1s), "HTTP/1.1 503 Service Unavailable");
    held.clear();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(wt::get(service.port(), "/v1/version").status, 200u);
}

TEST(Stop, AnswersTheRequestUnderWayAndClosesIdleConnections)
{
    wt::RunningService service(tightLimits());
    RawClient idle(service.port());
    RawClient busy(service.port());
    const std::string body = R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})";
    busy.send("POST /v1/centile HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 10));
    std::this_thread::sleep_for(200ms);
    auto stopped = std::async(std::launch::async, [&] { service.stopAndWait(); });

    bool idleClosed = false;
    idle.readUntilClosed(1s, &idleClosed);
    EXPECT_TRUE(idleClosed);
    EXPECT_EQ(stopped.wait_for(0ms), std::future_status::timeout);  // still answering `busy`

    busy.send(body.substr(10));
    bool busyClosed = false;
    std::string answer = busy.readUntilClosed(2s, &busyClosed);
    EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_NE(answer.find("Connection: close"), std::string::npos);
    EXPECT_TRUE(busyClosed);
    EXPECT_EQ(stopped.wait_for(2s), std::future_status::ready);
}

}  // namespace
