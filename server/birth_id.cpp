#include "server/birth_id.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/numeric_text.h"
#include "reading/fields.h"

namespace wrenfield::server {

namespace {

std::string rule()
{
    return "must be a text of at most " + std::to_string(kMaxBirthIdLength) + " characters or a whole number from -" +
        std::to_string(kMaxBirthIdNumber) + " to " + std::to_string(kMaxBirthIdNumber);
}

std::string idError(const std::string& what)
{
    return std::string(reading::kBirthIdName) + ": " + rule() + ", not " + what;
}

}  // namespace

BirthId birthIdFromText(std::string_view text)
{
    std::size_t characters = 0;
    for (char c : text)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // not a continuation byte
    if (characters > kMaxBirthIdLength)
        return {{}, idError("a text of " + std::to_string(characters) + " characters")};
    return {nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), {}};
}

BirthId birthIdFromNumber(double value)
{
    const auto limit = static_cast<double>(kMaxBirthIdNumber);
    if (!(std::fabs(value) <= limit) || value != std::floor(value))
        return {{}, idError(shortestText(value))};
    return {std::to_string(static_cast<std::int64_t>(value)), {}};
}

BirthId birthIdOfType(std::string_view typeName)
{
    return {{}, idError(std::string(typeName))};
}

void insertId(std::string& out, std::size_t recordStart, std::string_view idJson)
{
    if (idJson.empty() || recordStart >= out.size() || out[recordStart] != '{')
        return;
    std::string member = "{\"" + std::string(reading::kBirthIdName) + "\":" + std::string(idJson) + ",";
    out.replace(recordStart, 1, member);
}

}  // namespace wrenfield::server
