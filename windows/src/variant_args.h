// The seven in-out VARIANT arguments of one call of a population method,
// seen as the engine's variants, and the method's result as a VARIANT.
//
// A caller may pass a value (VT_I2, VT_R8, VT_BSTR, VT_EMPTY, …), a reference
// to a variant (VT_BYREF|VT_VARIANT, how script hosts pass their variables)
// or a typed reference (VT_BYREF|VT_R8, VT_BYREF|VT_I2, …). A write-back by
// the method lands where the caller's value lives, converted to its type: a
// typed reference keeps its type (an Integer receives the weeks rounded half
// to even, an overflow is an error), a variant receives the double.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <array>
#include <cstdint>

#include "platform/variant.h"

namespace wrenfield::windows {

class VariantArguments {
public:
    static constexpr int kCount = 7;

    // Reads the arguments (in parameter order). Throws RuntimeError when one
    // holds a value that no number can come from in a way the engine can see
    // (an object, an array, an unknown type): a type mismatch.
    explicit VariantArguments(std::array<VARIANT*, kCount> arguments);

    VariantArguments(const VariantArguments&) = delete;
    VariantArguments& operator=(const VariantArguments&) = delete;

    Variant& operator[](int i) { return slots_[i].value; }

    // Delivers the write-backs that did not land directly in the caller's
    // variable (into a variant, or a reference of a type the engine does
    // not hold). Runs after the call also when it failed, so that a
    // write-back made before the failure is not lost. Throws RuntimeError
    // when a value does not fit the caller's type (overflow).
    void writeBack();

private:
    struct Slot {
        VARIANT* target = nullptr;  // where the caller's value lives (nullptr: written directly)
        VARTYPE targetType = VT_EMPTY;  // the caller's type there (without VT_BYREF)
        bool typedReference = false;    // target is a VT_BYREF of targetType
        Variant value;
        Variant before;
        double doubleCopy = 0;          // a typed reference read through a double
    };
    std::array<Slot, kCount> slots_;
};

// Puts a method's result into a VARIANT the caller owns (cleared first): a
// double, a 16-bit integer, a text, or empty.
HRESULT resultToVariant(const Variant& result, VARIANT* out);

}  // namespace wrenfield::windows
