#include "windows/control/control_persistence.h"

#include <olectl.h>

namespace wrenfield::windows {

namespace {

constexpr BYTE kSignature[4] = {'W', 'R', 'F', 'C'};
constexpr wchar_t kContentsStream[] = L"Contents";
constexpr wchar_t kVersionProperty[] = L"Version";

HRESULT checkRecord(const BYTE (&record)[kSavedRecordSize])
{
    for (int i = 0; i < 4; ++i)
        if (record[i] != kSignature[i])
            return kNotSavedCalc;
    const unsigned version = record[4] | (record[5] << 8);
    const unsigned propertyBytes = record[6] | (record[7] << 8);
    if (version > kFormatVersion)
        return kLaterFormat;
    if (version == 0 || propertyBytes != 0)
        return kNotSavedCalc;
    return S_OK;
}

void reportToLog(IErrorLog* errorLog, HRESULT hr, const wchar_t* description)
{
    if (!errorLog)
        return;
    EXCEPINFO error{};
    error.scode = hr;
    error.bstrSource = SysAllocString(L"Wrenfield515UK");
    error.bstrDescription = SysAllocString(description);
    errorLog->AddError(kVersionProperty, &error);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
}

}  // namespace

HRESULT saveToStream(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    const BYTE record[kSavedRecordSize] = {kSignature[0],
                                           kSignature[1],
                                           kSignature[2],
                                           kSignature[3],
                                           BYTE(kFormatVersion & 0xFF),
                                           BYTE(kFormatVersion >> 8),
                                           0,
                                           0};
    ULONG written = 0;
    const HRESULT hr = stream->Write(record, kSavedRecordSize, &written);
    if (FAILED(hr))
        return hr;
    return written == kSavedRecordSize ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT loadFromStream(IStream* stream)
{
    if (!stream)
        return E_POINTER;
    BYTE record[kSavedRecordSize] = {};
    ULONG read = 0;
    const HRESULT hr = stream->Read(record, kSavedRecordSize, &read);
    if (FAILED(hr))
        return hr;
    if (read != kSavedRecordSize)
        return kNotSavedCalc;  // cut short
    return checkRecord(record);
}

HRESULT saveToStorage(IStorage* storage)
{
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
    if (FAILED(hr))
        return hr;
    hr = saveToStream(stream);
    stream->Release();
    return hr;
}

HRESULT loadFromStorage(IStorage* storage)
{
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->OpenStream(kContentsStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    if (hr == STG_E_FILENOTFOUND)
        return kNotSavedCalc;
    if (FAILED(hr))
        return hr;
    hr = loadFromStream(stream);
    stream->Release();
    return hr;
}

HRESULT saveToPropertyBag(IPropertyBag* bag)
{
    if (!bag)
        return E_POINTER;
    VARIANT version;
    VariantInit(&version);
    V_VT(&version) = VT_I4;
    V_I4(&version) = kFormatVersion;
    return bag->Write(kVersionProperty, &version);
}

HRESULT loadFromPropertyBag(IPropertyBag* bag, IErrorLog* errorLog)
{
    if (!bag)
        return E_POINTER;
    VARIANT version;
    VariantInit(&version);
    V_VT(&version) = VT_I4;  // the type we would like the bag to give
    HRESULT hr = bag->Read(kVersionProperty, &version, errorLog);
    if (FAILED(hr)) {
        reportToLog(errorLog, kNotSavedCalc, L"No saved Calc: the property \"Version\" is missing");
        return kNotSavedCalc;
    }
    hr = VariantChangeType(&version, &version, 0, VT_I4);
    const LONG value = SUCCEEDED(hr) ? V_I4(&version) : 0;
    VariantClear(&version);
    if (FAILED(hr) || value < 1) {
        reportToLog(errorLog, kNotSavedCalc, L"No saved Calc: \"Version\" is not a format version");
        return kNotSavedCalc;
    }
    if (ULONG(value) > kFormatVersion) {
        reportToLog(errorLog, kLaterFormat, L"Saved by a later version of Wrenfield515UK");
        return kLaterFormat;
    }
    return S_OK;
}

}  // namespace wrenfield::windows
