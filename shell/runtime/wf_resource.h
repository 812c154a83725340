/*
 * Resources of a component library: the data the platform keeps in a
 * library's resource section (its toolbox bitmap, its version record). A
 * library built on this runtime exports one table, WF_RESOURCE_TABLE_SYMBOL,
 * listing each resource by type and numeric identifier with the platform's
 * resource type numbers.
 */
#ifndef WRENFIELD_PLATFORM_COM_WF_RESOURCE_H
#define WRENFIELD_PLATFORM_COM_WF_RESOURCE_H

#include "shell/runtime/wf_com.h"

WF_COM_BEGIN_C

#define WF_RT_BITMAP 2
#define WF_RT_VERSION 16

/* VS_FIXEDFILEINFO values used by a version record. */
#define WF_VOS_NT_WINDOWS32 0x00040004u
#define WF_VFT_DLL 0x00000002u

typedef struct WfVersionString {
    const char* key;   /* "FileVersion" */
    const char* value; /* "1.00" */
} WfVersionString;

/* A version record: the fixed part, then one string block for one language
 * and code page, and the translation it announces. */
typedef struct WfVersionRecord {
    WORD fileVersion[4]; /* 1, 0, 0, 0 */
    WORD productVersion[4];
    DWORD fileFlagsMask;
    DWORD fileFlags;
    DWORD fileOS;
    DWORD fileType;
    DWORD fileSubtype;
    const char* stringBlock; /* "040904B0": language and code page in hex */
    const WfVersionString* strings;
    UINT stringCount;
    WORD translationLanguage; /* 0x0409 */
    WORD translationCodePage; /* 1200, UTF-16 */
} WfVersionRecord;

typedef struct WfResource {
    UINT type; /* WF_RT_… */
    UINT id;
    const void* data; /* a BMP file's bytes after its file header, or a WfVersionRecord */
    size_t size;
} WfResource;

typedef struct WfResourceTable {
    const WfResource* resources;
    UINT count;
} WfResourceTable;

#define WF_RESOURCE_TABLE_SYMBOL "WfResources"

/* The resource of a loaded library (a dlopen handle), or NULL. */
WFCOM_EXPORT const WfResource* WfFindResource(void* module, UINT type, UINT id);

WF_COM_END_C

#endif /* WRENFIELD_PLATFORM_COM_WF_RESOURCE_H */
