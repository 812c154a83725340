// The rules behind the HTTP contract, case by case: which origins may call
// the service from a browser and what each is told, which request ids and
// birth ids are taken, and where a birth's id goes in its record. The whole
// contract, over the network and against the OpenAPI document, is
// openapi_contract_test.py.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "server/birth_id.h"
#include "server/cors.h"
#include "server/request_id.h"

namespace {

using namespace wrenfield::server;

TEST(Cors, OnlyOriginsAsBrowsersSendThemCanBeAllowed)
{
    for (const char* origin : {"https://ward.example.org", "http://localhost:3000", "http://[::1]:8080",
                               "https://WARD.example.org", "app+x://host"})
        EXPECT_EQ(originProblem(origin), "") << origin;
    for (const char* origin :
         {"", "ward.example.org", "https://", "https://ward.example.org/", "https://ward.example.org/page",
          "https://user@ward.example.org", "https://ward.example.org?x", "https://ward example.org", "://x"})
        EXPECT_NE(originProblem(origin), "") << origin;
    EXPECT_THROW(CorsPolicy({"https://ward.example.org/"}), std::invalid_argument);
}

TEST(Cors, HeaderFieldsForEachKindOfRequest)
{
    using Fields = CorsPolicy::HeaderFields;
    const Fields preflight = {{"Vary", "Origin"},
                              {"Access-Control-Allow-Origin", "https://ward.example.org"},
                              {"Access-Control-Allow-Methods", "POST, OPTIONS"},
                              {"Access-Control-Allow-Headers", "Content-Type, X-Request-Id"},
                              {"Access-Control-Max-Age", "600"}};
    const Fields answer = {{"Vary", "Origin"},
                           {"Access-Control-Allow-Origin", "https://ward.example.org"},
                           {"Access-Control-Expose-Headers", "X-Request-Id, Retry-After, Allow"}};
    struct Case {
        const char* name;
        std::vector<std::string> allowed;
        const char* origin;
        const char* method;
        const char* preflightMethod;
        unsigned status;
        Fields expected;
    } cases[] = {
        {"off by default", {}, "https://ward.example.org", "OPTIONS", "POST", 204, {}},
        {"a preflight from an allowed origin",
         {"https://ward.example.org"},
         "https://ward.example.org",
         "OPTIONS",
         "POST",
         204,
         preflight},
        {"a plain OPTIONS is an answer, not a preflight",
         {"https://ward.example.org"},
         "https://ward.example.org",
         "OPTIONS",
         "",
         204,
         answer},
        {"an answer to an allowed origin",
         {"https://ward.example.org"},
         "https://ward.example.org",
         "POST",
         "",
         200,
         answer},
        {"an error to an allowed origin",
         {"https://ward.example.org"},
         "https://ward.example.org",
         "POST",
         "",
         422,
         answer},
        {"another origin",
         {"https://ward.example.org"},
         "https://evil.example.org",
         "OPTIONS",
         "POST",
         204,
         {{"Vary", "Origin"}}},
        {"an allowed origin's name inside another",
         {"https://ward.example.org"},
         "https://ward.example.org.evil.io",
         "POST",
         "",
         200,
         {{"Vary", "Origin"}}},
        {"no Origin", {"https://ward.example.org"}, "", "POST", "", 200, {{"Vary", "Origin"}}},
        {"every origin",
         {"*"},
         "https://any.example",
         "POST",
         "",
         200,
         {{"Vary", "Origin"},
          {"Access-Control-Allow-Origin", "*"},
          {"Access-Control-Expose-Headers", "X-Request-Id, Retry-After, Allow"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CorsPolicy(c.allowed).headersFor(c.origin, c.method, c.preflightMethod, c.status, "POST, OPTIONS"),
                  c.expected);
    }
}

TEST(RequestId, BoundedVisibleAscii)
{
    EXPECT_EQ(requestIdProblem("req-1"), "");
    EXPECT_EQ(requestIdProblem(std::string(kMaxRequestIdLength, '~')), "");
    for (const std::string& id :
         {std::string(), std::string(kMaxRequestIdLength + 1, 'a'), std::string("a b"), std::string("a\tb"),
          std::string("a\x7f"), std::string("caf\xc3\xa9"), std::string("a\r\nX-Forged: 1")})
        EXPECT_NE(requestIdProblem(id), "") << id;
    const std::string made = newRequestId();
    EXPECT_EQ(requestIdProblem(made), "");
    EXPECT_NE(newRequestId(), made);
}

TEST(BirthId, TextsAndWholeNumbersThatEveryReaderReadsExactly)
{
    struct Case {
        const char* name;
        BirthId id;
        std::string json;  // empty: refused
    } cases[] = {
        {"a text", birthIdFromText("ward-7/17"), "\"ward-7/17\""},
        {"a text to escape", birthIdFromText("a\"b\n"), "\"a\\\"b\\n\""},
        {"128 characters of two bytes", birthIdFromText([] {
             std::string s;
             for (int i = 0; i < 128; ++i)
                 s += "\xc3\xa9";
             return s;
         }()),
         "\"" +
             [] {
                 std::string s;
                 for (int i = 0; i < 128; ++i)
                     s += "\xc3\xa9";
                 return s;
             }() +
             "\""},
        {"129 characters", birthIdFromText(std::string(129, 'x')), ""},
        {"a whole number", birthIdFromNumber(17), "17"},
        {"a whole number written with a fraction", birthIdFromNumber(1e3), "1000"},
        {"negative zero", birthIdFromNumber(-0.0), "0"},
        {"the largest exact number", birthIdFromNumber(9007199254740991.0), "9007199254740991"},
        {"the smallest", birthIdFromNumber(-9007199254740991.0), "-9007199254740991"},
        {"beyond", birthIdFromNumber(9007199254740992.0), ""},
        {"a fraction", birthIdFromNumber(1.5), ""},
        {"a boolean", birthIdOfType("boolean"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.id.json, c.json);
        if (c.json.empty()) {
            EXPECT_EQ(c.id.error.rfind("id: must be a text of at most 128 characters or a whole number", 0), 0u)
                << c.id.error;
        }
    }
}

TEST(BirthId, GoesFirstInItsOwnRecord)
{
    std::string out = R"([{"error":"x"},)";
    const std::size_t at = out.size();
    out += R"({"error":"missing: bwt","field":"bwt"})";
    insertId(out, at, "17");
    EXPECT_EQ(out, R"([{"error":"x"},{"id":17,"error":"missing: bwt","field":"bwt"})");
    std::string none = R"({"error":"x"})";
    insertId(none, 0, "");
    EXPECT_EQ(none, R"({"error":"x"})");
}

}  // namespace
