// The library's resources on this project's runtime: the toolbox bitmap and
// the version record, listed in the table the runtime looks up.
#include "shell/runtime/wf_resource.h"
#include "shell/export.h"
#include "shell/toolbox_bitmap.h"
#include "shell/version_record.h"

namespace {

const WfVersionString kVersionStrings[] = {
    {"FileVersion", WRENFIELD_VERSION_TEXT},           {"ProductVersion", WRENFIELD_VERSION_TEXT},
    {"InternalName", WRENFIELD_INTERNAL_NAME},         {"ProductName", WRENFIELD_PRODUCT_NAME},
    {"OriginalFilename", WRENFIELD_ORIGINAL_FILENAME}, {"OLESelfRegister", ""},
};

const WfVersionRecord kVersion = {
    {WRENFIELD_VERSION_FIXED},
    {WRENFIELD_VERSION_FIXED},
    0x3F,  // all flags meaningful
    0,     // none set: a release build
    WF_VOS_NT_WINDOWS32,
    WF_VFT_DLL,
    0,
    WRENFIELD_VERSION_BLOCK,
    kVersionStrings,
    sizeof kVersionStrings / sizeof kVersionStrings[0],
    WRENFIELD_VERSION_LANGUAGE,
    WRENFIELD_VERSION_CODEPAGE,
};

const WfResource kResources[] = {
    {WF_RT_BITMAP, WRENFIELD_TOOLBOX_BITMAP_ID, wrenfield::shell::toolboxBitmap().data(),
     wrenfield::shell::kToolboxBitmapSize},
    {WF_RT_VERSION, 1, &kVersion, sizeof kVersion},
};

}  // namespace

extern "C" WRENFIELD_EXPORT const WfResourceTable WfResources = {kResources, sizeof kResources / sizeof kResources[0]};
