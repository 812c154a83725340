#include "windows/src/error_info.h"

#include <oleauto.h>

#include <string>

namespace wrenfield::windows {
namespace {

std::wstring wideFromUtf8(std::string_view text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}

}  // namespace

HRESULT reportRuntimeError(const RuntimeError& error, REFIID interfaceId)
{
    const HRESULT hr = hresultOf(error.number());
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        // The description is the error's own text ("Type mismatch"), as the
        // classic runtime reports it; where it arose is left out.
        std::wstring description = wideFromUtf8(error.description());
        create->SetGUID(interfaceId);
        create->SetSource(const_cast<LPOLESTR>(L"Wrenfield515UK.Calc"));
        create->SetDescription(description.data());
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

}  // namespace wrenfield::windows
