/*
 * Control registration: a control library hands its project description
 * (the entries of its class and ProgID, and the essentials of its interface
 * description) to the runtime, which writes or removes them, with the
 * entries of its interfaces and its type library, in one update.
 */
#ifndef WRENFIELD_PLATFORM_COM_WF_CONTROL_H
#define WRENFIELD_PLATFORM_COM_WF_CONTROL_H

#include "shell/runtime/wf_com.h"

WF_COM_BEGIN_C

typedef enum WfTypeKind { WF_TYPE_DUAL_INTERFACE, WF_TYPE_COCLASS, WF_TYPE_DISPINTERFACE } WfTypeKind;

typedef struct WfTypeEntry {
    const char* name;
    WfTypeKind kind;
    const GUID* guid;
} WfTypeEntry;

/* One value the control library writes. */
typedef struct WfRegistryValue {
    const char* key;   /* below the classes root */
    const char* name;  /* NULL or empty: the key's default value */
    const char* value; /* NULL: the key alone, without a value */
} WfRegistryValue;

typedef struct WfProjectDescription {
    /* The control's own entries, from the control library: the keys it owns
     * (each removed with everything below it) and the values below them. */
    const char* const* classKeys;
    UINT classKeyCount;
    const WfRegistryValue* classValues;
    UINT classValueCount;
    /* The interface description, whose type library and interfaces the
     * runtime registers as the platform's type library registration does. */
    const char* projectDescription; /* the type library's help string */
    const char* helpDirectory;
    WORD typeLibMajor;
    WORD typeLibMinor;
    const GUID* libid;
    LCID lcid;
    const WfTypeEntry* types; /* one coclass (the control) and its interfaces */
    UINT typeCount;
} WfProjectDescription;

/* Writes the registration of the control in the library at libraryPath (an
 * absolute path), replacing any earlier registration of the same
 * identifiers, in one atomic update of the registry. */
WFCOM_EXPORT HRESULT WfRegisterControl(const WfProjectDescription* project, const char* libraryPath);
/* Removes everything WfRegisterControl writes, and the container keys it
 * leaves empty. Succeeds when nothing was registered. */
WFCOM_EXPORT HRESULT WfUnregisterControl(const WfProjectDescription* project);

WF_COM_END_C

#endif /* WRENFIELD_PLATFORM_COM_WF_CONTROL_H */
