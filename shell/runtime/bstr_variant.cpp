// Length-prefixed texts (BSTR) and the variant helpers of the runtime.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "shell/runtime/wf_com.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "platform/utf16_text.h"
#include "platform/variant.h"

namespace {

// The byte count sits just before the text; the allocation starts there.
struct BstrHeader {
    DWORD byteLength;
};

BSTR allocateBytes(const void* bytes, UINT byteLength)
{
    // Header, the bytes, and two zero bytes so that an odd byte length still
    // ends with a whole zero unit.
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(BstrHeader) + byteLength + sizeof(OLECHAR) + 1));
    if (!block)
        return nullptr;
    reinterpret_cast<BstrHeader*>(block)->byteLength = byteLength;
    unsigned char* text = block + sizeof(BstrHeader);
    if (bytes)
        std::memcpy(text, bytes, byteLength);
    else
        std::memset(text, 0, byteLength);
    std::memset(text + byteLength, 0, sizeof(OLECHAR) + 1);
    return reinterpret_cast<BSTR>(text);
}

HRESULT fromRuntimeError(const wrenfield::RuntimeError& error)
{
    return error.number() == wrenfield::ErrorNumber::Overflow ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
}

// The value a (possibly by-reference) variant holds, as a double.
HRESULT numberOf(const VARIANT* v, double* out)
{
    const VARTYPE vt = V_VT(v);
    const bool byref = (vt & VT_BYREF) != 0;
    if (byref && !V_BYREF(v))
        return E_POINTER;
    switch (vt) {
    case VT_EMPTY:
        *out = 0;
        return S_OK;
    case VT_I2:
        *out = V_I2(v);
        return S_OK;
    case VT_I4:
        *out = V_I4(v);
        return S_OK;
    case VT_R4:
        *out = V_R4(v);
        return S_OK;
    case VT_R8:
        *out = V_R8(v);
        return S_OK;
    case VT_BOOL:
        *out = V_BOOL(v);
        return S_OK;
    case VT_UI1:
        *out = V_UI1(v);
        return S_OK;
    case VT_I2 | VT_BYREF:
        *out = *V_I2REF(v);
        return S_OK;
    case VT_I4 | VT_BYREF:
        *out = *V_I4REF(v);
        return S_OK;
    case VT_R4 | VT_BYREF:
        *out = *V_R4REF(v);
        return S_OK;
    case VT_R8 | VT_BYREF:
        *out = *V_R8REF(v);
        return S_OK;
    case VT_VARIANT | VT_BYREF:
        return numberOf(V_VARIANTREF(v), out);
    case VT_BSTR:
    case VT_BSTR | VT_BYREF: {
        const BSTR text = vt == VT_BSTR ? V_BSTR(v) : *V_BSTRREF(v);
        try {
            *out = wrenfield::numberFromText(wrenfield::utf8FromUtf16({text ? text : u"", SysStringLen(text)}));
        } catch (const wrenfield::RuntimeError& error) {
            return fromRuntimeError(error);
        }
        return S_OK;
    }
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* text)
{
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<char16_t>::length(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    if (length > (std::numeric_limits<UINT>::max() - 16) / sizeof(OLECHAR))
        return nullptr;
    return allocateBytes(text, length * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(const char* bytes, UINT byteLength)
{
    if (byteLength > std::numeric_limits<UINT>::max() - 16)
        return nullptr;
    return allocateBytes(bytes, byteLength);
}

int SysReAllocString(BSTR* text, const OLECHAR* newText)
{
    if (!text)
        return FALSE;
    BSTR copy = SysAllocString(newText);
    if (newText && !copy)
        return FALSE;
    SysFreeString(*text);
    *text = copy;
    return TRUE;
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - sizeof(BstrHeader));
}

UINT SysStringByteLen(BSTR text)
{
    if (!text)
        return 0;
    return reinterpret_cast<const BstrHeader*>(reinterpret_cast<unsigned char*>(text) - sizeof(BstrHeader))->byteLength;
}

UINT SysStringLen(BSTR text)
{
    return SysStringByteLen(text) / static_cast<UINT>(sizeof(OLECHAR));
}

void VariantInit(VARIANTARG* v)
{
    if (v) {
        std::memset(v, 0, sizeof *v);
        V_VT(v) = VT_EMPTY;
    }
}

HRESULT VariantClear(VARIANTARG* v)
{
    if (!v)
        return E_INVALIDARG;
    switch (V_VT(v)) {
    case VT_BSTR:
        SysFreeString(V_BSTR(v));
        break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
        if (V_UNKNOWN(v))
            V_UNKNOWN(v)->Release();
        break;
    default:
        break;
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source)
{
    if (!destination || !source)
        return E_INVALIDARG;
    if (destination == source)
        return S_OK;
    VARIANT copy = *source;
    if (V_VT(source) == VT_BSTR && V_BSTR(source)) {
        V_BSTR(&copy) =
            SysAllocStringByteLen(reinterpret_cast<const char*>(V_BSTR(source)), SysStringByteLen(V_BSTR(source)));
        if (!V_BSTR(&copy))
            return E_OUTOFMEMORY;
    } else if ((V_VT(source) == VT_UNKNOWN || V_VT(source) == VT_DISPATCH) && V_UNKNOWN(source)) {
        V_UNKNOWN(source)->AddRef();
    }
    VariantClear(destination);
    *destination = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* destination, const VARIANTARG* source)
{
    if (!destination || !source)
        return E_INVALIDARG;
    if (!(V_VT(source) & VT_BYREF))
        return VariantCopy(destination, source);
    if (!V_BYREF(source))
        return E_POINTER;
    VARIANT value;
    VariantInit(&value);
    switch (V_VT(source) & ~VT_BYREF) {
    case VT_I2:
        V_VT(&value) = VT_I2;
        V_I2(&value) = *V_I2REF(source);
        break;
    case VT_I4:
        V_VT(&value) = VT_I4;
        V_I4(&value) = *V_I4REF(source);
        break;
    case VT_R4:
        V_VT(&value) = VT_R4;
        V_R4(&value) = *V_R4REF(source);
        break;
    case VT_R8:
        V_VT(&value) = VT_R8;
        V_R8(&value) = *V_R8REF(source);
        break;
    case VT_BSTR:
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = *V_BSTRREF(source);
        break;
    case VT_VARIANT:
        return VariantCopyInd(destination, V_VARIANTREF(source));
    default:
        return DISP_E_BADVARTYPE;
    }
    return VariantCopy(destination, &value);
}

HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT, VARTYPE vt)
{
    if (!destination || !source)
        return E_INVALIDARG;
    VARIANT result;
    VariantInit(&result);
    VARTYPE from = V_VT(source);
    if (from == (VT_VARIANT | VT_BYREF)) {
        if (!V_VARIANTREF(source))
            return E_POINTER;
        return VariantChangeType(destination, V_VARIANTREF(source), 0, vt);
    }
    if (vt == VT_EMPTY || vt == VT_NULL) {
        if ((from & ~VT_BYREF) != vt && from != VT_EMPTY)
            return DISP_E_TYPEMISMATCH;
        V_VT(&result) = vt;
    } else if (from == VT_NULL) {
        return DISP_E_TYPEMISMATCH;
    } else if (vt == VT_BSTR) {
        if (from == VT_BSTR || from == (VT_BSTR | VT_BYREF)) {
            const BSTR text = from == VT_BSTR ? V_BSTR(source) : *V_BSTRREF(source);
            V_BSTR(&result) = SysAllocStringLen(text, SysStringLen(text));
        } else {
            double number;
            const HRESULT hr = numberOf(source, &number);
            if (FAILED(hr))
                return hr;
            const std::u16string text =
                from == VT_EMPTY ? std::u16string() : wrenfield::utf16FromUtf8(wrenfield::shortestText(number));
            V_BSTR(&result) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        if (!V_BSTR(&result))
            return E_OUTOFMEMORY;
        V_VT(&result) = VT_BSTR;
    } else if (vt == VT_I2 || vt == VT_I4 || vt == VT_R8) {
        double number;
        const HRESULT hr = numberOf(source, &number);
        if (FAILED(hr))
            return hr;
        V_VT(&result) = vt;
        if (vt == VT_R8) {
            V_R8(&result) = number;
        } else if (vt == VT_I2) {
            try {
                V_I2(&result) = wrenfield::toInt16(number);
            } catch (const wrenfield::RuntimeError& error) {
                return fromRuntimeError(error);
            }
        } else {
            const double rounded = std::nearbyint(number);  // half to even in the default rounding mode
            if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
                return DISP_E_OVERFLOW;
            V_I4(&result) = static_cast<LONG>(rounded);
        }
    } else {
        return DISP_E_BADVARTYPE;
    }
    VariantClear(destination);
    *destination = result;
    return S_OK;
}

}  // extern "C"
