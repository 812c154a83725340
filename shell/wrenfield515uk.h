/*
 * Wrenfield515UK: what a host needs to create the Calc control and call it,
 * in C or C++. The interfaces, their identifiers and the slot order are
 * compiled from the interface description Wrenfield515UK.idl; the dispatch
 * identifiers come from wrenfield515uk_ids.h, which the IDL includes.
 *
 * _Calc is a dual interface: IDispatch's seven slots, then the five
 * population methods. Each takes seven in-out VARIANT* arguments (bwt, gest,
 * wt, ht, sex, eth, par) and a VARIANT* for the result: the centile in
 * percent as VT_R8, or a zero-length VT_BSTR when an input is missing. A
 * method's run-time error arrives through the slot as the HRESULT
 * 0x800A0000 + its number (13, type mismatch: 0x800A000D) and through
 * IDispatch::Invoke as DISP_E_EXCEPTION with the same scode in EXCEPINFO.
 */
#ifndef WRENFIELD_SHELL_WRENFIELD515UK_H
#define WRENFIELD_SHELL_WRENFIELD515UK_H

#include "shell/com_platform.h"
#include "shell/wrenfield515uk_ids.h"

/* _Calc, __Calc, Calc and their identifiers, as widl writes them from the
 * IDL (the build's generated directory is on the include path). Every file
 * that includes this one gets the identifiers' definitions too, as
 * "selectany" definitions the linker folds into one. */
#ifdef _WIN32
#include "wrenfield515uk_idl.h"
#else
#include "shell/runtime/wf_midl.h"
#ifndef COM_NO_WINDOWS_H
#define COM_NO_WINDOWS_H
#define WRENFIELD_COM_NO_WINDOWS_H
#endif
#include "wrenfield515uk_idl.h"
#ifdef WRENFIELD_COM_NO_WINDOWS_H
#undef COM_NO_WINDOWS_H
#undef WRENFIELD_COM_NO_WINDOWS_H
#endif
#endif
#include "wrenfield515uk_idl_i.c"

#define WRENFIELD515UK_PROGID "Wrenfield515UK.Calc"
#define WRENFIELD515UK_PROGID_OLESTR OLESTR("Wrenfield515UK.Calc")

/* The HRESULT of a method's run-time error number n (through the slot), and
 * the scode of the EXCEPINFO (through Invoke). */
#define WRENFIELD_ERROR_HRESULT(n) MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, (n))

#define WRENFIELD_CALC_METHOD(name)                                                                                    \
    HRESULT STDMETHODCALLTYPE name(VARIANT* bwt, VARIANT* gest, VARIANT* wt, VARIANT* ht, VARIANT* sex, VARIANT* eth,  \
                                   VARIANT* par, VARIANT* retval)

#endif /* WRENFIELD_SHELL_WRENFIELD515UK_H */
