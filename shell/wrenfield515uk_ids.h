/*
 * The numbers of the interface description Wrenfield515UK.idl that code needs
 * as well: the dispatch identifiers of the members of _Calc and _Calc2 and of
 * the events of __Calc2, and the version of the type library. The IDL takes
 * them from here (widl runs the C preprocessor), and so do the runtime and
 * hosts, through wrenfield515uk.h.
 * Plain definitions only: IDL, C, C++ and resource scripts read this file.
 */
#ifndef WRENFIELD_SHELL_WRENFIELD515UK_IDS_H
#define WRENFIELD_SHELL_WRENFIELD515UK_IDS_H

/* _Calc: the five population methods. */
#define DISPID_custcentukn 0x60030001
#define DISPID_custcentus 0x60030002
#define DISPID_custcentswe 0x60030003
#define DISPID_custcentnz 0x60030004
#define DISPID_custcentau 0x60030005

/* _Calc2: the form's inputs as texts, as their lists show them, and the
 * centile the form shows. */
#define DISPID_Population 0x68030001
#define DISPID_MaternalHeight 0x68030002
#define DISPID_BookingWeight 0x68030003
#define DISPID_EthnicGroup 0x68030004
#define DISPID_Parity 0x68030005
#define DISPID_GestationWeeks 0x68030006
#define DISPID_GestationDays 0x68030007
#define DISPID_Birthweight 0x68030008
#define DISPID_Sex 0x68030009
#define DISPID_Centile 0x6803000A

/* __Calc2: the events. */
#define DISPID_Recomputed 1
#define DISPID_CentileChanged 2

/* 1.0 described _Calc, Calc and the empty __Calc; 1.1 adds _Calc2 (the
 * properties) and __Calc2 (the events), which Calc now names as its
 * defaults. */
#define WRENFIELD515UK_TYPELIB_MAJOR 1
#define WRENFIELD515UK_TYPELIB_MINOR 1
/* As the IDL's version attribute spells it: "1.1". */
#define WRENFIELD515UK_TYPELIB_VERSION WRENFIELD515UK_TYPELIB_MAJOR.WRENFIELD515UK_TYPELIB_MINOR

#endif /* WRENFIELD_SHELL_WRENFIELD515UK_IDS_H */
