// The library on the platform itself: its module, its embedded type library
// (TYPELIB resource 1, compiled from Wrenfield515UK.idl) and the platform's
// error information, which dispatch copies into a late-bound caller's
// EXCEPINFO.
#pragma once

#include <string>
#include <string_view>

#include "platform/runtime_error.h"
#include "shell/com_platform.h"

namespace wrenfield::shell {

// The library's own file name, as the registry and the type library loader need it.
std::wstring libraryPath();

// The embedded type library, loaded without registering it.
HRESULT loadTypeLibrary(ITypeLib** library);
// The type information of _Calc2 (with _Calc's methods), which drives
// GetIDsOfNames and Invoke.
HRESULT loadCalcTypeInfo(ITypeInfo** info);

// Sets the thread's error information for a slot's run-time error: its
// description ("Type mismatch") and the library as its source.
void setErrorInfo(std::string_view description);

}  // namespace wrenfield::shell
