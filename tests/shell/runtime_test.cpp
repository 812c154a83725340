// The component runtime: memory layouts a C host relies on, texts,
// variant conversions, identifiers in text, and the registry file under
// concurrent updates.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/runtime/wf_com.h"
#include "shell/runtime/wf_registry.h"
#include "platform/utf16_text.h"
#include "tests/support/variants.h"

namespace {

// ---- Layouts: the same bytes where the platform puts them.
static_assert(sizeof(GUID) == 16);
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16));
static_assert(offsetof(VARIANT, vt) == 0);
static_assert(offsetof(VARIANT, dblVal) == 8);
static_assert(offsetof(VARIANT, bstrVal) == 8);
static_assert(sizeof(DECIMAL) == 16);
static_assert(sizeof(DISPPARAMS) == 2 * sizeof(void*) + 8);
static_assert(offsetof(DISPPARAMS, cArgs) == 2 * sizeof(void*));
static_assert(offsetof(EXCEPINFO, bstrSource) == sizeof(void*));
static_assert(offsetof(EXCEPINFO, scode) == (sizeof(void*) == 8 ? 56 : 32));
static_assert(sizeof(OLECHAR) == 2);

TEST(Bstr, LengthPrefixedAndZeroTerminated)
{
    const OLECHAR text[] = {u'a', 0, u'b'};  // an embedded zero is part of the text
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    std::uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 6u);
    EXPECT_EQ(s[1], 0);
    EXPECT_EQ(s[3], 0);
    SysFreeString(s);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    EXPECT_TRUE(SysReAllocString(&empty, u"longer"));
    EXPECT_EQ(SysStringLen(empty), 6u);
    SysFreeString(empty);
    SysFreeString(nullptr);
}

struct ChangeCase {
    const char* what;
    VARIANT (*make)();
    VARTYPE to;
    HRESULT hr;
    double number;  // the result as a number (I2/R8)
};

using wrenfield::testing::number;
using wrenfield::testing::text;

TEST(Variant, ChangeTypeRoundsHalfToEvenAndReportsFailures)
{
    const ChangeCase cases[] = {
        {"2.5 to I2", [] { return number(2.5); }, VT_I2, S_OK, 2},
        {"3.5 to I2", [] { return number(3.5); }, VT_I2, S_OK, 4},
        {"-2.5 to I2", [] { return number(-2.5); }, VT_I2, S_OK, -2},
        {"32767.4 to I2", [] { return number(32767.4); }, VT_I2, S_OK, 32767},
        {"32767.5 to I2", [] { return number(32767.5); }, VT_I2, DISP_E_OVERFLOW, 0},
        {"1e10 to I4", [] { return number(1e10); }, VT_I4, DISP_E_OVERFLOW, 0},
        {"text 12.5 to R8", [] { return text(u" 12.5 "); }, VT_R8, S_OK, 12.5},
        {"text abc to R8", [] { return text(u"abc"); }, VT_R8, DISP_E_TYPEMISMATCH, 0},
        {"empty text to R8", [] { return text(u""); }, VT_R8, DISP_E_TYPEMISMATCH, 0},
        {"empty to R8",
         [] {
             VARIANT v;
             VariantInit(&v);
             return v;
         },
         VT_R8, S_OK, 0},
        {"null to I2",
         [] {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_NULL;
             return v;
         },
         VT_I2, DISP_E_TYPEMISMATCH, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VARIANT source = c.make();
        VARIANT out;
        VariantInit(&out);
        EXPECT_EQ(VariantChangeType(&out, &source, 0, c.to), c.hr);
        if (c.hr == S_OK) {
            EXPECT_EQ(V_VT(&out), c.to);
            EXPECT_EQ(c.to == VT_I2 ? V_I2(&out) : c.to == VT_I4 ? V_I4(&out) : V_R8(&out), c.number);
        } else {
            EXPECT_EQ(V_VT(&out), VT_EMPTY) << "a failed conversion leaves the destination alone";
        }
        VariantClear(&source);
        VariantClear(&out);
    }
}

TEST(Variant, NumberToTextAndCopies)
{
    VARIANT source = number(0.1);
    VARIANT out;
    VariantInit(&out);
    ASSERT_EQ(VariantChangeType(&out, &source, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(V_BSTR(&out), SysStringLen(V_BSTR(&out))), u"0.1");
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &out), S_OK);
    EXPECT_NE(V_BSTR(&copy), V_BSTR(&out)) << "a copy owns its own text";
    VariantClear(&out);
    EXPECT_EQ(std::u16string(V_BSTR(&copy), SysStringLen(V_BSTR(&copy))), u"0.1");
    VariantClear(&copy);

    double d = 7;
    VARIANT ref;
    VariantInit(&ref);
    V_VT(&ref) = VT_BYREF | VT_R8;
    V_R8REF(&ref) = &d;
    ASSERT_EQ(VariantCopyInd(&copy, &ref), S_OK);
    EXPECT_EQ(V_VT(&copy), VT_R8);
    EXPECT_EQ(V_R8(&copy), 7);
}

TEST(Guid, TextRoundTripAndMalformedTexts)
{
    const GUID g = {0x187A1494, 0xA7E4, 0x46E6, {0xB1, 0xC8, 0x18, 0x85, 0x65, 0x9A, 0xB4, 0x46}};
    OLECHAR buffer[39];
    ASSERT_EQ(StringFromGUID2(g, buffer, 39), 39);
    EXPECT_EQ(std::u16string(buffer), u"{187A1494-A7E4-46E6-B1C8-1885659AB446}");
    EXPECT_EQ(StringFromGUID2(g, buffer, 38), 0);
    CLSID back{};
    ASSERT_EQ(CLSIDFromString(u"{187a1494-a7e4-46e6-b1c8-1885659ab446}", &back), S_OK);
    EXPECT_TRUE(IsEqualGUID(back, g));
    for (const char16_t* bad : {u"", u"187A1494-A7E4-46E6-B1C8-1885659AB446", u"{187A1494-A7E4-46E6-B1C8-1885659AB44G}",
                                u"{187A1494-A7E4-46E6-B1C8-1885659AB446}x", u"{187A1494A7E4-46E6-B1C8-1885659AB4460}"})
        EXPECT_EQ(CLSIDFromString(bad, &back), CO_E_CLASSSTRING)
            << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
}

// ---- The registry file

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::path(WRENFIELD_TEST_DIR) /
            ("registry-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir_);
        path_ = (dir_ / "nested" / "registry").string();
        setenv("WRENFIELD_REGISTRY", path_.c_str(), 1);
    }
    void TearDown() override { unsetenv("WRENFIELD_REGISTRY"); }

    std::string query(const char* key, const char* name = nullptr)
    {
        char buffer[256];
        const HRESULT hr = WfRegistryQueryString(key, name, buffer, sizeof buffer);
        return hr == S_OK ? std::string(buffer) : "<" + std::to_string(static_cast<unsigned>(hr)) + ">";
    }

    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(Registry, KeysAndNamesIgnoreCaseAndTextsSurviveTheFile)
{
    WfRegistryUpdate* u = nullptr;
    ASSERT_EQ(WfRegistryBeginUpdate(&u), S_OK);
    const char* awkward = "a \"quoted\" C:\\path\nsecond line";
    ASSERT_EQ(WfRegistrySetString(u, "CLSID\\{X}\\InprocServer32", nullptr, awkward), S_OK);
    ASSERT_EQ(WfRegistrySetString(u, "CLSID\\{X}\\InprocServer32", "ThreadingModel", "Apartment"), S_OK);
    ASSERT_EQ(WfRegistrySetDword(u, "CLSID\\{X}", "Flags", 0x20191), S_OK);
    EXPECT_EQ(WfRegistrySetString(u, "\\bad", nullptr, "x"), E_INVALIDARG);
    EXPECT_EQ(WfRegistrySetString(u, "bad\\\\key", nullptr, "x"), E_INVALIDARG);
    ASSERT_EQ(WfRegistryCommit(u), S_OK);

    EXPECT_EQ(query("clsid\\{x}\\inprocserver32"), awkward);
    EXPECT_EQ(query("CLSID\\{X}\\InprocServer32", "threadingmodel"), "Apartment");
    EXPECT_EQ(query("CLSID\\{X}", "Flags"), "131473");
    EXPECT_EQ(WfRegistryKeyExists("CLSID"), S_OK) << "parents are created";
    EXPECT_EQ(query("CLSID\\{Y}"), "<" + std::to_string(static_cast<unsigned>(REGDB_E_KEYMISSING)) + ">");
    char tiny[4];
    EXPECT_EQ(WfRegistryQueryString("CLSID\\{X}\\InprocServer32", "ThreadingModel", tiny, sizeof tiny), E_INVALIDARG);
}

TEST_F(Registry, DeleteTreeTakesSubkeysButNotNeighbours)
{
    WfRegistryUpdate* u = nullptr;
    ASSERT_EQ(WfRegistryBeginUpdate(&u), S_OK);
    WfRegistrySetString(u, "CLSID\\{A}\\InprocServer32", nullptr, "a");
    WfRegistrySetString(u, "CLSID\\{A}x", nullptr, "neighbour");
    WfRegistrySetString(u, "CLSID\\{B}", nullptr, "b");
    EXPECT_EQ(WfRegistryDeleteTree(u, "clsid\\{a}"), S_OK);
    EXPECT_EQ(WfRegistryDeleteTree(u, "CLSID\\{A}"), S_FALSE);
    EXPECT_EQ(WfRegistryDeleteKeyIfEmpty(u, "CLSID"), S_FALSE);
    ASSERT_EQ(WfRegistryCommit(u), S_OK);
    EXPECT_EQ(WfRegistryKeyExists("CLSID\\{A}\\InprocServer32"), S_FALSE);
    EXPECT_EQ(WfRegistryKeyExists("CLSID\\{A}"), S_FALSE);
    EXPECT_EQ(query("CLSID\\{A}x"), "neighbour");
    EXPECT_EQ(query("CLSID\\{B}"), "b");
}

// A key with subkeys is never removed as empty, whatever keys share its
// path's beginning: a space or a digit sorts before the backslash, so such a
// neighbour lies between the key and its subkeys in the registry's order.
TEST_F(Registry, DeleteKeyIfEmptyNeverOrphansSubkeys)
{
    struct Case {
        const char* key;
        const char* subkey;
        std::vector<const char*> neighbours;
    };
    const Case cases[] = {
        {"A", "A\\B", {}},
        {"A", "A\\B", {"A B"}},
        {"A", "A\\B", {"A0"}},
        {"A", "A\\B\\C", {"A B", "A0", "A_", "AB"}},
        {"TypeLib", "TypeLib\\{L}\\1.0", {"TypeLib 2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " with " + std::to_string(c.neighbours.size()) + " neighbours");
        std::filesystem::remove_all(dir_);
        WfRegistryUpdate* u = nullptr;
        ASSERT_EQ(WfRegistryBeginUpdate(&u), S_OK);
        ASSERT_EQ(WfRegistrySetString(u, c.subkey, nullptr, "below"), S_OK);
        for (const char* neighbour : c.neighbours)
            ASSERT_EQ(WfRegistrySetString(u, neighbour, nullptr, "beside"), S_OK);
        EXPECT_EQ(WfRegistryDeleteKeyIfEmpty(u, c.key), S_FALSE);
        // "A\\B" is no key path at all.
        EXPECT_EQ(WfRegistryDeleteKeyIfEmpty(u, (std::string(c.key) + "\\\\B").c_str()), E_INVALIDARG);
        ASSERT_EQ(WfRegistryCommit(u), S_OK);
        EXPECT_EQ(query(c.subkey), "below");

        ASSERT_EQ(WfRegistryBeginUpdate(&u), S_OK);
        EXPECT_EQ(WfRegistryDeleteTree(u, c.subkey), S_OK);
        // What the deleted subkey leaves between the key and it is empty too.
        for (std::string parent = c.subkey; parent.rfind('\\') != std::string::npos;) {
            parent.resize(parent.rfind('\\'));
            EXPECT_EQ(WfRegistryDeleteKeyIfEmpty(u, parent.c_str()), S_OK) << parent;
        }
        ASSERT_EQ(WfRegistryCommit(u), S_OK);
        EXPECT_EQ(WfRegistryKeyExists(c.key), S_FALSE);
        for (const char* neighbour : c.neighbours)
            EXPECT_EQ(query(neighbour), "beside") << neighbour;
    }
}

TEST_F(Registry, DamagedFileIsReportedAndLeftAlone)
{
    std::filesystem::create_directories(dir_ / "nested");
    std::ofstream(path_) << "WRENFIELD-REGISTRY 1\n[CLSID\n";
    WfRegistryUpdate* u = nullptr;
    EXPECT_EQ(WfRegistryBeginUpdate(&u), REGDB_E_READREGDB);
    EXPECT_EQ(u, nullptr);
    EXPECT_EQ(WfRegistryKeyExists("CLSID"), REGDB_E_READREGDB);
    std::ifstream in(path_);
    std::string first, second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(second, "[CLSID");
}

// A damaged file is refused whole, the line at fault named: never half
// read, never two readings of one key merged without a word.
TEST_F(Registry, DamagedFilesAreRefusedWithTheLineAtFault)
{
    const struct Case {
        const char* name;
        std::string text;
        const char* why;
    } cases[] = {
        {"a NUL byte", std::string("WRENFIELD-REGISTRY 1\n[A]\n@=\"x\0y\"\n", 33), "line 3: a NUL byte"},
        {"an escaped NUL", "WRENFIELD-REGISTRY 1\n[A]\n@=\"x\\x00y\"\n", "line 3: a value that is not"},
        {"one key in two cases", "WRENFIELD-REGISTRY 1\n[CLSID\\{A}]\n@=\"a\"\n[clsid\\{a}]\n@=\"b\"\n",
         "line 4: the key [clsid\\{a}] is the key of line 2 again"},
        {"one value name in two cases", "WRENFIELD-REGISTRY 1\n[A]\n\"Name\"=\"a\"\n\"NAME\"=\"b\"\n",
         "line 4: the value \"NAME\" of [A] is given again (first on line 3"},
        {"an unclosed key", "WRENFIELD-REGISTRY 1\n[A\n", "line 2: a key without its closing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::create_directories(dir_ / "nested");
        std::ofstream(path_, std::ios::binary) << c.text;
        WfRegistryUpdate* u = nullptr;
        EXPECT_EQ(WfRegistryBeginUpdate(&u), REGDB_E_READREGDB);
        EXPECT_NE(std::string(WfRegistryLastError()).find(c.why), std::string::npos) << WfRegistryLastError();
        EXPECT_EQ(WfRegistryDumpText(), nullptr);
        std::ifstream in(path_, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.text) << "left as it was";
    }
}

// Control characters in a text are written escaped, one entry a line, and
// read back as they were.
TEST_F(Registry, ControlCharactersAreWrittenEscapedAndReadBack)
{
    const char* text = "tab\there, return\r, bell\x07, delete\x7F, line\nbreak";
    WfRegistryUpdate* u = nullptr;
    ASSERT_EQ(WfRegistryBeginUpdate(&u), S_OK);
    ASSERT_EQ(WfRegistrySetString(u, "Key", "Name\twith tab", text), S_OK);
    EXPECT_EQ(WfRegistrySetString(u, "Key\x01", nullptr, "x"), E_INVALIDARG);
    ASSERT_EQ(WfRegistryCommit(u), S_OK);
    EXPECT_EQ(query("Key", "name\twith tab"), text);
    char* dump = WfRegistryDumpText();
    ASSERT_NE(dump, nullptr);
    const std::string listed(dump);
    WfRegistryFreeText(dump);
    EXPECT_NE(listed.find("\"Name\\x09with tab\"=\"tab\\x09here, return\\x0D, bell\\x07, delete\\x7F, line\\nbreak\""),
              std::string::npos)
        << listed;
}

TEST_F(Registry, AbandonedUpdateWritesNothing)
{
    WfRegistryUpdate* u = nullptr;
    ASSERT_EQ(WfRegistryBeginUpdate(&u), S_OK);
    WfRegistrySetString(u, "Key", nullptr, "value");
    WfRegistryAbandon(u);
    EXPECT_EQ(WfRegistryKeyExists("Key"), S_FALSE);
}

// Several processes updating at once, each adding keys of its own: every key
// of every process is there afterwards (no update lost), the file parses,
// and no temporary file is left beside it.
TEST_F(Registry, ConcurrentProcessesLoseNoUpdate)
{
    constexpr int kProcesses = 4;
    constexpr int kUpdatesEach = 20;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            for (int i = 0; i < kUpdatesEach && status == 0; ++i) {
                WfRegistryUpdate* u = nullptr;
                const std::string key = "Process" + std::to_string(p) + "\\Update" + std::to_string(i);
                if (WfRegistryBeginUpdate(&u) != S_OK || WfRegistrySetString(u, key.c_str(), nullptr, "done") != S_OK ||
                    WfRegistryCommit(u) != S_OK)
                    status = 1;
            }
            _exit(status);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p)
        for (int i = 0; i < kUpdatesEach; ++i) {
            const std::string key = "Process" + std::to_string(p) + "\\Update" + std::to_string(i);
            EXPECT_EQ(query(key.c_str()), "done") << key;
        }
    for (const auto& entry : std::filesystem::directory_iterator(dir_ / "nested")) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "registry" || name == "registry.lock") << "left behind: " << name;
    }
}

}  // namespace

namespace {

TEST(Utf16Text, ConversionsKeepEveryCharacterAndMarkBrokenOnes)
{
    struct Row {
        std::u16string utf16;
        std::string utf8;
    };
    const Row both[] = {
        {u"", ""},
        {u"3400", "3400"},
        {u"Far East Asian", "Far East Asian"},
        {u"\u00e9\u20ac", "\xc3\xa9\xe2\x82\xac"},
        {u"\U0001F476", "\xf0\x9f\x91\xb6"},  // a surrogate pair
    };
    for (const Row& row : both) {
        EXPECT_EQ(wrenfield::utf8FromUtf16(row.utf16), row.utf8);
        EXPECT_EQ(wrenfield::utf16FromUtf8(row.utf8), row.utf16);
    }
    // A lone surrogate, and UTF-8 that is cut short, overlong or a stray
    // continuation byte: each becomes U+FFFD, nothing is dropped.
    EXPECT_EQ(wrenfield::utf8FromUtf16(std::u16string(u"3") + char16_t(0xD800) + u"4"),
              "3\xef\xbf\xbd"
              "4");
    EXPECT_EQ(wrenfield::utf16FromUtf8("3\xe2\x82"), u"3\uFFFD\uFFFD");
    EXPECT_EQ(wrenfield::utf16FromUtf8("\xc0\xb3"), u"\uFFFD\uFFFD");
    EXPECT_EQ(wrenfield::utf16FromUtf8("\x80"
                                       "1"),
              u"\uFFFD"
              "1");
}

}  // namespace
