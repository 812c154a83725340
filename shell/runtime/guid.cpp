// Interface identifiers of the standard interfaces, and GUIDs in text.
#include <cstring>

#include "shell/runtime/wf_com.h"
#include "platform/guid_text.h"

extern "C" {

const IID IID_NULL = {0x00000000, 0x0000, 0x0000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IEnumConnectionPoints = {0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPoint = {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IEnumConnections = {0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const CLSID CLSID_PSOAInterface = {0x00020424, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

int IsEqualGUID(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int size)
{
    if (!buffer || size < 39)
        return 0;
    const std::string text = wrenfield::guidText(guid);
    for (int i = 0; i < 39; ++i)  // with the ending zero
        buffer[i] = static_cast<OLECHAR>(text.c_str()[i]);
    return 39;
}

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid)
{
    if (!text || !clsid)
        return E_INVALIDARG;
    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}": 38 units, hex digits at fixed places.
    static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    unsigned char nibbles[32];
    int count = 0;
    for (int i = 0; i < 38; ++i) {
        const OLECHAR c = text[i];
        if (pattern[i] != 'X') {
            if (c != pattern[i])
                return CO_E_CLASSSTRING;
            continue;
        }
        int value = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'       ? c - 'a' + 10
            : c >= 'A' && c <= 'F'       ? c - 'A' + 10
                                         : -1;
        if (value < 0)
            return CO_E_CLASSSTRING;
        nibbles[count++] = static_cast<unsigned char>(value);
    }
    if (text[38] != 0)
        return CO_E_CLASSSTRING;
    auto take = [&](int from, int n) {
        unsigned long long v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 4) | nibbles[from + i];
        return v;
    };
    clsid->Data1 = static_cast<DWORD>(take(0, 8));
    clsid->Data2 = static_cast<WORD>(take(8, 4));
    clsid->Data3 = static_cast<WORD>(take(12, 4));
    for (int i = 0; i < 8; ++i)
        clsid->Data4[i] = static_cast<BYTE>(take(16 + 2 * i, 2));
    return S_OK;
}

}  // extern "C"
