// The JSON API over the loopback: every resource and every error status.
// (What each birth gets is every front end's: the parity test holds it.)
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/coefficient_set.h"
#include "server/api.h"
#include "tests/support/http_service_fixture.h"

namespace {

using nlohmann::json;
using namespace wrenfield;
namespace wt = wrenfield::testing;
namespace http = boost::beast::http;
using wrenfield::testing::HttpAnswer;
using wrenfield::testing::HttpClient;

class Api : public ::testing::Test {
protected:
    static void SetUpTestSuite() { service_ = new wt::RunningService(); }
    static void TearDownTestSuite()
    {
        delete service_;
        service_ = nullptr;
    }
    static std::uint16_t port() { return service_->port(); }

    static wt::RunningService* service_;
};

wt::RunningService* Api::service_ = nullptr;

const std::string kBirth =
    R"({"bwt": 3400, "gest": "39+4", "wt": 64, "ht": 163, "sex": "Male", "eth": "European", "par": 0})";

json problemOf(const HttpAnswer& answer)
{
    EXPECT_EQ(answer.contentType, "application/problem+json");
    json doc = json::parse(answer.body);
    EXPECT_EQ(doc["status"], answer.status);
    EXPECT_TRUE(doc["title"].is_string());
    EXPECT_TRUE(doc["detail"].is_string());
    return doc;
}

TEST_F(Api, OneBirthHasEveryField)
{
    HttpAnswer answer = wt::post(port(), "/v1/centile", kBirth);
    ASSERT_EQ(answer.status, 200u) << answer.body;
    EXPECT_EQ(answer.contentType, "application/json");
    json r = json::parse(answer.body);
    EXPECT_EQ(r["population"], "United Kingdom");
    // The values of `custcent calc --bwt 3400 --gest 39+4 --wt 64 --ht 163 --sex Male --eth European --par 0 --json`.
    EXPECT_EQ(r["centile"].get<double>(), 45.92794567550015);
    EXPECT_EQ(r["rounded"], 46);
    EXPECT_EQ(r["z"].get<double>(), -0.10214699497841151);
    EXPECT_EQ(r["expectedWeight"].get<double>(), 3438.388460636293);
    EXPECT_EQ(r["weeks"].get<double>(), 39.57142857142857);
    EXPECT_EQ(r["termWeight"].get<double>(), 3504.5);
    EXPECT_EQ(r["proportion"].get<double>(), 0.9811352434402321);
    EXPECT_EQ(r["spread"].get<double>(), 375.8158587475468);
    EXPECT_EQ(r["inputs"]["gest"], "277 days (39+4)");
    EXPECT_EQ(r["inputs"]["sexName"], "Male (1)");
    EXPECT_EQ(r["coefficientSetVersion"], "5.15_UK");
    EXPECT_EQ(r["band"], "AGA");
    EXPECT_EQ(r["bandLabel"], "AGA");
    EXPECT_TRUE(r["bandWords"].get<std::string>().starts_with("appropriate for gestational age"));
    EXPECT_EQ(r["flags"], json::array());
}

// Bands with the default and the given thresholds; flags in words, and as
// errors under `strict`.
TEST_F(Api, BandsThresholdsFlagsAndStrict)
{
    struct Case {
        std::string target;
        std::string birth;
        unsigned status;
        const char* band;      // or the field of the error
        const char* flagCode;  // the first flag, if any
    } cases[] = {
        {"/v1/centile", R"({"bwt": 2500, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 200, "SGA",
         nullptr},
        {"/v1/centile", R"({"bwt": 4600, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 200, "LGA",
         nullptr},
        {"/v1/centile?sga=50", kBirth, 200, "SGA", nullptr},
        // The finer labels move with the thresholds, as with custcent calc --sga 2.
        {"/v1/centile?sga=2&lga=98", R"({"bwt": 2600, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
         200, "SGA", nullptr},
        {"/v1/centile?lga=40&sga=5", kBirth, 200, "LGA", nullptr},
        {"/v1/centile?sga=95", kBirth, 422, "sga", nullptr},
        {"/v1/centile", R"({"bwt": 3400, "gest": 40, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 200, "SGA",
         "gest_low"},
        {"/v1/centile?strict=true", R"({"bwt": 3400, "gest": 40, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
         422, "gest", nullptr},
        {"/v1/centile?strict=false",
         R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 1.63, "sex": 1, "eth": 1, "par": 0})", 200, "LGA", "ht_low"},
        {"/v1/centile?strict=yes", kBirth, 422, "strict", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target + " " + c.birth);
        HttpAnswer answer = wt::post(port(), c.target, c.birth);
        ASSERT_EQ(answer.status, c.status) << answer.body;
        json r = json::parse(answer.body);
        if (c.status != 200) {
            EXPECT_EQ(r["field"], c.band);
            continue;
        }
        EXPECT_EQ(r["band"], c.band);
        if (c.flagCode) {
            ASSERT_FALSE(r["flags"].empty());
            EXPECT_EQ(r["flags"][0]["code"], c.flagCode);
            EXPECT_FALSE(r["flags"][0]["text"].get<std::string>().empty());
        } else {
            EXPECT_TRUE(r["flags"].empty());
        }
    }
}

TEST_F(Api, VocabularyFormsGiveTheSameCentile)
{
    const std::string base = wt::post(port(), "/v1/centile", kBirth).body;
    double expected = json::parse(base)["centile"];
    for (
        const char* birth : {
            R"({"bwt": "3400", "gest": 277, "wt": "64", "ht": 163.0, "sex": 1, "eth": 1, "par": "0"})",
            R"({"bwt": 3400, "gest": "277", "wt": 64, "ht": 163, "sex": "male", "eth": "european", "par": 0, "population": "uk"})",
            R"({"bwt": "3400g", "gest": "39+4", "wt": "64kg", "ht": "163cm", "sex": "M", "eth": "1", "par": 0, "population": "UNITED KINGDOM"})",
            R"({"bwt": "3400 g", "gest": "39+4", "wt": 64, "ht": 163, "sex": "m", "eth": 1, "par": 0, "htUnit": "cm"})",
        }) {
        HttpAnswer answer = wt::post(port(), "/v1/centile", birth);
        ASSERT_EQ(answer.status, 200u) << birth << "\n" << answer.body;
        EXPECT_EQ(json::parse(answer.body)["centile"].get<double>(), expected) << birth;
    }
    // A unit for the bare numbers, or written with the number.
    double kg = json::parse(wt::post(port(), "/v1/centile?bwtUnit=kg",
                                     R"({"bwt": 3.5, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})")
                                .body)["centile"];
    double grams =
        json::parse(wt::post(port(), "/v1/centile",
                             R"({"bwt": "3.5kg", "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})")
                        .body)["centile"];
    double plain =
        json::parse(wt::post(port(), "/v1/centile",
                             R"({"bwt": 3500, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})")
                        .body)["centile"];
    EXPECT_EQ(kg, plain);
    EXPECT_EQ(grams, plain);
    HttpAnswer nz = wt::post(port(), "/v1/centile?population=New%20Zealand", kBirth);
    EXPECT_EQ(json::parse(nz.body)["population"], "New Zealand");
}

struct ErrorCase {
    const char* name;
    http::verb method;
    std::string target;
    std::string contentType;
    std::string body;
    unsigned status;
    const char* field;  // the field a 422 names, if any
};

TEST_F(Api, ErrorsAreProblemDocuments)
{
    std::string tooMany = "[";
    for (int i = 0; i <= 10000; ++i)
        tooMany += (i ? "," : "") + kBirth;
    tooMany += "]";
    const ErrorCase cases[] = {
        {"malformed JSON", http::verb::post, "/v1/centile", "application/json", "{\"bwt\": ", 400, nullptr},
        {"number beyond a double", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 1e999, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 400, nullptr},
        {"nested too deep", http::verb::post, "/v1/centile", "application/json",
         std::string(100000, '[') + std::string(100000, ']'), 400, nullptr},
        {"bad percent-encoding", http::verb::get, "/v1/version?x=%G1", "", "", 400, nullptr},
        {"a parameter given twice", http::verb::post, "/v1/centile?population=uk&strict=true&p%6Fpulation=se",
         "application/json", kBirth, 400, "population"},
        {"a key given twice", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0, "bwt": 1000})", 400, "bwt"},
        {"a key given twice in one birth of many", http::verb::post, "/v1/centile", "application/json",
         "[" + kBirth +
             R"(, {"bwt": 3400, "gest": 280, "gest": "39+4", "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0}])",
         400, "gest"},
        {"a member where an array holds values", http::verb::post, "/v1/centile", "application/json",
         "[" + kBirth + R"(, "bwt": -2}, 7])", 400, nullptr},
        {"two texts in a row in a birth", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": "39+4" "40+0", "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 400, nullptr},
        {"unknown path", http::verb::get, "/v2/centile", "", "", 404, nullptr},
        {"wrong method", http::verb::get, "/v1/centile", "", "", 405, nullptr},
        {"not JSON", http::verb::post, "/v1/centile", "text/csv", "bwt\n3400\n", 415, nullptr},
        {"no media type", http::verb::post, "/v1/centile", "", kBirth, 415, nullptr},
        {"too many births", http::verb::post, "/v1/centile", "application/json", tooMany, 413, nullptr},
        {"neither birth nor array", http::verb::post, "/v1/centile", "application/json", "42", 422, nullptr},
        {"missing field", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1})", 422, "par"},
        {"a missing marker", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": "NA", "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 422, "gest"},
        {"a unit of another quantity", http::verb::post, "/v1/centile?bwtUnit=cm", "application/json", kBirth, 422,
         "bwtUnit"},
        {"negative weight", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": -3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 422, "bwt"},
        {"days beyond 6", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": "39+7", "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 422, "gest"},
        {"group of another population", http::verb::post, "/v1/centile?population=se", "application/json", kBirth, 422,
         "eth"},
        {"a boolean reading", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": true, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 422, "bwt"},
        {"unknown field", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0, "weight": 1})", 422,
         "weight"},
        {"an id that is neither a text nor a number", http::verb::post, "/v1/centile", "application/json",
         R"({"id": [1], "bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 422, "id"},
        {"an id beyond 2^53", http::verb::post, "/v1/centile", "application/json",
         R"({"id": 9007199254740993, "bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
         422, "id"},
        {"unknown option", http::verb::post, "/v1/centile?populaton=uk", "application/json", kBirth, 422, "populaton"},
        {"unknown population", http::verb::post, "/v1/centile?population=Narnia", "application/json", kBirth, 422,
         "population"},
        {"overflow", http::verb::post, "/v1/centile", "application/json",
         R"({"bwt": 3400, "gest": 280, "wt": 1e300, "ht": 163, "sex": 1, "eth": 1, "par": 0})", 422, nullptr},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        HttpAnswer answer = HttpClient(port()).request(c.method, c.target, c.body, c.contentType);
        EXPECT_EQ(answer.status, c.status) << answer.body;
        json doc = problemOf(answer);
        if (c.field) {
            EXPECT_EQ(doc["field"], c.field);
        } else {
            EXPECT_FALSE(doc.contains("field"));
        }
        if (c.status == 405) {
            EXPECT_EQ(answer.allow, "POST, OPTIONS");
        }
    }
}

TEST_F(Api, ABadBirthInAnArrayGetsItsErrorInItsPlace)
{
    std::string body = "[" + kBirth + R"(, {"bwt": "heavy"}, 7, )" + kBirth + "]";
    HttpAnswer answer = wt::post(port(), "/v1/centile", body);
    ASSERT_EQ(answer.status, 200u) << answer.body;
    json results = json::parse(answer.body);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0], results[3]);
    EXPECT_EQ(results[1]["field"], "gest");
    EXPECT_EQ(results[1]["error"], "missing: gest, wt, ht, sex, eth, par; bwt: not a number: \"heavy\"");
    EXPECT_TRUE(results[2].contains("error"));
    EXPECT_FALSE(results[2].contains("field"));
}

// A long answer goes to the connection in parts, never joined: the client
// must read, byte for byte, the body the service gives whole, framed by its
// length, and the connection must serve the next request after it.
TEST_F(Api, ALongAnswerWrittenInPartsIsTheWholeBody)
{
    HttpClient client(port());
    for (const int count : {0, 1, 999, 2500}) {
        SCOPED_TRACE(count);
        std::string body = "[";
        for (int i = 0; i < count; ++i) {
            char birth[200];
            std::snprintf(
                birth, sizeof birth,
                R"(%s{"id": %d, "population": "%s", "bwt": %d, "gest": %d, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})",
                i ? "," : "", i, i % 3 ? "nz" : "uk", 1500 + i % 3000, 200 + i % 100);
            body += birth;
        }
        body += "]";
        const server::Response whole = server::respond({"POST", "/v1/centile", "application/json", body});
        ASSERT_EQ(whole.status, 200u);
        ASSERT_TRUE(whole.more.empty());
        const server::Response inParts = server::respondInParts({"POST", "/v1/centile", "application/json", body});
        EXPECT_EQ(inParts.bodySize(), whole.body.size());
        const HttpAnswer answer = client.request(http::verb::post, "/v1/centile", body);
        ASSERT_EQ(answer.status, 200u);
        EXPECT_TRUE(answer.keepAlive);
        EXPECT_EQ(answer.body, whole.body);
    }
}

TEST_F(Api, PopulationsListEveryGroupOfEverySet)
{
    json populations = json::parse(wt::get(port(), "/v1/populations").body);
    ASSERT_EQ(populations.size(), engine::kPopulationCount);
    for (const engine::CoefficientSet& set : engine::allCoefficientSets()) {
        auto it =
            std::find_if(populations.begin(), populations.end(), [&](const json& p) { return p["name"] == set.name; });
        ASSERT_NE(it, populations.end()) << set.name;
        ASSERT_EQ((*it)["groups"].size(), set.ethnicGroups.size()) << set.name;
        for (const engine::EthnicGroup& group : set.ethnicGroups) {
            auto g = std::find_if((*it)["groups"].begin(), (*it)["groups"].end(),
                                  [&](const json& entry) { return entry["code"] == group.code; });
            ASSERT_NE(g, (*it)["groups"].end());
            EXPECT_EQ((*g)["name"], group.name);
        }
        // The alias is accepted where a population is asked for.
        HttpAnswer answer =
            wt::post(port(), "/v1/centile?population=" + (*it)["alias"].get<std::string>(),
                     R"({"bwt": 3400, "gest": 280, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})");
        EXPECT_EQ(json::parse(answer.body)["population"], set.name);
    }
}

TEST_F(Api, HeadAnswersTheHeadersOfGet)
{
    HttpClient client(port());
    HttpAnswer head = client.request(http::verb::head, "/v1/version");
    EXPECT_EQ(head.status, 200u);
    EXPECT_TRUE(head.body.empty());
    // The connection is still usable: the body was not sent.
    EXPECT_EQ(client.request(http::verb::get, "/v1/version").status, 200u);
}

TEST_F(Api, ThePageAndItsAssetsAreServed)
{
    for (const char* path : {"/", "/app.js", "/style.css", "/v1/openapi.json"}) {
        HttpAnswer answer = wt::get(port(), path);
        EXPECT_EQ(answer.status, 200u) << path;
        EXPECT_FALSE(answer.body.empty()) << path;
    }
    EXPECT_EQ(wt::get(port(), "/").contentType, "text/html; charset=utf-8");
}

}  // namespace
