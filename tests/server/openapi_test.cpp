// The OpenAPI document against the code's own tables: the result's fields are
// the names every front end uses, and the birth's fields are exactly those the
// service reads. The document linted, and every kind of real answer checked
// against it, is openapi_contract_test.py.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "reading/fields.h"
#include "server/openapi_document.h"
#include "tests/support/http_service_fixture.h"

namespace {

using nlohmann::json;
namespace wt = wrenfield::testing;
namespace reading = wrenfield::reading;

std::vector<std::string> propertyNames(const json& schema)
{
    std::vector<std::string> names;
    for (const auto& [name, property] : schema["properties"].items())
        names.push_back(name);
    std::sort(names.begin(), names.end());  // the document's object keeps no order here
    return names;
}

class OpenApi : public ::testing::Test {
protected:
    void SetUp() override { document_ = json::parse(wt::get(service_.port(), "/v1/openapi.json").body); }

    wt::RunningService service_;
    json document_;
};

// The result's fields are the names written once for every front end, and
// the birth's id.
TEST_F(OpenApi, TheResultHasTheFieldsOfEveryFrontEnd)
{
    EXPECT_EQ(json::parse(wrenfield::server::openApiDocument()), document_);
    const json& schemas = document_["components"]["schemas"];
    std::vector<std::string> names(reading::kResultFieldNames.begin(), reading::kResultFieldNames.end() - 2);
    names.emplace_back(reading::kBirthIdName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(propertyNames(schemas["Result"]), names);
    std::vector<std::string> echoed(reading::kInputEchoNames.begin(), reading::kInputEchoNames.end());
    std::sort(echoed.begin(), echoed.end());
    EXPECT_EQ(propertyNames(schemas["Inputs"]), echoed);
    EXPECT_EQ(propertyNames(schemas["BirthError"]), (std::vector<std::string>{"error", "field", "id"}));
}

// The birth schema is strict (no other properties): a field the service
// refuses as unknown is one the document does not list, and the other way round.
TEST_F(OpenApi, BirthFieldsAreExactlyTheDocumentedOnes)
{
    const json& properties = document_["components"]["schemas"]["Birth"]["properties"];
    json birth = document_["paths"]["/v1/centile"]["post"]["requestBody"]["content"]["application/json"]["example"];
    for (const auto& [name, schema] : properties.items()) {
        json with = birth;
        if (!with.contains(name))
            with[name] = schema.contains("example") ? schema["example"] : json("an id");
        wt::HttpAnswer answer = wt::post(service_.port(), "/v1/centile", with.dump());
        EXPECT_EQ(answer.status, 200u) << name << ": " << answer.body;
    }
    json extra = birth;
    extra["weight"] = 1;
    EXPECT_EQ(wt::post(service_.port(), "/v1/centile", extra.dump()).status, 422u);
}

}  // namespace
