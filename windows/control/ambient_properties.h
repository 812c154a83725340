// The container's ambient properties that the control follows: its font, its
// background and text colours, and whether its form is being designed
// (UserMode). A container offers them through the IDispatch of the control's
// client site, or hands them over at once in IQuickActivate::QuickActivate;
// what it does not give, the control takes from its own design.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include "windows/control/control_palette.h"

namespace wrenfield::windows {

// `current` with the ambient property `which` read again from the client
// site (DISPID_UNKNOWN: all of them). A property the site does not have, or
// no site at all, brings back the design's own (the desktop's font and
// colours, user mode).
ControlAppearance readAmbientProperties(IOleClientSite* site, ControlAppearance current, DISPID which);

// The ambient properties a container hands over in QACONTAINER.
ControlAppearance ambientPropertiesOf(const QACONTAINER& container);

// A font object's description (an IFont, or the IFontDisp of an ambient
// Font); nothing when it is no font.
std::optional<AmbientFont> describeFont(IUnknown* font);

}  // namespace wrenfield::windows
