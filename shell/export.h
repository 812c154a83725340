// Marks the library's entry points for export. The platform build exports
// them through its module definition file instead.
#pragma once

#ifdef _WIN32
#define WRENFIELD_EXPORT
#else
#define WRENFIELD_EXPORT __attribute__((visibility("default")))
#endif
