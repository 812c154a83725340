// The OpenAPI document against the real answers: every operation it lists is
// called (with the document's own example), and every answer, errors
// included, is checked against the schema the document gives for its status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdio>

#include "reading/fields.h"
#include "tests/support/http_service_fixture.h"

namespace {

using nlohmann::json;
namespace wt = wrenfield::testing;
namespace http = boost::beast::http;

// The part of JSON Schema the document uses: $ref, type, enum, required,
// properties, additionalProperties: false, items, maxItems, oneOf, nullable.
class SchemaChecker {
public:
    explicit SchemaChecker(const json& document) : document_(document) {}

    // Empty when `value` fits `schema`, else what does not.
    std::string check(const json& schema, const json& value, const std::string& where = "$") const
    {
        if (schema.contains("$ref")) {
            std::string ref = schema["$ref"];
            return check(document_.at(json::json_pointer(ref.substr(1))), value, where);
        }
        if (value.is_null() && schema.value("nullable", false))
            return "";
        if (schema.contains("oneOf")) {
            int fits = 0;
            std::string why;
            for (const json& option : schema["oneOf"]) {
                std::string problem = check(option, value, where);
                fits += problem.empty();
                why += problem.empty() ? "" : " [" + problem + "]";
            }
            return fits == 1 ? "" : where + ": fits " + std::to_string(fits) + " of oneOf" + why;
        }
        if (schema.contains("type") && !hasType(value, schema["type"]))
            return where + ": not " + schema["type"].get<std::string>() + ": " + value.dump().substr(0, 80);
        if (schema.contains("enum") && std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end())
            return where + ": not one of " + schema["enum"].dump();
        if (value.is_object()) {
            for (const json& name : schema.value("required", json::array()))
                if (!value.contains(name.get<std::string>()))
                    return where + ": lacks " + name.get<std::string>();
            const json properties = schema.value("properties", json::object());
            for (const auto& [name, item] : value.items()) {
                if (properties.contains(name)) {
                    if (auto problem = check(properties[name], item, where + "." + name); !problem.empty())
                        return problem;
                } else if (schema.value("additionalProperties", true) == false) {
                    return where + ": undocumented " + name;
                }
            }
        }
        if (value.is_array()) {
            if (schema.contains("maxItems") && value.size() > schema["maxItems"].get<std::size_t>())
                return where + ": too many items";
            if (schema.contains("items"))
                for (std::size_t i = 0; i < value.size(); ++i)
                    if (auto problem = check(schema["items"], value[i], where + "[" + std::to_string(i) + "]");
                        !problem.empty())
                        return problem;
        }
        return "";
    }

private:
    static bool hasType(const json& value, const std::string& type)
    {
        if (type == "object") return value.is_object();
        if (type == "array") return value.is_array();
        if (type == "string") return value.is_string();
        if (type == "number") return value.is_number();
        if (type == "integer") return value.is_number_integer();
        if (type == "boolean") return value.is_boolean();
        return false;
    }

    const json& document_;
};

std::string percentEncoded(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

class OpenApi : public ::testing::Test {
protected:
    void SetUp() override { document_ = json::parse(wt::get(service_.port(), "/v1/openapi.json").body); }

    // Checks a real answer against what the document says of its status.
    void expectDocumented(const std::string& path, const std::string& method, const wt::HttpAnswer& answer)
    {
        SCOPED_TRACE(method + " " + path + " -> " + std::to_string(answer.status));
        const json& responses = document_["paths"][path][method]["responses"];
        std::string status = std::to_string(answer.status);
        ASSERT_TRUE(responses.contains(status)) << "undocumented status; body " << answer.body;
        const json& content = responses[status]["content"];
        ASSERT_TRUE(content.contains(answer.contentType)) << "undocumented media type " << answer.contentType;
        if (answer.contentType == "image/svg+xml")
            return;
        std::string problem = SchemaChecker(document_).check(content[answer.contentType]["schema"], json::parse(answer.body));
        EXPECT_EQ(problem, "");
    }

    // A stand-in for the Qt chart painter (tested through `custcent serve`):
    // the document's promises for /v1/chart.svg are about the API.
    wt::RunningService service_{{}, 2, [](const auto&, int, int) { return std::string("<svg/>"); }};
    json document_;
};

TEST_F(OpenApi, EveryOperationAnswersAsDocumented)
{
    EXPECT_EQ(document_["openapi"].get<std::string>().substr(0, 2), "3.");
    int operations = 0;
    for (const auto& [path, item] : document_["paths"].items()) {
        for (const auto& [method, operation] : item.items()) {
            ++operations;
            wt::HttpAnswer answer;
            if (method == "post") {
                std::string example = operation["requestBody"]["content"]["application/json"]["example"].dump();
                answer = wt::post(service_.port(), path, example);
            } else {
                std::string query;
                for (const json& parameter : operation.value("parameters", json::array()))
                    if (parameter.contains("example"))
                        query += (query.empty() ? "?" : "&") + parameter["name"].get<std::string>() + "=" +
                                 percentEncoded(parameter["example"].get<std::string>());
                answer = wt::get(service_.port(), path + query);
            }
            EXPECT_EQ(answer.status, 200u) << path;
            expectDocumented(path, method, answer);
        }
    }
    EXPECT_GE(operations, 4);
}

TEST_F(OpenApi, ErrorsAndArraysAnswerAsDocumented)
{
    const std::string birth = document_["paths"]["/v1/centile"]["post"]["requestBody"]["content"]["application/json"]["example"].dump();
    std::string tooMany = "[";
    for (int i = 0; i <= 10000; ++i)
        tooMany += (i ? "," : "") + birth;
    tooMany += "]";
    struct Case {
        http::verb method;
        std::string target;
        std::string body;
        std::string contentType;
        unsigned status;
    } cases[] = {
        {http::verb::post, "/v1/centile", "[" + birth + R"(, {"bwt": 0}, )" + birth + "]", "application/json", 200},
        {http::verb::post, "/v1/centile", "{", "application/json", 400},
        {http::verb::get, "/v1/centile", "", "", 405},
        {http::verb::post, "/v1/centile", tooMany, "application/json", 413},
        {http::verb::post, "/v1/centile", birth, "text/plain", 415},
        {http::verb::post, "/v1/centile?strict=true", R"({"bwt": 3400, "gest": 40, "wt": 64, "ht": 163, "sex": 1, "eth": 1, "par": 0})", "application/json", 422},
    };
    for (const Case& c : cases) {
        wt::HttpAnswer answer = wt::HttpClient(service_.port()).request(c.method, c.target, c.body, c.contentType);
        EXPECT_EQ(answer.status, c.status) << c.target;
        expectDocumented("/v1/centile", "post", answer);
    }
}

// The result's fields are the names written once for every front end, in
// their order.
TEST_F(OpenApi, TheResultHasTheFieldsOfEveryFrontEnd)
{
    std::vector<std::string> documented;
    for (const auto& [name, schema] : document_["components"]["schemas"]["Result"]["properties"].items())
        documented.push_back(name);
    std::vector<std::string> names;
    for (wrenfield::reading::ResultField field : wrenfield::reading::kRecordFields)
        names.emplace_back(wrenfield::reading::fieldName(field));
    std::sort(names.begin(), names.end());  // the document's object keeps no order here
    EXPECT_EQ(documented, names);
    std::vector<std::string> inputs;
    for (const auto& [name, schema] : document_["components"]["schemas"]["Inputs"]["properties"].items())
        inputs.push_back(name);
    std::vector<std::string> echoed(wrenfield::reading::kInputEchoNames.begin(),
                                    wrenfield::reading::kInputEchoNames.end());
    std::sort(echoed.begin(), echoed.end());
    EXPECT_EQ(inputs, echoed);
    std::vector<std::string> errors;
    for (const auto& [name, schema] : document_["components"]["schemas"]["BirthError"]["properties"].items())
        errors.push_back(name);
    EXPECT_EQ(errors, (std::vector<std::string>{"error", "field"}));
}

// The birth schema is strict (no other properties): a field the service
// refuses as unknown is one the document does not list, and the other way round.
TEST_F(OpenApi, BirthFieldsAreExactlyTheDocumentedOnes)
{
    const json& properties = document_["components"]["schemas"]["Birth"]["properties"];
    json birth = json::parse(document_["paths"]["/v1/centile"]["post"]["requestBody"]["content"]["application/json"]["example"].dump());
    for (const auto& [name, schema] : properties.items()) {
        json with = birth;
        if (!with.contains(name))
            with[name] = schema["example"];
        wt::HttpAnswer answer = wt::post(service_.port(), "/v1/centile", with.dump());
        EXPECT_EQ(answer.status, 200u) << name << ": " << answer.body;
    }
    json extra = birth;
    extra["weight"] = 1;
    EXPECT_EQ(wt::post(service_.port(), "/v1/centile", extra.dump()).status, 422u);
}

}  // namespace
