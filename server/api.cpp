#include "server/api.h"

#include <array>
#include <cctype>
#include <utility>

#include <nlohmann/json.hpp>

#include "engine/coefficient_set.h"
#include "form/population_lists.h"
#include "server/assets.h"
#include "server/centile_endpoint.h"
#include "server/openapi_document.h"
#include "server/query_string.h"
#include "reading/population_choice.h"

namespace wrenfield::server {

namespace {

using nlohmann::json;

Response jsonResponse(const json& doc)
{
    return {200, std::string(kJson), doc.dump(), {}, {}};
}

json populationsJson()
{
    json list = json::array();
    for (engine::Population population : form::populationListOrder()) {
        const engine::CoefficientSet& set = engine::coefficients(population);
        const form::EthnicList& ethnic = form::ethnicList(population);
        json groups = json::array();
        for (std::size_t i = 0; i < ethnic.entryCodes.size(); ++i)
            groups.push_back({{"code", ethnic.entryCodes[i]}, {"name", form::ethnicEntryName(ethnic, i)}});
        list.push_back({
            {"name", set.name},
            {"alias", reading::populationAlias(population)},
            {"coefficientLabel", reading::coefficientSetLabel(population)},
            {"groups", std::move(groups)},
            {"defaultGroup", form::ethnicDefaultName(ethnic)},
        });
    }
    return list;
}

json versionJson(bool chart)
{
    return {
        {"version", WRENFIELD_VERSION},
        {"coefficientSetVersion", engine::kCoefficientSetVersion},
        {"api", "v1"},
        {"chart", chart},
    };
}

// "application/json", "application/problem+json; charset=utf-8"...
bool isJsonMediaType(std::string_view type)
{
    std::string_view essence = type.substr(0, type.find(';'));
    while (!essence.empty() && (essence.back() == ' ' || essence.back() == '\t'))
        essence.remove_suffix(1);
    std::string lower;
    for (char c : essence)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "application/json" || (lower.starts_with("application/") && lower.ends_with("+json"));
}

enum class Route { Asset, Version, Populations, Centile, Chart, OpenApi, Unknown };

struct RouteInfo {
    Route route;
    std::string_view allow;
};

// The API's resources and the methods each answers. Every resource answers
// OPTIONS (a browser's preflight among them); GET comes with HEAD.
constexpr std::pair<std::string_view, RouteInfo> kRoutes[] = {
    {"/v1/centile", {Route::Centile, "POST, OPTIONS"}},
    {"/v1/chart.svg", {Route::Chart, "GET, HEAD, OPTIONS"}},
    {"/v1/version", {Route::Version, "GET, HEAD, OPTIONS"}},
    {"/v1/populations", {Route::Populations, "GET, HEAD, OPTIONS"}},
    {"/v1/openapi.json", {Route::OpenApi, "GET, HEAD, OPTIONS"}},
};

RouteInfo route(std::string_view path)
{
    for (const auto& [routePath, info] : kRoutes)
        if (routePath == path)
            return info;
    // The page; request paths begin with "/", which the OpenAPI document's
    // template's does not.
    if (path.starts_with('/') && assetAt(path))
        return {Route::Asset, "GET, HEAD, OPTIONS"};
    return {Route::Unknown, ""};
}

bool allows(std::string_view allow, std::string_view method)
{
    for (std::size_t start = 0; start < allow.size();) {
        std::size_t comma = allow.find(',', start);
        std::string_view one = allow.substr(start, comma - start);
        while (!one.empty() && one.front() == ' ')
            one.remove_prefix(1);
        if (one == method)
            return true;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return false;
}

}  // namespace

std::string_view allowedMethods(std::string_view path)
{
    return route(path).allow;
}

std::uint64_t bodyLimit(std::string_view method, std::string_view target, const ServiceLimits& limits)
{
    std::string_view path = target.substr(0, target.find('?'));
    if (method == "POST" && path == "/v1/centile")
        return limits.centileBodyBytes;
    return limits.bodyBytes;
}

Response respond(const Request& request, const ChartRenderer& chart)
{
    Response answer = respondInParts(request, chart);
    if (!answer.more.empty()) {
        answer.body.reserve(answer.bodySize());
        for (const std::string& part : answer.more)
            answer.body += part;
        answer.more.clear();
    }
    return answer;
}

Response respondInParts(const Request& request, const ChartRenderer& chart)
{
    auto target = splitTarget(request.target);
    if (!target)
        return problem(400, "malformed percent-encoding in the request target");
    if (auto name = repeatedParameter(*target))
        return problem(400, "the query gives the parameter \"" + *name + "\" more than once", *name);
    RouteInfo info = route(target->path);
    if (info.route == Route::Unknown)
        return problem(404, "no resource at this path; the API is under /v1 (see /v1/openapi.json)");
    if (request.method == "OPTIONS")
        return {204, {}, {}, std::string(info.allow), {}};
    if (!allows(info.allow, request.method)) {
        Response r = problem(405, "this resource answers " + std::string(info.allow));
        r.allow = std::string(info.allow);
        return r;
    }
    switch (info.route) {
    case Route::Asset: {
        const Asset* asset = assetAt(target->path);
        return {200, std::string(asset->contentType), std::string(asset->content), {}, {}};
    }
    case Route::Version:
        return jsonResponse(versionJson(static_cast<bool>(chart)));
    case Route::Populations:
        return jsonResponse(populationsJson());
    case Route::OpenApi:
        return {200, std::string(kJson), openApiDocument(), {}, {}};
    case Route::Centile:
        if (!isJsonMediaType(request.contentType))
            return problem(415, "send the births as application/json");
        return centileResponse(request.body, target->parameters);
    case Route::Chart:
        if (!chart)
            return problem(404, "this service was built without the chart painter: no charts (see /v1/version)");
        return chartResponse(target->parameters, chart);
    case Route::Unknown:
        break;
    }
    return problem(404, "no resource at this path");
}

}  // namespace wrenfield::server
