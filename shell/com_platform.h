/*
 * The component model the shell is built on: the platform's own headers on
 * the platform, this project's runtime elsewhere. Both spell every name,
 * code and layout the shell uses the same way.
 */
#ifndef WRENFIELD_SHELL_COM_PLATFORM_H
#define WRENFIELD_SHELL_COM_PLATFORM_H

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <olectl.h>
#else
#include "shell/runtime/wf_com.h"
#endif

#endif /* WRENFIELD_SHELL_COM_PLATFORM_H */
