#include "windows/src/type_library.h"

#include <string>

#include "windows/src/module.h"

namespace wrenfield::windows {

HRESULT loadTypeLibrary(ITypeLib** library)
{
    const std::wstring path = thisModulePath();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT loadTypeInfo(REFGUID guid, ITypeInfo** info)
{
    ITypeLib* library = nullptr;
    HRESULT hr = loadTypeLibrary(&library);
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(guid, info);
    library->Release();
    return hr;
}

}  // namespace wrenfield::windows
