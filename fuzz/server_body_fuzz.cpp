// The body of POST /v1/centile, and the options of its query, from any bytes.
// The first byte picks the query; the rest is the body. Whatever arrives, the
// answer is 200, 400, 413 or 422 (never anything else: nothing a client sends
// may be a server error), its body is JSON, an error is a problem document
// with its own status, and an array of births is answered with an array of
// the same length whose every element is a result or an error. A short
// array's births, posted one at a time, get the very bytes (or, for an error,
// the very error, field and id) that each gets in the array.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_check.h"
#include "server/api.h"

namespace {

constexpr std::string_view kTargets[] = {
    "/v1/centile",
    "/v1/centile?population=nz",
    "/v1/centile?strict=true",
    "/v1/centile?sga=3&lga=97",
    "/v1/centile?population=Sweden&strict=false",
    "/v1/centile?sga=%41",
    "/v1/centile?lga=",
    "/v1/centile?population=",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string_view target = kTargets[data[0] % std::size(kTargets)];
    std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    wrenfield::server::Response r = wrenfield::server::respond({"POST", target, "application/json", body});

    FUZZ_CHECK(r.status == 200 || r.status == 400 || r.status == 413 || r.status == 422, "unexpected status");
    nlohmann::json answer = nlohmann::json::parse(r.body, nullptr, false);
    FUZZ_CHECK(!answer.is_discarded(), "the answer is not JSON");
    if (r.status != 200) {
        FUZZ_CHECK(r.contentType == "application/problem+json", "an error is not a problem document");
        FUZZ_CHECK(answer.is_object() && answer["status"] == r.status, "the problem's status differs");
        FUZZ_CHECK(answer["detail"].is_string(), "a problem without detail");
        return 0;
    }
    FUZZ_CHECK(r.contentType == "application/json", "a result that is not JSON");
    nlohmann::json request = nlohmann::json::parse(body, nullptr, false);
    FUZZ_CHECK(!request.is_discarded(), "malformed JSON answered 200");
    auto checkResult = [](const nlohmann::json& result) {
        if (result.contains("error")) {
            FUZZ_CHECK(result["error"].is_string(), "an error that is not a text");
            return;
        }
        FUZZ_CHECK(result["centile"].is_number() && std::isfinite(result["centile"].get<double>()),
                   "a result without a finite centile");
        FUZZ_CHECK(result["band"] == "SGA" || result["band"] == "AGA" || result["band"] == "LGA", "no band");
        FUZZ_CHECK(result["flags"].is_array(), "no flags");
    };
    if (request.is_array()) {
        FUZZ_CHECK(answer.is_array() && answer.size() == request.size(), "not one answer per birth");
        for (const auto& result : answer)
            checkResult(result);
        if (request.size() <= 8) {
            const auto inOrder = nlohmann::ordered_json::parse(r.body);
            for (std::size_t i = 0; i < request.size(); ++i) {
                const std::string one = request[i].dump();
                const auto alone = wrenfield::server::respond({"POST", target, "application/json", one});
                if (!request[i].is_object())
                    continue;  // a lone non-object is no birth at all: 422 for the document
                if (alone.status == 200) {
                    FUZZ_CHECK(alone.body == inOrder[i].dump(), "a birth alone differs from the same in an array");
                } else {
                    const auto problem = nlohmann::json::parse(alone.body);
                    FUZZ_CHECK(alone.status == 422 && inOrder[i].contains("error") &&
                                   problem.value("detail", std::string()) == inOrder[i].value("error", std::string()) &&
                                   problem.value("field", std::string()) == inOrder[i].value("field", std::string()) &&
                                   problem.value("id", nlohmann::json()) == inOrder[i].value("id", nlohmann::json()),
                               "a birth refused alone is not refused alike in an array");
                }
            }
        }
    } else {
        FUZZ_CHECK(answer.is_object() && !answer.contains("error"), "one birth answered with an error");
        checkResult(answer);
    }
    return 0;
}
