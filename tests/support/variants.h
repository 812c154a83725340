// Test helpers: VARIANTs of the component model holding one value, as a host
// passes them.
#pragma once

#include "shell/runtime/wf_com.h"

namespace wrenfield::testing {

inline VARIANT ofType(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

inline VARIANT number(double value)
{
    VARIANT v = ofType(VT_R8);
    V_R8(&v) = value;
    return v;
}

inline VARIANT code(SHORT value)
{
    VARIANT v = ofType(VT_I2);
    V_I2(&v) = value;
    return v;
}

// A new BSTR of the text; VariantClear frees it.
inline VARIANT text(const char16_t* value)
{
    VARIANT v = ofType(VT_BSTR);
    V_BSTR(&v) = SysAllocString(value);
    return v;
}

}  // namespace wrenfield::testing
