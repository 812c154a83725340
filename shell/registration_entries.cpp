#include "shell/registration_entries.h"

#include <cstdio>

#include "platform/guid_text.h"
#include "shell/project_description.h"

namespace wrenfield::shell {

namespace {

std::string typeLibraryVersion()
{
    return std::to_string(kLibrary.majorVersion) + "." + std::to_string(kLibrary.minorVersion);
}

std::string typeLibraryKey()
{
    return "TypeLib\\" + guidText(*kLibrary.libid) + "\\" + typeLibraryVersion();
}

// The platform's marshallers: of automation-compatible interfaces (a dual
// one), and of dispatch-only interfaces.
constexpr const char* kAutomationMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

}  // namespace

std::string progId()
{
    return std::string(kRegistration.projectName) + "." + std::string(kRegistration.objectName);
}

std::vector<std::string> classKeys()
{
    return {"CLSID\\" + guidText(CLSID_Calc), progId()};
}

std::vector<RegistryEntry> classEntries(std::string_view libraryPath)
{
    const std::string path(libraryPath);
    const std::string clsid = guidText(CLSID_Calc);
    const std::string classKey = "CLSID\\" + clsid;
    const std::string progId = shell::progId();
    const std::string libVersion =
        std::to_string(kRegistration.typeLibMajor) + "." + std::to_string(kRegistration.typeLibMinor);
    // The class: its server and threading model, ProgID, the control flag,
    // the status flags of its content aspect (1), its toolbox picture and its
    // type library; then the ProgID.
    return {
        {classKey, "", progId},
        {classKey + "\\InprocServer32", "", path},
        {classKey + "\\InprocServer32", "ThreadingModel", std::string(kRegistration.threadingModel)},
        {classKey + "\\ProgID", "", progId},
        {classKey + "\\VERSION", "", libVersion},
        {classKey + "\\Control", "", "", false},
        {classKey + "\\MiscStatus", "", "0"},
        {classKey + "\\MiscStatus\\1", "", std::to_string(kRegistration.miscStatus)},
        {classKey + "\\ToolboxBitmap32", "", path + ", " + std::to_string(kRegistration.toolboxBitmapId)},
        {classKey + "\\TypeLib", "", guidText(*kLibrary.libid)},
        {progId, "", progId},
        {progId + "\\CLSID", "", clsid},
    };
}

std::vector<std::string> typeLibraryKeys()
{
    std::vector<std::string> keys = {typeLibraryKey()};
    for (const TypeDescription& type : kLibrary.types)
        if (type.kind != TypeKind::CoClass)
            keys.push_back("Interface\\" + guidText(*type.guid));
    return keys;
}

std::vector<RegistryEntry> typeLibraryEntries(std::string_view libraryPath, bool win64)
{
    const std::string libid = guidText(*kLibrary.libid);
    const std::string version = typeLibraryVersion();
    const std::string libraryKey = typeLibraryKey();
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", static_cast<unsigned>(kLibrary.lcid));
    std::vector<RegistryEntry> entries = {
        {libraryKey, "", std::string(kLibrary.helpString)},
        {libraryKey + "\\FLAGS", "", "0"},
        {libraryKey + "\\HELPDIR", "", std::string(kRegistration.helpDirectory)},
        {libraryKey + "\\" + lcid + "\\" + (win64 ? "win64" : "win32"), "", std::string(libraryPath)},
    };
    for (const TypeDescription& type : kLibrary.types) {
        if (type.kind == TypeKind::CoClass)
            continue;
        const std::string key = "Interface\\" + guidText(*type.guid);
        const char* marshaller = type.kind == TypeKind::DualInterface ? kAutomationMarshaller : kDispatchMarshaller;
        entries.push_back({key, "", std::string(type.name)});
        entries.push_back({key + "\\ProxyStubClsid", "", marshaller});
        entries.push_back({key + "\\ProxyStubClsid32", "", marshaller});
        entries.push_back({key + "\\TypeLib", "", libid});
        entries.push_back({key + "\\TypeLib", "Version", version});
    }
    return entries;
}

}  // namespace wrenfield::shell
