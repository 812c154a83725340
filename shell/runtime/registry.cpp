// The registry file: parsing, atomic rewriting under an advisory lock, and
// the queries creation makes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/ascii_text.h"
#include "platform/replacing_file.h"
#include "shell/runtime/wf_registry.h"

namespace {

constexpr const char* kMagic = "WRENFIELD-REGISTRY 1";

using wrenfield::lowerAscii;

struct Value {
    std::string name;  // as first written; empty for the default value
    bool isDword = false;
    std::string text;
    DWORD dword = 0;
};

struct Key {
    std::string path;                    // as first written
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

std::string quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// Reads a quoted text at `pos`; advances past it.
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
            c = line[pos] == 'n' ? '\n' : line[pos];
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

bool parse(const std::string& content, Tree& tree)
{
    std::istringstream in(content);
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return false;
    Key* current = nullptr;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return false;
            std::string path = line.substr(1, line.size() - 2);
            Key& key = tree[lowerAscii(path)];
            key.path = path;
            current = &key;
            continue;
        }
        if (!current)
            return false;
        Value value;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else {
            auto name = unquote(line, pos);
            if (!name || name->empty())
                return false;
            value.name = *name;
        }
        if (pos >= line.size() || line[pos] != '=')
            return false;
        ++pos;
        if (line.compare(pos, 6, "dword:") == 0) {
            const std::string hex = line.substr(pos + 6);
            char* end = nullptr;
            const unsigned long number = std::strtoul(hex.c_str(), &end, 16);
            if (hex.size() != 8 || *end != '\0')
                return false;
            value.isDword = true;
            value.dword = static_cast<DWORD>(number);
        } else {
            auto text = unquote(line, pos);
            if (!text || pos != line.size())
                return false;
            value.text = *text;
        }
        current->values[lowerAscii(value.name)] = value;
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
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT)
        return S_OK;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return REGDB_E_READREGDB;
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad() || !parse(content.str(), tree))
        return REGDB_E_READREGDB;
    return S_OK;
}

// Writes the new registry beside the old one, flushes it to disk and renames
// it over the old one (readable by its owner only, as the old one was).
bool replaceAtomically(const std::string& path, const std::string& data)
{
    try {
        wrenfield::ReplacingFile file(path, 0600);
        file.stream() << data;
        file.commit();
        return true;
    } catch (const std::system_error&) {
        return false;
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
    return path.front() != '\\' && path.back() != '\\' && path.find("\\\\") == std::string::npos &&
           path.find_first_of("[]\n") == std::string::npos;
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
            return REGDB_E_WRITEREGDB;
        u->lockFd = open((u->path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (u->lockFd < 0)
            return REGDB_E_WRITEREGDB;
        while (flock(u->lockFd, LOCK_EX) != 0)
            if (errno != EINTR)
                return REGDB_E_WRITEREGDB;
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
    HRESULT hr = S_OK;
    try {
        if (!replaceAtomically(update->path, serialize(update->tree)))
            hr = REGDB_E_WRITEREGDB;
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    return hr;
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
