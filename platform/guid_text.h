// The braced text form of a GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in
// upper case, as the registry and the component model write it. Any struct
// with a GUID's fields (Data1, Data2, Data3, Data4[8]) will do: this
// project's runtime's and the platform's own.
#pragma once

#include <cstdio>
#include <string>

namespace wrenfield {

template <typename Guid> std::string guidText(const Guid& guid)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), static_cast<unsigned>(guid.Data2),
                  static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                  guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

}  // namespace wrenfield
