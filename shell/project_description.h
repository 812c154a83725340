// What the Wrenfield515UK library declares about itself: the outline of its
// type library that the runtime's registration needs (the identifiers and
// the version come from the compiled Wrenfield515UK.idl; the names and flags
// are checked against its type library by the shell tests, with the one
// attribute the IDL compiler cannot express) and its registration record.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "shell/version_record.h"
#include "shell/wrenfield515uk.h"

namespace wrenfield::shell {

enum class TypeKind { DualInterface, CoClass, DispInterface };

enum TypeFlag : std::uint32_t {
    kHidden = 1u << 0,
    kDual = 1u << 1,
    kNonExtensible = 1u << 2,
    kOleAutomation = 1u << 3,
    kControl = 1u << 4,
    kNonCreatable = 1u << 5,
};

struct TypeDescription {
    std::string_view name;
    TypeKind kind;
    const GUID* guid;
    std::uint32_t flags;
};

struct LibraryDescription {
    std::string_view name;
    std::string_view helpString;
    const GUID* libid;
    std::uint16_t majorVersion;
    std::uint16_t minorVersion;
    std::uint32_t lcid;
    std::array<TypeDescription, 5> types;  // in the library's order
};

static const LibraryDescription kLibrary = {
    "Wrenfield515UK",
    "Wrenfield515UK",
    &LIBID_Wrenfield515UK,
    WRENFIELD515UK_TYPELIB_MAJOR,
    WRENFIELD515UK_TYPELIB_MINOR,
    0x0409,  // US English
    {{
        {"_Calc", TypeKind::DualInterface, &IID__Calc, kHidden | kDual | kNonExtensible | kOleAutomation},
        {"Calc", TypeKind::CoClass, &CLSID_Calc, kControl | kNonCreatable},
        {"_Calc2", TypeKind::DualInterface, &IID__Calc2, kHidden | kDual | kNonExtensible | kOleAutomation},
        // The event interfaces are non-extensible as well; the IDL compiler
        // rejects that attribute on a dispinterface, so only this
        // description carries it.
        {"__Calc2", TypeKind::DispInterface, &DIID___Calc2, kHidden | kNonExtensible},
        {"__Calc", TypeKind::DispInterface, &DIID___Calc, kHidden | kNonExtensible},
    }},
};

// Miscellaneous status flags of a control, as the platform numbers them.
enum OleMisc : std::uint32_t {
    kRecomposeOnResize = 0x1,
    kCantLinkInside = 0x10,
    kInsideOut = 0x80,
    kActivateWhenVisible = 0x100,
    kSetClientSiteFirst = 0x20000,
};

// The runtime registers the class under the ProgID "<project>.<object>".
struct RegistrationRecord {
    std::string_view projectName;
    std::string_view projectDescription;
    std::string_view helpDirectory;
    std::uint16_t typeLibMajor;
    std::uint16_t typeLibMinor;
    std::string_view objectName;
    std::string_view objectKind;
    int instancing;
    int objectIdentifier;
    bool hasEventInterface;
    std::uint32_t miscStatus;
    std::uint16_t toolboxBitmapId;
    int defaultIconId;  // 0: none
    std::string_view threadingModel;
};

inline constexpr RegistrationRecord kRegistration = {
    "Wrenfield515UK",
    "Wrenfield515UK",
    "",
    WRENFIELD515UK_TYPELIB_MAJOR,
    WRENFIELD515UK_TYPELIB_MINOR,
    "Calc",
    "user control",
    2,
    0,
    true,
    kRecomposeOnResize | kCantLinkInside | kInsideOut | kActivateWhenVisible | kSetClientSiteFirst,
    WRENFIELD_TOOLBOX_BITMAP_ID,
    0,
    "Apartment",
};
static_assert(kRegistration.miscStatus == 0x20191);

}  // namespace wrenfield::shell
