// A line for the debugger's output (OutputDebugString) for every interface a
// host asks the control for, and the answer: what an integrator reads in a
// debugger (or Wine's +debugstr channel) to see how a container talks to it.
#pragma once

#include <windows.h>

namespace wrenfield::windows {

// "Wrenfield515UK: QueryInterface IOleObject: S_OK"
void traceQueryInterface(REFIID riid, HRESULT result);

}  // namespace wrenfield::windows
