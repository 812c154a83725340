// The registry file: parsing, atomic rewriting under an advisory lock, and
// the queries creation makes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>

#include "platform/ascii_text.h"
#include "platform/replacing_file.h"
#include "shell/runtime/wf_registry.h"

namespace {

constexpr const char* kMagic = "WRENFIELD-REGISTRY 1";

using wrenfield::hexDigitValue;
using wrenfield::lowerAscii;

struct Value {
    std::string name;  // as first written; empty for the default value
    bool isDword = false;
    std::string text;
    DWORD dword = 0;
};

struct Key {
    std::string path;                     // as first written
    std::map<std::string, Value> values;  // by lower-case name
};

// Keys by lower-case path. A key's subkeys are the keys whose path starts
// with its own and a backslash. They need not follow the key directly: a
// neighbour such as "TypeLib 2" or "TypeLib0" sorts in between, since a
// space and the digits sort before the backslash.
using Tree = std::map<std::string, Key>;

// True when any key lies below `lower` (a lower-case path).
bool hasSubkeys(const Tree& tree, const std::string& lower)
{
    const std::string prefix = lower + "\\";
    const auto it = tree.lower_bound(prefix);
    return it != tree.end() && it->first.starts_with(prefix);
}

// A text in the file: in double quotes, a quote and a backslash escaped, a
// line break as \n and every other control character as \xHH, so that the
// file holds one entry a line and no raw control characters.
std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Reads a quoted text at `pos`; advances past it. Nothing when it is not
// closed, or escapes a NUL (which no text of the registry may hold).
std::optional<std::string> unquote(const std::string& line, std::size_t& pos)
{
    if (pos >= line.size() || line[pos] != '"')
        return std::nullopt;
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\') {
            if (++pos >= line.size())
                return std::nullopt;
            c = line[pos];
            if (c == 'n') {
                c = '\n';
            } else if (c == 'x') {
                const int high = pos + 2 < line.size() ? hexDigitValue(line[pos + 1]) : -1;
                const int low = high >= 0 ? hexDigitValue(line[pos + 2]) : -1;
                if (low < 0 || (high == 0 && low == 0))
                    return std::nullopt;
                c = static_cast<char>(high * 16 + low);
                pos += 2;
            }
        }
        out += c;
    }
    return std::nullopt;
}

std::string serialize(const Tree& tree)
{
    std::ostringstream out;
    out << kMagic << "\n";
    for (const auto& [lower, key] : tree) {
        out << "\n[" << key.path << "]\n";
        for (const auto& [lowerName, value] : key.values) {
            out << (value.name.empty() ? std::string("@") : quote(value.name)) << "=";
            if (value.isDword) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "dword:%08x", value.dword);
                out << hex << "\n";
            } else {
                out << quote(value.text) << "\n";
            }
        }
    }
    return out.str();
}

// Why the last call on this thread failed, for WfRegistryLastError.
thread_local std::string lastError;

HRESULT failWith(HRESULT hr, std::string why)
{
    lastError = std::move(why);
    return hr;
}

// Reads the file's text into `tree`. A damaged file is refused whole, with
// the line at fault in `why`: a NUL byte, a line of no known form, and, since
// keys and value names are compared without regard to case, a key or a
// value name given twice (in any case: "CLSID" and "clsid" are one key).
// Merging the two silently would keep one of them and lose the other with
// no word; the file names both lines so that its keeper can decide.
bool parse(const std::string& content, Tree& tree, std::string& why)
{
    std::istringstream in(content);
    std::string line;
    long number = 1;
    auto damaged = [&](const std::string& what) {
        why = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    if (!std::getline(in, line) || line != kMagic)
        return damaged("not a registry (its first line is not \"" + std::string(kMagic) + "\")");
    std::map<std::string, long> keyLines;  // the line of each key, by lower-case path
    Key* current = nullptr;
    std::map<std::string, long> valueLines;  // of the current key, by lower-case name
    while (std::getline(in, line)) {
        ++number;
        if (line.find('\0') != std::string::npos)
            return damaged("a NUL byte");
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return damaged("a key without its closing \"]\"");
            std::string path = line.substr(1, line.size() - 2);
            const std::string lower = lowerAscii(path);
            if (auto earlier = keyLines.find(lower); earlier != keyLines.end())
                return damaged("the key [" + path + "] is the key of line " + std::to_string(earlier->second) +
                               " again (keys are compared without regard to case)");
            keyLines.emplace(lower, number);
            Key& key = tree[lower];
            key.path = path;
            current = &key;
            valueLines.clear();
            continue;
        }
        if (!current)
            return damaged("a value before the first key");
        Value value;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else {
            auto name = unquote(line, pos);
            if (!name || name->empty())
                return damaged("a value name that is not a quoted text");
            value.name = *name;
        }
        if (pos >= line.size() || line[pos] != '=')
            return damaged("no \"=\" after the value's name");
        ++pos;
        if (line.compare(pos, 6, "dword:") == 0) {
            const std::string hex = line.substr(pos + 6);
            char* end = nullptr;
            const unsigned long number32 = std::strtoul(hex.c_str(), &end, 16);
            if (hex.size() != 8 || *end != '\0')
                return damaged("a number that is not eight hexadecimal digits");
            value.isDword = true;
            value.dword = static_cast<DWORD>(number32);
        } else {
            auto text = unquote(line, pos);
            if (!text || pos != line.size())
                return damaged("a value that is not a quoted text or a dword");
            value.text = *text;
        }
        const std::string lowerName = lowerAscii(value.name);
        if (auto earlier = valueLines.find(lowerName); earlier != valueLines.end())
            return damaged("the value " + (value.name.empty() ? std::string("@") : quote(value.name)) + " of [" +
                           current->path + "] is given again (first on line " + std::to_string(earlier->second) +
                           "; names are compared without regard to case)");
        valueLines.emplace(lowerName, number);
        current->values[lowerName] = value;
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool makeDirectories(const std::string& dir)
{
    if (dir.empty() || dir == "/" || dir == ".")
        return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (!makeDirectories(directoryOf(dir)))
        return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string registryPath()
{
    if (const char* explicitPath = std::getenv("WRENFIELD_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::string(config) + "/wrenfield/registry";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/wrenfield/registry";
}

// The current contents; a missing file is an empty registry.
HRESULT load(const std::string& path, Tree& tree)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return S_OK;
        return failWith(REGDB_E_READREGDB, "cannot read " + path + ": " + std::strerror(errno));
    }
    std::string content;
    char piece[65536];
    for (;;) {
        const ssize_t got = read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            close(fd);
            return failWith(REGDB_E_READREGDB, "cannot read " + path + ": " + std::strerror(error));
        }
        if (got == 0)
            break;
        content.append(piece, static_cast<std::size_t>(got));
    }
    close(fd);
    std::string why;
    if (!parse(content, tree, why))
        return failWith(REGDB_E_READREGDB, path + " is damaged: " + why);
    return S_OK;
}

// Writes the new registry beside the old one, flushes it to disk and renames
// it over the old one (readable by its owner only, as the old one was).
HRESULT replaceAtomically(const std::string& path, const std::string& data)
{
    try {
        wrenfield::ReplacingFile file(path, 0600);
        file.stream() << data;
        file.commit();
        return S_OK;
    } catch (const std::system_error& error) {
        return failWith(REGDB_E_WRITEREGDB, error.what());
    }
}

std::string parentOf(const std::string& key)
{
    const auto slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

bool validKeyPath(const char* key)
{
    if (!key || !*key)
        return false;
    const std::string path(key);
    const bool controlCharacter =
        std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string::npos &&
        path.find_first_of("[]") == std::string::npos && !controlCharacter;
}

// How long an update waits for another process's lock, and whom it tells.
struct LockWait {
    DWORD milliseconds = 30'000;
    WfRegistryWaitNotice notice = nullptr;
    void* context = nullptr;
};
LockWait lockWait;
std::mutex lockWaitMutex;

// "30 s", "1.5 s".
std::string secondsText(DWORD milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, milliseconds % 1000 ? "%.1f s" : "%.0f s", milliseconds / 1000.0);
    return text;
}

// The process id the holder of the lock wrote into the lock file, or 0.
unsigned long lockHolder(int fd)
{
    char text[24] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    return got > 0 ? std::strtoul(text, nullptr, 10) : 0;
}

// Takes the registry's lock, waiting for another process to let it go for
// at most the time set by WfRegistrySetLockWait; then writes this process's
// id into the lock file, so that whoever waits next can say who holds it.
HRESULT takeLock(int fd, const std::string& path)
{
    LockWait wait;
    {
        std::lock_guard guard(lockWaitMutex);
        wait = lockWait;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto giveUp = start + std::chrono::milliseconds(wait.milliseconds);
    bool told = false;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return failWith(REGDB_E_WRITEREGDB, "cannot lock " + path + ": " + std::strerror(errno));
        const unsigned long holder = lockHolder(fd);
        if (Clock::now() >= giveUp)
            return failWith(WF_REGISTRY_E_LOCKED,
                            path + " stayed locked by another process" +
                                (holder ? " (process " + std::to_string(holder) + ")" : std::string()) + " for " +
                                secondsText(wait.milliseconds));
        if (!told && wait.notice && Clock::now() - start >= std::chrono::milliseconds(200)) {
            wait.notice(path.c_str(), holder, wait.context);
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string self = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0)
        (void)!pwrite(fd, self.data(), self.size(), 0);
    return S_OK;
}

}  // namespace

struct WfRegistryUpdate {
    std::string path;
    int lockFd = -1;
    Tree tree;

    Key& ensure(const std::string& path)
    {
        const std::string parent = parentOf(path);
        if (!parent.empty())
            ensure(parent);
        Key& key = tree[lowerAscii(path)];
        if (key.path.empty())
            key.path = path;
        return key;
    }

    ~WfRegistryUpdate()
    {
        if (lockFd >= 0) {
            flock(lockFd, LOCK_UN);
            close(lockFd);
        }
    }
};

extern "C" {

const char* WfRegistryPath(void)
{
    static thread_local std::string path;
    path = registryPath();
    return path.c_str();
}

void WfRegistrySetLockWait(DWORD milliseconds, WfRegistryWaitNotice notice, void* context)
{
    std::lock_guard guard(lockWaitMutex);
    lockWait = {milliseconds, notice, context};
}

const char* WfRegistryLastError(void)
{
    return lastError.c_str();
}

HRESULT WfRegistryBeginUpdate(WfRegistryUpdate** update)
{
    if (!update)
        return E_POINTER;
    *update = nullptr;
    try {
        // Owned here until handed out: every way out releases the lock.
        auto u = std::make_unique<WfRegistryUpdate>();
        u->path = registryPath();
        if (!makeDirectories(directoryOf(u->path)))
            return failWith(REGDB_E_WRITEREGDB,
                            "cannot make the directory " + directoryOf(u->path) + ": " + std::strerror(errno));
        const std::string lockPath = u->path + ".lock";
        u->lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (u->lockFd < 0)
            return failWith(REGDB_E_WRITEREGDB, "cannot open " + lockPath + ": " + std::strerror(errno));
        if (const HRESULT locked = takeLock(u->lockFd, u->path); FAILED(locked))
            return locked;
        const HRESULT hr = load(u->path, u->tree);
        if (FAILED(hr))
            return hr;
        *update = u.release();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WfRegistryCreateKey(WfRegistryUpdate* update, const char* key)
{
    if (!update)
        return E_POINTER;
    if (!validKeyPath(key))
        return E_INVALIDARG;
    try {
        update->ensure(key);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

static HRESULT setValue(WfRegistryUpdate* update, const char* key, const char* name, const Value& value)
{
    if (!update)
        return E_POINTER;
    if (!validKeyPath(key) || (name && std::strchr(name, '\n')))
        return E_INVALIDARG;
    try {
        Value stored = value;
        stored.name = name ? name : "";
        update->ensure(key).values[lowerAscii(stored.name)] = stored;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WfRegistrySetString(WfRegistryUpdate* update, const char* key, const char* name, const char* value)
{
    if (!value)
        return E_POINTER;
    Value v;
    v.text = value;
    return setValue(update, key, name, v);
}

HRESULT WfRegistrySetDword(WfRegistryUpdate* update, const char* key, const char* name, DWORD value)
{
    Value v;
    v.isDword = true;
    v.dword = value;
    return setValue(update, key, name, v);
}

HRESULT WfRegistryDeleteTree(WfRegistryUpdate* update, const char* key)
{
    if (!update)
        return E_POINTER;
    if (!validKeyPath(key))
        return E_INVALIDARG;
    const std::string lower = lowerAscii(key);
    bool found = update->tree.erase(lower) > 0;
    const std::string prefix = lower + "\\";
    for (auto it = update->tree.lower_bound(prefix); it != update->tree.end() && it->first.starts_with(prefix);) {
        it = update->tree.erase(it);
        found = true;
    }
    return found ? S_OK : S_FALSE;
}

HRESULT WfRegistryDeleteKeyIfEmpty(WfRegistryUpdate* update, const char* key)
{
    if (!update)
        return E_POINTER;
    if (!validKeyPath(key))
        return E_INVALIDARG;
    const std::string lower = lowerAscii(key);
    const auto it = update->tree.find(lower);
    if (it == update->tree.end())
        return S_FALSE;
    if (hasSubkeys(update->tree, lower) || !it->second.values.empty())
        return S_FALSE;
    update->tree.erase(it);
    return S_OK;
}

HRESULT WfRegistryCommit(WfRegistryUpdate* update)
{
    if (!update)
        return E_POINTER;
    const std::unique_ptr<WfRegistryUpdate> owned(update);
    try {
        return replaceAtomically(update->path, serialize(update->tree));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void WfRegistryAbandon(WfRegistryUpdate* update)
{
    delete update;
}

HRESULT WfRegistryQueryString(const char* key, const char* name, char* buffer, size_t size)
{
    if (!key || !buffer)
        return E_POINTER;
    try {
        Tree tree;
        const HRESULT hr = load(registryPath(), tree);
        if (FAILED(hr))
            return hr;
        const auto it = tree.find(lowerAscii(key));
        if (it == tree.end())
            return REGDB_E_KEYMISSING;
        const auto value = it->second.values.find(lowerAscii(name ? name : ""));
        if (value == it->second.values.end())
            return REGDB_E_KEYMISSING;
        const std::string text = value->second.isDword ? std::to_string(value->second.dword) : value->second.text;
        if (text.size() + 1 > size)
            return E_INVALIDARG;
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WfRegistryKeyExists(const char* key)
{
    if (!key)
        return E_POINTER;
    try {
        Tree tree;
        const HRESULT hr = load(registryPath(), tree);
        if (FAILED(hr))
            return hr;
        return tree.count(lowerAscii(key)) ? S_OK : S_FALSE;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

char* WfRegistryDumpText(void)
{
    try {
        Tree tree;
        if (FAILED(load(registryPath(), tree)))
            return nullptr;
        const std::string text = serialize(tree);
        char* out = static_cast<char*>(std::malloc(text.size() + 1));
        if (out)
            std::memcpy(out, text.c_str(), text.size() + 1);
        return out;
    } catch (...) {
        return nullptr;
    }
}

void WfRegistryFreeText(char* text)
{
    std::free(text);
}

}  // extern "C"
