// The reader of request bodies: what it hands over for each birth, and why
// it refuses a body, for the bodies a client may send and those that only
// look like JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "server/json_body.h"

namespace wrenfield::server {
namespace {

struct Read {
    BodyReading reading;
    std::vector<std::size_t> indexes;
    std::vector<GivenBirth> births;  // their texts are copied into `texts`
    std::vector<std::string> texts;
};

Read read(const std::string& body, std::size_t maxBirths = 10)
{
    Read out;
    out.reading = readJsonBody(body, maxBirths, [&out](std::size_t index, const GivenBirth& birth) {
        out.indexes.push_back(index);
        out.births.push_back(birth);
        for (const GivenValue& value : birth.values)
            if (value.kind == GivenValue::Kind::Text)
                out.texts.emplace_back(value.text);
    });
    return out;
}

std::size_t field(std::string_view name)
{
    for (std::size_t i = 0; i < kBirthFieldNames.size(); ++i)
        if (kBirthFieldNames[i] == name)
            return i;
    return kBirthFieldNames.size();
}

TEST(JsonBody, WhyABodyIsRefused)
{
    using Status = BodyReading::Status;
    const struct {
        const char* name;
        std::string body;
        Status status;
    } cases[] = {
        {"one birth", R"({"bwt": 3400, "gest": "39+4"})", Status::Read},
        {"an array", R"([{"bwt": 1}, 7, "x", null, [1], {}])", Status::Read},
        {"blanks around", " \n[ {} ]\t ", Status::Read},
        {"cut short", R"({"bwt": )", Status::Malformed},
        {"something after the document", R"({"bwt": 1} x)", Status::Malformed},
        {"two documents", R"({} {})", Status::Malformed},
        {"a trailing comma", R"([{},])", Status::Malformed},
        {"a member where an array holds values", R"([{}, "bwt": -2}, 7])", Status::Malformed},
        {"two texts in a row", R"({"gest": "39+4" "40+0"})", Status::Malformed},
        {"a control character in a text", "{\"gest\": \"39\x01\"}", Status::Malformed},
        {"bytes that are not UTF-8", "{\"gest\": \"\xff\"}", Status::Malformed},
        {"a number beyond a double", R"({"bwt": 1e999})", Status::Malformed},
        {"a literal cut short", R"({"strict": tru})", Status::Malformed},
        {"nested too deep", R"([{"bwt": [[1]]}])", Status::TooDeep},
        {"a key twice", R"({"bwt": 1, "bwt": 2})", Status::RepeatedKey},
        {"a key twice in an unknown field's object", R"({"note": {"a": 1, "a": 2}})", Status::RepeatedKey},
        {"an escaped key twice", R"({"bwt": 1, "b\u0077t": 2})", Status::RepeatedKey},
        {"more births than allowed", "[{},{},{},{},{},{},{},{},{},{},{}]", Status::TooMany},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read(c.body, 10).reading.status, c.status);
    }
}

TEST(JsonBody, WhatEachBirthGives)
{
    const Read r = read(R"([{"bwt": 3400, "gest": "39\u002b4", "sex": "Male", "strict": true, "par": null,
                           "wt": -0, "ht": -0.0, "eth": [1], "zeta": 1, "alpha": {}}, 7, "x"])");
    ASSERT_EQ(r.reading.status, BodyReading::Status::Read);
    EXPECT_EQ(r.reading.shape, BodyReading::Shape::Array);
    ASSERT_EQ(r.indexes, (std::vector<std::size_t>{0, 1, 2}));
    const GivenBirth& birth = r.births[0];
    EXPECT_EQ(birth.values[field("bwt")].kind, GivenValue::Kind::Number);
    EXPECT_EQ(birth.values[field("bwt")].number, 3400);
    EXPECT_EQ(r.texts[0], "39+4");  // unescaped
    EXPECT_EQ(r.texts[1], "Male");
    EXPECT_TRUE(birth.values[field("strict")].boolean);
    EXPECT_EQ(birth.values[field("par")].kind, GivenValue::Kind::Null);
    EXPECT_EQ(birth.values[field("population")].kind, GivenValue::Kind::Absent);
    // A whole number has no negative zero; a decimal one keeps it.
    EXPECT_FALSE(std::signbit(birth.values[field("wt")].number));
    EXPECT_TRUE(std::signbit(birth.values[field("ht")].number));
    EXPECT_EQ(birth.values[field("eth")].kind, GivenValue::Kind::Other);
    EXPECT_EQ(birth.values[field("eth")].type, "array");
    // Of two unknown names, the first in the order of names.
    EXPECT_EQ(birth.unknownField, "alpha");
    EXPECT_EQ(r.births[1].notAnObject, "number");
    EXPECT_EQ(r.births[2].notAnObject, "string");

    const Read one = read(R"({"bwt": 1})");
    EXPECT_EQ(one.reading.shape, BodyReading::Shape::OneBirth);
    EXPECT_EQ(one.indexes, std::vector<std::size_t>{0});
    EXPECT_EQ(read("42").reading.shape, BodyReading::Shape::Neither);
}

// Each name of a birth is found as itself and only as itself: names that
// share a known name's length and first and last letters, differ in case,
// or run longer or shorter are unknown fields.
TEST(JsonBody, TheFieldNamesAndTheirNearMisses)
{
    for (const std::string_view name : kBirthFieldNames) {
        const Read r = read("{\"" + std::string(name) + "\": 1}");
        ASSERT_EQ(r.births.size(), 1u);
        EXPECT_FALSE(r.births[0].unknownField) << name;
        EXPECT_EQ(r.births[0].values[field(name)].kind, GivenValue::Kind::Number) << name;
    }
    for (const char* name :
         {"sea",        "lea",    "bxt",        "sax",         "ebh",    "pxr",        "wx",      "hx",  "gxst",
          "exxct",      "sxxxxt", "pxxxxxxxxn", "bwtxxxt",     "wtUnix", "Bwt",        "bwT",     "BWT", "bwtunit",
          "Population", "bw",     "bwtt",       "populations", "",       "\\u0062wt2", "b\\u0077"}) {
        const Read r = read(std::string("{\"") + name + "\": 1}");
        ASSERT_EQ(r.births.size(), 1u) << name;
        EXPECT_TRUE(r.births[0].unknownField) << name;
        for (const GivenValue& value : r.births[0].values)
            EXPECT_EQ(value.kind, GivenValue::Kind::Absent) << name;
    }
    // A known name written with escapes is the name.
    const Read escaped = read(R"({"b\u0077t": 3400})");
    EXPECT_FALSE(escaped.births[0].unknownField);
    EXPECT_EQ(escaped.births[0].values[field("bwt")].number, 3400);
}

}  // namespace
}  // namespace wrenfield::server
