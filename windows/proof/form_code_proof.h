// What a form's code does with the control, proven on a sited control: it
// reads and writes every property late-bound (IDispatch by name, as a script
// or a form's code does), each write a pick the form shows at once; refused
// texts change nothing; and its event sink hears one Recomputed per
// computation and one CentileChanged per new number.
#pragma once

#include <windows.h>

#include "event_sink.h"
#include "form/calc.h"

class OleContainer;

// `model` is a form model driven the same way as the control so far; it is
// driven on with the same picks.
void proveProperties(IUnknown* control, HWND controlWindow, wrenfield::form::Calc& model, const EventSink& events,
                     HWND form, OleContainer* site);
