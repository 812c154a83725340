// Self-registration: the registry entries that let hosts find Calc by its
// ProgID and class identifier, and the registration of its type library.
#pragma once

#include <windows.h>

namespace wrenfield::windows {

// Writes every entry and registers the type library. On a failure it removes
// what it wrote and returns the failure.
HRESULT registerServer();
// Removes every entry and unregisters the type library. Entries that are
// already gone are not an error.
HRESULT unregisterServer();

}  // namespace wrenfield::windows
