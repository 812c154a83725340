/*
 * Control registration: a control library hands its project description
 * (its registration record and the essentials of its interface description)
 * to the runtime, which writes or removes the registry entries of the
 * control class, its ProgID ("<project>.<object>"), its interfaces and its
 * type library.
 */
#ifndef WRENFIELD_PLATFORM_COM_WF_CONTROL_H
#define WRENFIELD_PLATFORM_COM_WF_CONTROL_H

#include "platform/com/wf_com.h"

WF_COM_BEGIN_C

typedef enum WfTypeKind { WF_TYPE_DUAL_INTERFACE, WF_TYPE_COCLASS, WF_TYPE_DISPINTERFACE } WfTypeKind;

typedef struct WfTypeEntry {
    const char* name;
    WfTypeKind kind;
    const GUID* guid;
} WfTypeEntry;

typedef struct WfProjectDescription {
    /* The registration record. */
    const char* projectName;        /* "Wrenfield515UK" */
    const char* projectDescription; /* the type library's help string */
    const char* helpDirectory;
    WORD typeLibMajor;
    WORD typeLibMinor;
    const char* objectName;     /* "Calc" */
    DWORD miscStatus;           /* OLEMISC_… flags of the content aspect */
    UINT toolboxBitmapId;       /* bitmap resource of the library */
    const char* threadingModel; /* "Apartment" */
    /* The interface description. */
    const GUID* libid;
    LCID lcid;
    const WfTypeEntry* types; /* one coclass (the control) and its interfaces */
    UINT typeCount;
} WfProjectDescription;

/* Writes the registration of the control in the library at libraryPath (an
 * absolute path), replacing any earlier registration of the same
 * identifiers, in one atomic update of the registry. */
HRESULT WfRegisterControl(const WfProjectDescription* project, const char* libraryPath);
/* Removes everything WfRegisterControl writes, and the container keys it
 * leaves empty. Succeeds when nothing was registered. */
HRESULT WfUnregisterControl(const WfProjectDescription* project);

WF_COM_END_C

#endif /* WRENFIELD_PLATFORM_COM_WF_CONTROL_H */
