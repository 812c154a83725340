/*
 * The spellings an IDL compiler's output uses (widl's or the platform's own
 * compiler's headers and identifier files), for this runtime: interfaces are
 * structs, DEFINE_GUID declares an identifier (and defines it where INITGUID
 * is defined), and the definitions an identifier file writes may stand in
 * every file that includes it, as "selectany" allows on the platform.
 *
 * Include this before a generated header; the files in shell/runtime/midl/
 * stand for the platform headers the generated files include.
 */
#ifndef WRENFIELD_PLATFORM_COM_WF_MIDL_H
#define WRENFIELD_PLATFORM_COM_WF_MIDL_H

#include "wf_com.h"

#ifndef interface
#define interface struct
#endif
#define MIDL_INTERFACE(uuid) struct
#define DECLSPEC_UUID(uuid)
#define CONST_VTBL const
#define __RPC_USER
#define DECLSPEC_SELECTANY __attribute__((weak))

#ifdef INITGUID
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                                                   \
    EXTERN_C const GUID DECLSPEC_SELECTANY name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) EXTERN_C const GUID name
#endif

#endif /* WRENFIELD_PLATFORM_COM_WF_MIDL_H */
