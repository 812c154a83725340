// The Calc control as a Windows COM object: `_Calc` (dual) with its five
// population methods, dispatch driven by the embedded type library, and the
// error information a late-bound caller reads its error number from.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace wrenfield::windows {

// Creates one instance (running the form's start-up) and asks it for `iid`.
HRESULT createCalc(REFIID iid, void** object);

}  // namespace wrenfield::windows
