// How the control looks on a form, proven on sited controls: its layout at
// the screen's resolution, scaled from the layout table, with its font; the
// designed font and colours where the container gives none; the
// container's ambient font and colours, followed at once; a control placed
// by quick activation while the form is being designed, which shows its
// picture and opens no list, and its lists once the form runs; and its form
// centred in a larger rectangle and cut off in a smaller one.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>

class OleContainer;

void proveLayout(HWND control, int dotsPerInch);
void proveDesignedAppearance(HWND control);
// Leaves the ambient font and colours set, for a picture of them.
void proveAmbientProperties(OleContainer& site, IUnknown* object, HWND control, HWND form);
// Takes them away again: the designed font and colours come back.
void proveAmbientPropertiesGone(OleContainer& site, HWND control, HWND form);
// `whileDesigning` runs while the second control shows its design-time picture.
void proveDesignMode(HWND form, const RECT& area, int dotsPerInch, const std::function<void()>& whileDesigning);
