#include "shell/calc_arguments.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "shell/com_text.h"

namespace wrenfield::shell {
namespace {

HRESULT allocateText(const std::string& utf8, BSTR* out)
{
    *out = bstrFromUtf8(utf8);
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A by-value VARIANT as an engine Variant.
HRESULT valueOf(const VARIANT* v, Variant& out)
{
    switch (V_VT(v)) {
    case VT_EMPTY:
        out = Variant();
        return S_OK;
    case VT_NULL:
        out = Variant::null();
        return S_OK;
    case VT_I2:
        out = Variant(static_cast<std::int16_t>(V_I2(v)));
        return S_OK;
    case VT_R8:
        out = Variant(static_cast<double>(V_R8(v)));
        return S_OK;
    case VT_BSTR:
        out = Variant(utf8FromBstr(V_BSTR(v)));
        return S_OK;
    // Other numbers are held exactly by a double.
    case VT_I4:
        out = Variant(static_cast<double>(V_I4(v)));
        return S_OK;
    case VT_R4:
        out = Variant(static_cast<double>(V_R4(v)));
        return S_OK;
    case VT_UI1:
        out = Variant(static_cast<double>(V_UI1(v)));
        return S_OK;
    case VT_BOOL:
        out = Variant(static_cast<double>(V_BOOL(v)));
        return S_OK;
    case VT_ERROR:
        // The marker a caller passes for an omitted argument; every argument
        // of these methods is required.
        return DISP_E_PARAMNOTOPTIONAL;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace

HRESULT BoundArgument::bind(VARIANT* argument, bool callersVariable)
{
    if (!argument)
        return E_POINTER;
    const VARTYPE vt = V_VT(argument);
    if (vt & VT_BYREF) {
        if (!V_BYREF(argument))
            return E_POINTER;
        where_ = V_BYREF(argument);
        switch (vt & ~VT_BYREF) {
        case VT_R8:
            value_ = Variant::refTo(*static_cast<double*>(where_));
            return S_OK;
        case VT_I2:
            value_ = Variant::refTo(*static_cast<std::int16_t*>(where_));
            return S_OK;
        case VT_I4:
            target_ = Target::Long;
            value_ = Variant(static_cast<double>(*V_I4REF(argument)));
            break;
        case VT_R4:
            target_ = Target::Float;
            value_ = Variant(static_cast<double>(*V_R4REF(argument)));
            break;
        case VT_BSTR:
            target_ = Target::Text;
            value_ = Variant(utf8FromBstr(*V_BSTRREF(argument)));
            break;
        case VT_VARIANT: {
            VARIANT* inner = V_VARIANTREF(argument);
            if (V_VT(inner) == (VT_VARIANT | VT_BYREF))
                return DISP_E_TYPEMISMATCH;  // one level of indirection only
            return bind(inner, true);
        }
        default:
            return DISP_E_TYPEMISMATCH;
        }
    } else {
        const HRESULT hr = valueOf(argument, value_);
        if (FAILED(hr))
            return hr;
        if (callersVariable) {
            target_ = Target::Variant;
            where_ = argument;
        }
    }
    boundKind_ = value_.kind();
    boundNumber_ = value_.kind() == Variant::Kind::Double ? value_.number() : 0;
    return S_OK;
}

bool BoundArgument::changed() const
{
    // The methods only ever store doubles into their arguments.
    if (value_.kind() != Variant::Kind::Double)
        return false;
    return boundKind_ != Variant::Kind::Double || !sameBits(boundNumber_, value_.number());
}

HRESULT BoundArgument::writeBack()
{
    if (target_ == Target::None || !changed())
        return S_OK;
    const double number = value_.number();
    switch (target_) {
    case Target::None:
        break;
    case Target::Variant: {
        auto* v = static_cast<VARIANT*>(where_);
        VariantClear(v);
        V_VT(v) = VT_R8;
        V_R8(v) = number;
        break;
    }
    case Target::Long: {
        const double rounded = std::nearbyint(number);  // half to even
        if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
            raise(ErrorNumber::Overflow, "writing back into a 32-bit integer");
        *static_cast<LONG*>(where_) = static_cast<LONG>(rounded);
        break;
    }
    case Target::Float:
        if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
            raise(ErrorNumber::Overflow, "writing back into a single");
        *static_cast<FLOAT*>(where_) = static_cast<FLOAT>(number);
        break;
    case Target::Text: {
        BSTR text = nullptr;
        if (FAILED(allocateText(shortestText(number), &text)))
            return E_OUTOFMEMORY;
        auto* slot = static_cast<BSTR*>(where_);
        SysFreeString(*slot);
        *slot = text;
        break;
    }
    }
    return S_OK;
}

HRESULT toVariant(const Variant& value, VARIANT* out)
{
    VariantInit(out);
    switch (value.valueKind()) {
    case Variant::Kind::Empty:
        break;
    case Variant::Kind::Null:
        V_VT(out) = VT_NULL;
        break;
    case Variant::Kind::Int16:
        V_VT(out) = VT_I2;
        V_I2(out) = static_cast<SHORT>(value.number());
        break;
    case Variant::Kind::Double:
        V_VT(out) = VT_R8;
        V_R8(out) = value.number();
        break;
    default: {
        BSTR text = nullptr;
        if (FAILED(allocateText(value.text(), &text)))
            return E_OUTOFMEMORY;
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = text;
        break;
    }
    }
    return S_OK;
}

}  // namespace wrenfield::shell
