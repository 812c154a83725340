#include "windows/control/library_windows.h"

#include <string>

#include "shell/project_description.h"
#include "shell/wrenfield515uk.h"
#include "windows/control/wide_text.h"

namespace {

HMODULE module = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

namespace wrenfield::shell {

using windows::wideText;

std::wstring libraryPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try a longer buffer
    }
}

HRESULT loadTypeLibrary(ITypeLib** library)
{
    const std::wstring path = libraryPath();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT loadCalcTypeInfo(ITypeInfo** info)
{
    ITypeLib* library = nullptr;
    HRESULT hr = loadTypeLibrary(&library);
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(IID__Calc2, info);
    library->Release();
    return hr;
}

void setErrorInfo(std::string_view errorDescription)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
        return;
    std::wstring source = wideText(kRegistration.projectName);
    std::wstring description = wideText(errorDescription);
    create->SetGUID(IID__Calc2);
    create->SetSource(source.data());
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

}  // namespace wrenfield::shell
