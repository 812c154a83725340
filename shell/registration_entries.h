// The registry entries of the Calc class and its ProgID, below
// HKEY_CLASSES_ROOT: the one table both platforms write from the
// registration record. The type library's own keys (TypeLib, and Interface
// for _Calc and __Calc) come from the type library's registration:
// RegisterTypeLib on the platform, WfRegisterControl on this project's
// runtime; typeLibraryEntries lists the same values for what writes them
// itself (the Windows installer, a registration for one user).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenfield::shell {

struct RegistryEntry {
    std::string key;   // below HKEY_CLASSES_ROOT
    std::string name;  // empty: the key's default value
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

// The keys the type library's registration owns: the library's version key
// and its interfaces. (Removing the version key of a library registered for
// both 32- and 64-bit Windows removes both.)
std::vector<std::string> typeLibraryKeys();

// What the platform's type library registration writes for the library at
// libraryPath, built for 64-bit (win64) or 32-bit Windows: the library's
// name, flags, help folder and file, and each interface with its
// marshaller (the automation marshaller for the dual _Calc, the dispatch
// one for __Calc) and type library.
std::vector<RegistryEntry> typeLibraryEntries(std::string_view libraryPath, bool win64);

}  // namespace wrenfield::shell
