// The Calc control as a component object: the form model behind the dual
// interface _Calc, reached by dispatch identifier through IDispatch::Invoke
// or through the five method slots.
#pragma once

#include "shell/com_platform.h"

namespace wrenfield::shell {

// Creates a Calc, runs its start-up, and returns the requested interface of
// it. A run-time error of start-up fails the creation with its HRESULT
// (0x800A0000 + its number); nothing is left alive then.
HRESULT createCalc(REFIID riid, void** ppv);

// The class factory of Calc, with one reference held by the caller.
HRESULT createCalcFactory(REFIID riid, void** ppv);

}  // namespace wrenfield::shell
