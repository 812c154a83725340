// The registry entries of the Calc class and its ProgID, below
// HKEY_CLASSES_ROOT: the one table both platforms write from the
// registration record. The type library's own keys (TypeLib, and Interface
// for _Calc and __Calc) come from the type library's registration:
// RegisterTypeLib on the platform, WfRegisterControl on this project's
// runtime.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenfield::shell {

struct RegistryEntry {
    std::string key;        // below HKEY_CLASSES_ROOT
    std::string name;       // empty: the key's default value
    std::string value;
    bool hasValue = true;  // false: the key alone (a flag such as "Control")
};

// "<project>.<object>": "Wrenfield515UK.Calc".
std::string progId();

// The keys a registration owns; unregistering removes each with everything
// below it.
std::vector<std::string> classKeys();

// Every value of the class and its ProgID, for the library at libraryPath.
std::vector<RegistryEntry> classEntries(std::string_view libraryPath);

}  // namespace wrenfield::shell
