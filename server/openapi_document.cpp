#include "server/openapi_document.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "reading/band.h"
#include "reading/fields.h"
#include "reading/plausibility.h"
#include "server/api.h"
#include "server/assets.h"
#include "server/birth_id.h"
#include "server/cors.h"
#include "server/request_id.h"

namespace wrenfield::server {

namespace {

using Json = nlohmann::ordered_json;

// The answers any request may get, whatever its resource, as the HTTP layer
// and the router give them. A resource's own description of one of these
// statuses (the centile's 413, say) takes the place of this one.
struct CommonAnswer {
    const char* status;
    const char* name;  // under components/responses
    const char* description;
};
constexpr CommonAnswer kCommonAnswers[] = {
    {"400", "BadRequest",
     "Malformed HTTP (framing that RFC 9112 forbids, such as both Transfer-Encoding and Content-Length, or no "
     "Host: the connection is then closed), malformed percent-encoding in the target, a query parameter given "
     "twice (`field` names it), or an X-Request-Id that cannot be used."},
    {"405", "MethodNotAllowed", "A method this resource does not answer; Allow lists those it does."},
    {"413", "ContentTooLarge", "A body larger than this resource takes (64 KiB)."},
    {"431", "HeaderFieldsTooLarge", "The request line and header fields exceed 64 KiB; the connection is closed."},
    {"500", "InternalError", "A fault of the service, never of the request."},
    {"501", "NotImplemented", "A transfer coding other than chunked (such as gzip); the connection is closed."},
    {"503", "ServiceUnavailable",
     "Too many connections, or too many large bodies at once (from all clients or from this address); try "
     "again after Retry-After."},
};

Json refTo(std::string_view where)
{
    return {{"$ref", std::string(where)}};
}

Json problemContent()
{
    return {{"application/problem+json", {{"schema", refTo("#/components/schemas/Problem")}}}};
}

// "GET, HEAD, OPTIONS" -> get, head, options.
std::vector<std::string> methodsOf(std::string_view allow)
{
    std::vector<std::string> methods;
    for (std::size_t start = 0; start < allow.size();) {
        std::size_t comma = allow.find(',', start);
        std::string_view one =
            allow.substr(start, comma == std::string_view::npos ? allow.size() - start : comma - start);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        std::string lower;
        for (char c : one)
            lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        methods.push_back(lower);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return methods;
}

// The header fields every answer carries, added to a response written in full.
void addHeaders(const std::string& status, Json& response)
{
    Json& headers = response["headers"];
    headers[std::string(kRequestIdHeader)] = refTo("#/components/headers/RequestId");
    headers["Access-Control-Allow-Origin"] = refTo("#/components/headers/AllowOrigin");
    headers["Access-Control-Expose-Headers"] = refTo("#/components/headers/ExposeHeaders");
    headers["Vary"] = refTo("#/components/headers/Vary");
    if (status == "405")
        headers["Allow"] = refTo("#/components/headers/Allow");
    if (status == "503")
        headers["Retry-After"] = refTo("#/components/headers/RetryAfter");
}

void addComponents(Json& components)
{
    Json& schemas = components["schemas"];
    Json bands = Json::array();
    for (reading::Band band : reading::kBands) {
        const Json code = std::string(reading::bandCode(band));
        if (std::find(bands.begin(), bands.end(), code) == bands.end())
            bands.push_back(code);
    }
    schemas["Band"]["enum"] = bands;
    Json flags = Json::array();
    for (std::string_view code : reading::flagCodes())
        flags.push_back(std::string(code));
    schemas["FlagCode"]["enum"] = flags;
    schemas["BirthId"]["oneOf"] = Json::array({
        {{"type", "string"}, {"maxLength", kMaxBirthIdLength}},
        {{"type", "integer"}, {"minimum", -kMaxBirthIdNumber}, {"maximum", kMaxBirthIdNumber}},
    });

    components["parameters"]["RequestId"] = {
        {"name", std::string(kRequestIdHeader)},
        {"in", "header"},
        {"required", false},
        {"description",
         "The caller's name for this request, echoed in the answer's X-Request-Id and written to "
         "the access log. Without one, the service makes one."},
        {"schema",
         {{"type", "string"}, {"maxLength", kMaxRequestIdLength}, {"pattern", std::string(kRequestIdPattern)}}},
    };
    auto header = [](const char* description, Json schema = {{"type", "string"}}) {
        return Json{{"description", description}, {"schema", std::move(schema)}};
    };
    Json& headers = components["headers"];
    headers["RequestId"] = header("The request's X-Request-Id, or the one the service made for it.",
                                  {{"type", "string"}, {"maxLength", kMaxRequestIdLength}});
    headers["Allow"] = header("The methods this resource answers.");
    headers["RetryAfter"] = header("Seconds to wait before trying again.", {{"type", "integer"}, {"minimum", 0}});
    headers["AllowOrigin"] =
        header("The request's Origin, when it is one the service was started to allow (custcent serve "
               "--cors-origin), or * when every origin is; absent otherwise.");
    headers["ExposeHeaders"] = header("The header fields a page of an allowed origin may read.");
    headers["AllowMethods"] = header("To an allowed origin's preflight: the methods this resource answers.");
    headers["AllowHeaders"] = header("To an allowed origin's preflight: the header fields a page may send.");
    headers["MaxAge"] = header("To an allowed origin's preflight: seconds a browser may keep the preflight's answer.",
                               {{"type", "integer"}, {"minimum", 0}});
    headers["Vary"] = header("Origin, when the service was started with origins to allow: answers differ by Origin.");

    Json& responses = components["responses"];
    for (const CommonAnswer& answer : kCommonAnswers) {
        responses[answer.name] = {{"description", answer.description}, {"content", problemContent()}};
        addHeaders(answer.status, responses[answer.name]);
    }
}

// The same operation without bodies: a HEAD answers what GET would, header
// fields only.
Json headOf(const Json& get)
{
    Json head = get;
    head["operationId"] = get.at("operationId").get<std::string>() + "Head";
    head["summary"] =
        "The header fields that " + get.at("operationId").get<std::string>() + " answers, without its body";
    head.erase("description");
    for (auto& [status, response] : head["responses"].items())
        response.erase("content");
    return head;
}

Json optionsOf(const std::string& operationStem, std::string_view allow)
{
    Json preflight = {
        {"summary", "The methods this resource answers; a browser's CORS preflight"},
        {"description",
         "Answered 204 with Allow (" + std::string(allow) +
             "). To a preflight (Origin and Access-Control-Request-Method) from an origin the service "
             "allows, also Access-Control-Allow-Origin, -Methods, -Headers (" +
             std::string(kCorsAllowHeaders) + ") and -Max-Age (" + std::to_string(kCorsMaxAge) +
             "); from any other origin, no CORS header fields, and the browser refuses the call."},
        {"operationId", operationStem + "Options"},
        {"parameters",
         Json::array({
             {{"name", "Origin"},
              {"in", "header"},
              {"required", false},
              {"schema", {{"type", "string"}}},
              {"description", "The calling page's origin, as the browser sends it."}},
             {{"name", "Access-Control-Request-Method"},
              {"in", "header"},
              {"required", false},
              {"schema", {{"type", "string"}}},
              {"description", "The method of the call a preflight asks about."}},
             {{"name", "Access-Control-Request-Headers"},
              {"in", "header"},
              {"required", false},
              {"schema", {{"type", "string"}}},
              {"description", "The header fields of the call a preflight asks about."}},
         })},
        {"responses",
         {{"204",
           {{"description",
             "The resource's methods in Allow, and to an allowed origin's preflight the CORS header fields."},
            {"headers",
             {{"Allow", refTo("#/components/headers/Allow")},
              {"Access-Control-Allow-Methods", refTo("#/components/headers/AllowMethods")},
              {"Access-Control-Allow-Headers", refTo("#/components/headers/AllowHeaders")},
              {"Access-Control-Max-Age", refTo("#/components/headers/MaxAge")}}}}}}},
    };
    return preflight;
}

// Every operation: the request id parameter, the common answers it lacks,
// and the header fields of each answer.
void completeOperation(const std::string& method, Json& operation)
{
    operation["parameters"].push_back(refTo("#/components/parameters/RequestId"));
    Json& responses = operation["responses"];
    for (const CommonAnswer& answer : kCommonAnswers) {
        if (method == "options" && std::string_view(answer.status) == "405")
            continue;  // every resource answers OPTIONS
        if (responses.contains(answer.status))
            continue;
        if (method == "head") {
            // The same answer, its header fields only.
            responses[answer.status] = {{"description", answer.description}};
            addHeaders(answer.status, responses[answer.status]);
        } else {
            responses[answer.status] = refTo(std::string("#/components/responses/") + answer.name);
        }
    }
    for (auto& [status, response] : responses.items())
        if (!response.contains("$ref"))
            addHeaders(status, response);
}

std::string build()
{
    const Asset* written = assetAt("openapi.json");
    if (!written)
        throw std::logic_error("the OpenAPI document's template is not built in");
    Json doc = Json::parse(written->content);
    doc["security"] = Json::array();
    addComponents(doc["components"]);

    for (auto& [path, item] : doc["paths"].items()) {
        const std::string_view allow = allowedMethods(path);
        if (allow.empty())
            throw std::logic_error("the OpenAPI document describes " + path + ", which the service does not serve");
        const std::vector<std::string> methods = methodsOf(allow);
        for (const auto& [method, operation] : item.items())
            if (std::find(methods.begin(), methods.end(), method) == methods.end())
                throw std::logic_error("the OpenAPI document has " + method + " " + path + ", which is not served");
        Json complete = Json::object();
        std::string stem;
        for (const std::string& method : methods) {
            if (method == "head") {
                complete["head"] = headOf(item.at("get"));
            } else if (method == "options") {
                complete["options"] = optionsOf(stem, allow);
            } else {
                if (!item.contains(method))
                    throw std::logic_error("the OpenAPI document lacks " + method + " " + path);
                complete[method] = item[method];
                if (stem.empty())
                    stem = item[method].at("operationId").get<std::string>();
            }
        }
        for (auto& [method, operation] : complete.items())
            completeOperation(method, operation);
        item = std::move(complete);
    }
    return doc.dump(2);
}

}  // namespace

const std::string& openApiDocument()
{
    static const std::string document = build();
    return document;
}

}  // namespace wrenfield::server
