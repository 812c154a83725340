// The saved state of the Calc control. The control has no properties of its
// own, so what it saves is a small record saying whose state it is and in
// which format: a host that stores its form with the control in it can
// load it again, and anything else is refused with a clear error.
//
// The record in a stream (and in the "Contents" stream of a storage) is
// eight bytes: "WRFC", the format version (1) as a 16-bit little-endian
// number, and the length of the properties that follow (0, as 16 bits).
// In a property bag it is one property, "Version", holding the format version.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

namespace wrenfield::windows {

inline constexpr unsigned kFormatVersion = 1;
inline constexpr ULONG kSavedRecordSize = 8;

// The errors of loading: data that is not a saved Calc (a foreign or damaged
// stream, a missing or mistyped "Version"), and a record of a later format
// than this library reads.
inline constexpr HRESULT kNotSavedCalc = CTL_E_INVALIDFILEFORMAT;  // 0x800A0141
inline constexpr HRESULT kLaterFormat = STG_E_OLDDLL;              // 0x80030105

HRESULT saveToStream(IStream* stream);
HRESULT loadFromStream(IStream* stream);

// In a storage, the record is the stream "Contents".
HRESULT saveToStorage(IStorage* storage);
HRESULT loadFromStorage(IStorage* storage);

HRESULT saveToPropertyBag(IPropertyBag* bag);
// A failure is also reported to `errorLog` (if given) under the property's name.
HRESULT loadFromPropertyBag(IPropertyBag* bag, IErrorLog* errorLog);

}  // namespace wrenfield::windows
