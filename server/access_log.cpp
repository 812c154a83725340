#include "server/access_log.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>

namespace wrenfield::server {

namespace {

std::atomic<bool> enabled{true};

// A path as it may be logged: no query, no control characters, at most 200 bytes.
std::string loggablePath(std::string_view target)
{
    std::string_view path = target.substr(0, target.find('?'));
    std::string out;
    for (char c : path.substr(0, 200)) {
        unsigned char u = static_cast<unsigned char>(c);
        out += (u < 0x21 || u == 0x7f || c == '"') ? '?' : c;
    }
    if (path.size() > 200)
        out += "...";
    return out.empty() ? "-" : out;
}

}  // namespace

void setAccessLogEnabled(bool on)
{
    enabled.store(on, std::memory_order_relaxed);
}

void logAccess(const AccessRecord& r)
{
    if (!enabled.load(std::memory_order_relaxed))
        return;
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    double ms = std::chrono::duration<double, std::milli>(r.elapsed).count();
    std::string method = loggablePath(r.method);
    // The id was checked (request_id.h) or made by the service; still no
    // longer than a request id may be.
    const std::string_view id = r.requestId.empty() ? std::string_view("-") : r.requestId.substr(0, 128);
    char line[768];
    int n =
        std::snprintf(line, sizeof line, "%s %.*s \"%s %s HTTP/%u.%u\" %u %zu %.3fms %.*s\n", when,
                      static_cast<int>(r.peer.size()), r.peer.data(), method.c_str(), loggablePath(r.target).c_str(),
                      r.version / 10, r.version % 10, r.status, r.bytes, ms, static_cast<int>(id.size()), id.data());
    if (n > 0)
        (void)!::write(STDERR_FILENO, line, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof line - 1));
}

}  // namespace wrenfield::server
