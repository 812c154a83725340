#include "windows/src/variant_args.h"

#include <cstring>
#include <string>

#include "platform/runtime_error.h"

namespace wrenfield::windows {
namespace {

std::string utf8FromBstr(BSTR text)
{
    const UINT length = SysStringLen(text);
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

// Raises the run-time error that matches a failed conversion.
[[noreturn]] void raiseConversion(HRESULT hr)
{
    if (hr == DISP_E_OVERFLOW)
        raise(ErrorNumber::Overflow);
    if (hr == E_OUTOFMEMORY)
        throw std::bad_alloc();
    raise(ErrorNumber::TypeMismatch);
}

// The types a caller's value may have: the engine reads each as a number or
// a text. Objects, arrays, records and errors are not inputs.
bool isScalarType(VARTYPE type)
{
    switch (type) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
    case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_DECIMAL:
    case VT_BOOL: case VT_BSTR:
        return true;
    default:
        return false;
    }
}

// The engine's variant for a caller's value (never a reference).
Variant fromValue(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_EMPTY:
        return Variant();
    case VT_NULL:
        return Variant::null();
    case VT_I2:
        return Variant(static_cast<std::int16_t>(V_I2(&value)));
    case VT_R8:
        return Variant(V_R8(&value));
    case VT_BSTR:
        return Variant(utf8FromBstr(V_BSTR(&value)));
    default:
        break;
    }
    if (!isScalarType(V_VT(&value)))
        raise(ErrorNumber::TypeMismatch, "argument of variant type " + std::to_string(V_VT(&value)));
    VARIANT number;
    VariantInit(&number);
    const HRESULT hr = VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_R8);
    if (FAILED(hr))
        raiseConversion(hr);
    return Variant(V_R8(&number));
}

bool sameDouble(const Variant& a, const Variant& b)
{
    if (a.kind() != Variant::Kind::Double || b.kind() != Variant::Kind::Double)
        return false;
    const double x = a.number(), y = b.number();
    return std::memcmp(&x, &y, sizeof x) == 0;
}

// Stores a number into the caller's typed reference, converted to its type.
void storeThroughReference(VARIANT* target, VARTYPE type, double value)
{
    VARIANT source, converted;
    VariantInit(&source);
    VariantInit(&converted);
    V_VT(&source) = VT_R8;
    V_R8(&source) = value;
    const HRESULT hr = VariantChangeType(&converted, &source, 0, type);
    if (FAILED(hr))
        raiseConversion(hr);
    void* where = V_BYREF(target);
    switch (type) {
    case VT_BSTR:
        SysFreeString(*static_cast<BSTR*>(where));
        *static_cast<BSTR*>(where) = V_BSTR(&converted);  // ownership moves to the caller's variable
        return;
    case VT_DECIMAL:
        *static_cast<DECIMAL*>(where) = V_DECIMAL(&converted);
        return;
    default:
        break;
    }
    size_t size = 0;
    switch (type) {
    case VT_I1: case VT_UI1: size = 1; break;
    case VT_I2: case VT_UI2: case VT_BOOL: size = 2; break;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: size = 4; break;
    default: size = 8; break;  // VT_I8, VT_UI8, VT_R8, VT_CY, VT_DATE
    }
    std::memcpy(where, &converted.llVal, size);
}

}  // namespace

VariantArguments::VariantArguments(std::array<VARIANT*, kCount> arguments)
{
    for (int i = 0; i < kCount; ++i) {
        VARIANT* v = arguments[i];
        if (v == nullptr)
            raise(ErrorNumber::InvalidProcedureCall, "missing argument pointer");
        // A reference to a variant: the caller's variable is that variant.
        while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
            v = V_VARIANTREF(v);
            if (v == nullptr)
                raise(ErrorNumber::InvalidProcedureCall, "null variant reference");
        }
        Slot& slot = slots_[i];
        const VARTYPE type = V_VT(v);
        if (type == (VT_BYREF | VT_R8)) {
            slot.value = Variant::refTo(*V_R8REF(v));
        } else if (type == (VT_BYREF | VT_I2)) {
            slot.value = Variant::refTo(*V_I2REF(v));
        } else if (type & VT_BYREF) {
            const VARTYPE referenced = type & ~VT_BYREF;
            if (!isScalarType(referenced))
                raise(ErrorNumber::TypeMismatch, "argument of variant type " + std::to_string(type));
            VARIANT copy;
            VariantInit(&copy);
            const HRESULT hr = VariantCopyInd(&copy, v);
            if (FAILED(hr))
                raiseConversion(hr);
            try {
                slot.value = fromValue(copy);
            } catch (...) {
                VariantClear(&copy);
                throw;
            }
            VariantClear(&copy);
            slot.target = v;
            slot.targetType = referenced;
            slot.typedReference = true;
        } else {
            slot.value = fromValue(*v);
            slot.target = v;
            slot.targetType = type;
        }
        slot.before = slot.value;
    }
}

void VariantArguments::writeBack()
{
    for (Slot& slot : slots_) {
        if (slot.target == nullptr)
            continue;
        // The methods write back doubles only; any other change is none.
        if (slot.value.kind() != Variant::Kind::Double || sameDouble(slot.value, slot.before))
            continue;
        const double value = slot.value.number();
        slot.before = slot.value;
        if (slot.typedReference) {
            storeThroughReference(slot.target, slot.targetType, value);
        } else {
            VariantClear(slot.target);
            V_VT(slot.target) = VT_R8;
            V_R8(slot.target) = value;
        }
    }
}

HRESULT resultToVariant(const Variant& result, VARIANT* out)
{
    if (out == nullptr)
        return E_POINTER;
    VariantClear(out);
    switch (result.valueKind()) {
    case Variant::Kind::Double:
        V_VT(out) = VT_R8;
        V_R8(out) = result.number();
        return S_OK;
    case Variant::Kind::Int16:
        V_VT(out) = VT_I2;
        V_I2(out) = static_cast<SHORT>(result.number());
        return S_OK;
    case Variant::Kind::String: {
        const std::string& text = result.text();
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        BSTR bstr = SysAllocStringLen(nullptr, static_cast<UINT>(length));
        if (bstr == nullptr)
            return E_OUTOFMEMORY;
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bstr, length);
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = bstr;
        return S_OK;
    }
    case Variant::Kind::Null:
        V_VT(out) = VT_NULL;
        return S_OK;
    default:
        return S_OK;  // empty
    }
}

}  // namespace wrenfield::windows
