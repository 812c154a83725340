// Run-time errors as a COM caller sees them: the classic error number n as
// the HRESULT 0x800A0000 + n, with error information (description and
// source) that dispatch copies into EXCEPINFO, so a script's Err.Number is n.
#pragma once

#include <windows.h>

#include "platform/runtime_error.h"

namespace wrenfield::windows {

inline HRESULT hresultOf(ErrorNumber number)
{
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<int>(number));
}

// Sets the thread's error information for `error` and returns its HRESULT.
HRESULT reportRuntimeError(const RuntimeError& error, REFIID interfaceId);

}  // namespace wrenfield::windows
