/*
 * The version record of the Wrenfield515UK library. Plain definitions only,
 * so that a resource script can include this file as well as C++.
 */
#ifndef WRENFIELD_SHELL_VERSION_RECORD_H
#define WRENFIELD_SHELL_VERSION_RECORD_H

#define WRENFIELD_VERSION_FIXED 1, 0, 0, 0
#define WRENFIELD_VERSION_TEXT "1.00"
#define WRENFIELD_INTERNAL_NAME "Wrenfield515UK"
#define WRENFIELD_PRODUCT_NAME "Wrenfield515UK"
#define WRENFIELD_ORIGINAL_FILENAME "Wrenfield515UK.ocx"
/* US English with the Unicode code page. */
#define WRENFIELD_VERSION_BLOCK "040904B0"
#define WRENFIELD_VERSION_LANGUAGE 0x0409
#define WRENFIELD_VERSION_CODEPAGE 1200
#define WRENFIELD_TOOLBOX_BITMAP_ID 30000

#endif /* WRENFIELD_SHELL_VERSION_RECORD_H */
