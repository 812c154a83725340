/*
 * The numbers of the interface description Wrenfield515UK.idl that code needs
 * as well: the dispatch identifiers of _Calc's five methods and the version of
 * the type library. The IDL takes them from here (widl runs the C
 * preprocessor), and so do the runtime and hosts, through wrenfield515uk.h.
 * Plain definitions only: IDL, C, C++ and resource scripts read this file.
 */
#ifndef WRENFIELD_SHELL_WRENFIELD515UK_IDS_H
#define WRENFIELD_SHELL_WRENFIELD515UK_IDS_H

#define DISPID_custcentukn 0x60030001
#define DISPID_custcentus 0x60030002
#define DISPID_custcentswe 0x60030003
#define DISPID_custcentnz 0x60030004
#define DISPID_custcentau 0x60030005

#define WRENFIELD515UK_TYPELIB_MAJOR 1
#define WRENFIELD515UK_TYPELIB_MINOR 0
/* As the IDL's version attribute spells it: "1.0". */
#define WRENFIELD515UK_TYPELIB_VERSION WRENFIELD515UK_TYPELIB_MAJOR.WRENFIELD515UK_TYPELIB_MINOR

#endif /* WRENFIELD_SHELL_WRENFIELD515UK_IDS_H */
