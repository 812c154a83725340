// The library's type library, embedded as its TYPELIB resource 1: the one
// description of `_Calc` that dispatch, registration and callers share.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace wrenfield::windows {

// Loads the embedded type library (without registering it).
HRESULT loadTypeLibrary(ITypeLib** library);
// The type information of one interface of the embedded type library.
HRESULT loadTypeInfo(REFGUID guid, ITypeInfo** info);

}  // namespace wrenfield::windows
