#include "shell/registration_entries.h"

#include "platform/guid_text.h"
#include "shell/project_description.h"

namespace wrenfield::shell {

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

}  // namespace wrenfield::shell
