// The library's own tables (the outline of its type library that the
// runtime registers, the dispatch names and identifiers) against the type
// library and header the build compiled from the interface description, and
// the library's resources and entry points as a host sees them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "form/calc_interface.h"
#include "platform/ascii_text.h"
#include "shell/runtime/wf_resource.h"
#include "shell/calc_object_base.h"
#include "shell/project_description.h"
#include "shell/wrenfield515uk.h"

namespace {

using namespace wrenfield;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// ---- The type library as widl writes it (the platform's "MSFT" format):
// a header, the offsets of the type infos, a directory of segments, then the
// segments. Only what the comparison needs is read.
class TypeLibraryFile {
public:
    explicit TypeLibraryFile(std::string bytes)
        : d_(std::move(bytes))
    {}

    bool valid() const { return d_.size() > 0x60 && d_.compare(0, 4, "MSFT") == 0; }
    std::int32_t at(std::size_t pos) const
    {
        std::int32_t v = 0;
        if (pos + 4 <= d_.size())
            std::memcpy(&v, d_.data() + pos, 4);
        return v;
    }
    std::int32_t header(int index) const { return at(4 * static_cast<std::size_t>(index)); }
    std::uint32_t lcid() const { return static_cast<std::uint32_t>(header(3)); }
    std::uint32_t version() const { return static_cast<std::uint32_t>(header(6)); }
    int typeCount() const { return header(8); }
    std::string libraryName() const { return name(header(14)); }
    std::string helpString() const
    {
        const std::size_t pos = segment(8) + static_cast<std::size_t>(header(9));
        std::int16_t length = 0;
        std::memcpy(&length, d_.data() + pos, 2);
        return d_.substr(pos + 2, static_cast<std::size_t>(length));
    }

    struct TypeInfo {
        int kind;  // 3 interface, 4 dispatch interface, 5 coclass
        std::uint32_t flags;
        std::string name;
        std::vector<std::int32_t> memberIds;
        std::vector<std::string> memberNames;
    };

    TypeInfo type(int index) const
    {
        const std::size_t base = segment(0) + static_cast<std::size_t>(at(typeOffsetsStart() + 4 * index));
        TypeInfo t;
        t.kind = at(base) & 0xF;
        t.flags = static_cast<std::uint32_t>(at(base + 48));
        t.name = name(at(base + 52));
        const int functions = at(base + 24) & 0xFFFF;
        if (functions > 0) {
            const std::size_t records = static_cast<std::size_t>(at(base + 4));
            const std::size_t ids = records + 4 + static_cast<std::size_t>(at(records));
            for (int i = 0; i < functions; ++i) {
                t.memberIds.push_back(at(ids + 4 * static_cast<std::size_t>(i)));
                t.memberNames.push_back(name(at(ids + 4 * static_cast<std::size_t>(functions + i))));
            }
        }
        return t;
    }

private:
    std::size_t typeOffsetsStart() const { return 0x54 + ((header(5) & 0x100) ? 4 : 0); }
    std::size_t segment(int index) const
    {
        const std::size_t dir = typeOffsetsStart() + 4 * static_cast<std::size_t>(typeCount());
        return static_cast<std::size_t>(at(dir + 16 * static_cast<std::size_t>(index)));
    }
    std::string name(std::int32_t offset) const
    {
        const std::size_t pos = segment(7) + static_cast<std::size_t>(offset);
        if (pos + 12 > d_.size())
            return {};
        return d_.substr(pos + 12, static_cast<unsigned char>(d_[pos + 8]));
    }

    std::string d_;
};

// Type flags of the type library format.
constexpr std::uint32_t kFlagHidden = 0x10, kFlagControl = 0x20, kFlagDual = 0x40, kFlagNonExtensible = 0x80,
                        kFlagOleAutomation = 0x100, kFlagCanCreate = 0x2;

struct CompiledDescription {
    std::string header;
    std::string typeLibrary;
};

// What the build compiled from the IDL with widl.
const CompiledDescription& compiled()
{
    static const CompiledDescription result = {readFile(WRENFIELD_IDL_DIR "/wrenfield515uk_idl.h"),
                                               readFile(WRENFIELD_IDL_DIR "/Wrenfield515UK.tlb")};
    return result;
}

TEST(InterfaceDescription, LibraryNameVersionAndLocale)
{
    TypeLibraryFile tlb(compiled().typeLibrary);
    ASSERT_TRUE(tlb.valid());
    EXPECT_EQ(tlb.libraryName(), shell::kLibrary.name);
    EXPECT_EQ(tlb.helpString(), shell::kLibrary.helpString);
    EXPECT_EQ(tlb.lcid(), shell::kLibrary.lcid);
    EXPECT_EQ(tlb.version(), shell::kLibrary.majorVersion | (std::uint32_t{shell::kLibrary.minorVersion} << 16));
}

TEST(InterfaceDescription, TypesInOrderWithTheirAttributes)
{
    TypeLibraryFile tlb(compiled().typeLibrary);
    ASSERT_EQ(tlb.typeCount(), static_cast<int>(shell::kLibrary.types.size()));
    for (int i = 0; i < tlb.typeCount(); ++i) {
        const auto& described = shell::kLibrary.types[static_cast<std::size_t>(i)];
        const auto t = tlb.type(i);
        SCOPED_TRACE(std::string(described.name));
        EXPECT_EQ(t.name, described.name);
        // A dual interface is stored as a dispatch interface flagged dual.
        EXPECT_EQ(t.kind, described.kind == shell::TypeKind::CoClass ? 5 : 4);
        EXPECT_EQ((t.flags & kFlagHidden) != 0, (described.flags & shell::kHidden) != 0);
        EXPECT_EQ((t.flags & kFlagDual) != 0, (described.flags & shell::kDual) != 0);
        EXPECT_EQ((t.flags & kFlagOleAutomation) != 0, (described.flags & shell::kOleAutomation) != 0);
        EXPECT_EQ((t.flags & kFlagControl) != 0, (described.flags & shell::kControl) != 0);
        EXPECT_EQ((t.flags & kFlagCanCreate) == 0,
                  described.kind != shell::TypeKind::CoClass || (described.flags & shell::kNonCreatable) != 0);
        // The compiler cannot mark the dispinterface non-extensible; only the
        // library description does.
        if (described.kind != shell::TypeKind::DispInterface) {
            EXPECT_EQ((t.flags & kFlagNonExtensible) != 0, (described.flags & shell::kNonExtensible) != 0);
        }
    }
    EXPECT_TRUE(tlb.type(4).memberIds.empty()) << "__Calc, the first version's, has no members";
    // The first version's two types keep their places.
    EXPECT_EQ(tlb.type(0).name, "_Calc");
    EXPECT_EQ(tlb.type(1).name, "Calc");
}

TEST(InterfaceDescription, PropertiesAndEventsWithTheirDispatchIdentifiers)
{
    const TypeLibraryFile tlb(compiled().typeLibrary);
    // _Calc2: a read and a write of each input property, then the read of
    // Centile, in the order of the control's table.
    // A type library keeps one spelling of each name, the first it met:
    // _Calc's parameter "sex" spells the property Sex. Names are compared
    // without regard to case, as dispatch compares them.
    const auto calc2 = tlb.type(2);
    std::vector<std::string> names;
    std::vector<std::int32_t> ids;
    for (const auto& property : shell::calcProperties()) {
        for (int access = 0; access < (property.writable() ? 2 : 1); ++access) {
            names.push_back(lowerAscii(property.name));
            ids.push_back(property.dispatchId);
        }
    }
    std::vector<std::string> recorded;
    for (const std::string& name : calc2.memberNames)
        recorded.push_back(lowerAscii(name));
    EXPECT_EQ(recorded, names);
    EXPECT_EQ(calc2.memberIds, ids);

    const auto events = tlb.type(3);
    EXPECT_EQ(events.memberNames, (std::vector<std::string>{"Recomputed", "CentileChanged"}));
    EXPECT_EQ(events.memberIds, (std::vector<std::int32_t>{DISPID_Recomputed, DISPID_CentileChanged}));
}

TEST(InterfaceDescription, SecondInterfaceExtendsTheFirstSlotForSlot)
{
    // _Calc2's table in the compiled header: all of _Calc's slots, then a
    // get_ and put_ slot per input property and get_Centile.
    const std::string& header = compiled().header;
    const auto begin = header.find("typedef struct _Calc2Vtbl {");
    const auto end = header.find("} _Calc2Vtbl;", begin);
    ASSERT_NE(begin, std::string::npos);
    const std::string table = header.substr(begin, end - begin);
    std::vector<std::string> slots;
    const std::regex slot(R"(\(STDMETHODCALLTYPE \*(\w+)\)\()");
    for (auto it = std::sregex_iterator(table.begin(), table.end(), slot); it != std::sregex_iterator(); ++it)
        slots.push_back((*it)[1]);
    std::vector<std::string> expected = {"QueryInterface", "AddRef",        "Release", "GetTypeInfoCount",
                                         "GetTypeInfo",    "GetIDsOfNames", "Invoke"};
    for (const auto& method : form::calcMethods())
        expected.emplace_back(method.name);
    for (const auto& property : shell::calcProperties()) {
        expected.push_back("get_" + std::string(property.name));
        if (property.writable())
            expected.push_back("put_" + std::string(property.name));
    }
    EXPECT_EQ(slots, expected);
}

TEST(InterfaceDescription, MethodNamesAndDispatchIdentifiersInSlotOrder)
{
    const auto calc = TypeLibraryFile(compiled().typeLibrary).type(0);
    const auto methods = form::calcMethods();
    ASSERT_EQ(calc.memberIds.size(), methods.size());
    for (std::size_t i = 0; i < methods.size(); ++i) {
        EXPECT_EQ(calc.memberNames[i], methods[i].name);
        EXPECT_EQ(calc.memberIds[i], shell::kCalcDispatchIds[i]);
    }
}

TEST(InterfaceDescription, HeaderSlotsAndParameterNamesMatchTheDispatchTables)
{
    // The C table of _Calc in the compiled header: IDispatch's seven slots,
    // then the five methods, each with the seven parameters and the result,
    // named as the control's dispatch names them.
    const std::string& header = compiled().header;
    const auto begin = header.find("typedef struct _CalcVtbl {");
    const auto end = header.find("} _CalcVtbl;", begin);
    ASSERT_NE(begin, std::string::npos);
    const std::string table = header.substr(begin, end - begin);
    std::vector<std::string> slots;
    const std::regex slot(R"(\(STDMETHODCALLTYPE \*(\w+)\)\(([^;]*)\);)");
    std::vector<std::string> parameterLists;
    for (auto it = std::sregex_iterator(table.begin(), table.end(), slot); it != std::sregex_iterator(); ++it) {
        slots.push_back((*it)[1]);
        parameterLists.push_back((*it)[2]);
    }
    std::vector<std::string> expected = {"QueryInterface", "AddRef",        "Release", "GetTypeInfoCount",
                                         "GetTypeInfo",    "GetIDsOfNames", "Invoke"};
    for (const auto& method : form::calcMethods())
        expected.emplace_back(method.name);
    EXPECT_EQ(slots, expected);

    const std::regex parameter(R"(VARIANT \*(\w+))");
    for (std::size_t i = 7; i < parameterLists.size(); ++i) {
        std::vector<std::string> names;
        for (auto it = std::sregex_iterator(parameterLists[i].begin(), parameterLists[i].end(), parameter);
             it != std::sregex_iterator(); ++it)
            names.push_back((*it)[1]);
        std::vector<std::string> want(form::kCalcParameterNames.begin(), form::kCalcParameterNames.end());
        want.push_back("retval");
        EXPECT_EQ(names, want) << slots[i];
    }
}

// ---- The library file

class Library : public ::testing::Test {
protected:
    void SetUp() override
    {
        handle_ = dlopen(WRENFIELD_SHELL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override
    {
        if (handle_)
            dlclose(handle_);
    }
    template <typename F> F entry(const char* name) { return reinterpret_cast<F>(dlsym(handle_, name)); }
    void* handle_ = nullptr;
};

TEST_F(Library, ExportsTheFourEntryPoints)
{
    for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"})
        EXPECT_NE(dlsym(handle_, name), nullptr) << name;
}

TEST_F(Library, ClassObjectOnlyForCalc)
{
    auto getClassObject = entry<LPFNGETCLASSOBJECT>("DllGetClassObject");
    auto canUnload = entry<LPFNCANUNLOADNOW>("DllCanUnloadNow");
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID__Calc, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(getClassObject(CLSID_Calc, IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(getClassObject(CLSID_Calc, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(canUnload(), S_OK);
    ASSERT_EQ(getClassObject(CLSID_Calc, IID_IClassFactory, &object), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE) << "a class factory keeps the library";
    static_cast<IClassFactory*>(object)->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(Library, ToolboxBitmapIsA16By15SixteenColourPicture)
{
    const WfResource* bitmap = WfFindResource(handle_, WF_RT_BITMAP, WRENFIELD_TOOLBOX_BITMAP_ID);
    ASSERT_NE(bitmap, nullptr);
    const auto* bytes = static_cast<const std::uint8_t*>(bitmap->data);
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
    };
    EXPECT_EQ(u32(0), 40u);   // header size
    EXPECT_EQ(u32(4), 16u);   // width
    EXPECT_EQ(u32(8), 15u);   // height, rows bottom-up
    EXPECT_EQ(bytes[12], 1);  // planes
    EXPECT_EQ(bytes[14], 4);  // bits per pixel
    EXPECT_EQ(u32(16), 0u);   // uncompressed
    EXPECT_EQ(u32(32), 16u);  // colours
    ASSERT_EQ(bitmap->size, 40u + 64u + 8u * 15u);
    // Several colours are used: it is a picture, not a blank.
    std::set<int> colours;
    for (std::size_t i = 104; i < bitmap->size; ++i) {
        colours.insert(bytes[i] >> 4);
        colours.insert(bytes[i] & 0xF);
    }
    EXPECT_GE(colours.size(), 3u);

    // Written out as a file for a look at it.
    const std::uint32_t fileSize = 14 + static_cast<std::uint32_t>(bitmap->size);
    std::ofstream out(std::string(WRENFIELD_TEST_DIR) + "/toolbox.bmp", std::ios::binary);
    const std::uint8_t fileHeader[14] = {
        'B', 'M', std::uint8_t(fileSize), std::uint8_t(fileSize >> 8), 0, 0, 0, 0, 0, 0, 14 + 40 + 64, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(fileHeader), 14);
    out.write(static_cast<const char*>(bitmap->data), static_cast<std::streamsize>(bitmap->size));
}

TEST_F(Library, VersionRecordHoldsEveryValue)
{
    const WfResource* resource = WfFindResource(handle_, WF_RT_VERSION, 1);
    ASSERT_NE(resource, nullptr);
    const auto& v = *static_cast<const WfVersionRecord*>(resource->data);
    const WORD one[4] = {1, 0, 0, 0};
    EXPECT_EQ(std::memcmp(v.fileVersion, one, sizeof one), 0);
    EXPECT_EQ(std::memcmp(v.productVersion, one, sizeof one), 0);
    EXPECT_EQ(v.fileType, WF_VFT_DLL);
    EXPECT_STREQ(v.stringBlock, "040904B0");
    EXPECT_EQ(v.translationLanguage, 0x0409);
    EXPECT_EQ(v.translationCodePage, 1200);
    std::map<std::string, std::string> strings;
    for (UINT i = 0; i < v.stringCount; ++i)
        strings[v.strings[i].key] = v.strings[i].value;
    const std::map<std::string, std::string> expected = {
        {"FileVersion", "1.00"},
        {"ProductVersion", "1.00"},
        {"InternalName", "Wrenfield515UK"},
        {"ProductName", "Wrenfield515UK"},
        {"OriginalFilename", "Wrenfield515UK.ocx"},
        {"OLESelfRegister", ""},
    };
    EXPECT_EQ(strings, expected);
}

}  // namespace
