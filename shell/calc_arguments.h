// The seven arguments of a population method as they cross the dispatch
// interface: each VARIANT is bound to an engine Variant before the call, and
// what the method wrote into it goes back afterwards, converted to the type
// of the caller's variable.
#pragma once

#include <array>

#include "platform/variant.h"
#include "shell/com_platform.h"

namespace wrenfield::shell {

class BoundArgument {
public:
    // Binds one argument. A by-reference double or 16-bit integer is used in
    // place, so the method writes straight into the caller's variable; other
    // by-reference types and by-reference variants are copied in and written
    // back by writeBack(). With `callersVariable` the VARIANT itself is the
    // caller's variable (an in-out VARIANT* of a slot, or the variant a
    // VT_BYREF|VT_VARIANT refers to), so a value written into it replaces
    // its contents; otherwise it is a temporary of the caller and a write into
    // it goes nowhere. E_POINTER for a null reference, DISP_E_TYPEMISMATCH
    // for a type the methods do not take, DISP_E_PARAMNOTOPTIONAL for a
    // missing argument marker.
    HRESULT bind(VARIANT* argument, bool callersVariable);

    Variant& value() noexcept { return value_; }

    // Stores what the method left in the argument where it belongs. Throws
    // RuntimeError (overflow) when the value does not fit the caller's type;
    // returns E_OUTOFMEMORY when a text cannot be allocated.
    HRESULT writeBack();

private:
    enum class Target { None, Variant, Long, Float, Text };

    bool changed() const;

    Variant value_;
    Target target_ = Target::None;
    void* where_ = nullptr;
    Variant::Kind boundKind_ = Variant::Kind::Empty;
    double boundNumber_ = 0;
};

// The engine Variant of a result as a VARIANT (a double, or the zero-length
// text for a missing input). E_OUTOFMEMORY when a text cannot be allocated.
HRESULT toVariant(const Variant& value, VARIANT* out);

}  // namespace wrenfield::shell
