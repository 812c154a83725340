// A line for the debugger's output (OutputDebugString) for every interface a
// host asks the control for, and the answer: what an integrator reads in a
// debugger (or Wine's +debugstr channel) to see how a container talks to it.
// Written only when asked for, as the process starts to use the control:
// the environment variable WRENFIELD515UK_TRACE set to anything but "" or
// "0", or the DWORD value Trace (not 0) under
// HKEY_CURRENT_USER\Software\Wrenfield515UK (or the same key under
// HKEY_LOCAL_MACHINE).
#pragma once

#include <windows.h>

namespace wrenfield::windows {

// Whether the trace was asked for (read once per process).
bool interfaceTraceWanted();

// "Wrenfield515UK: QueryInterface IOleObject: S_OK", when asked for.
void traceQueryInterface(REFIID riid, HRESULT result);

}  // namespace wrenfield::windows
