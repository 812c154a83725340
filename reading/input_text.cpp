#include "reading/input_text.h"

#include <cmath>
#include <cstdint>

#include "engine/checked_arithmetic.h"
#include "platform/numeric_text.h"

namespace wrenfield::reading {

std::string measurementText(double number)
{
    if (!std::isfinite(number) || std::fabs(number) >= 1e15)
        return shortestText(number);
    double rounded = std::round(number * 100) / 100;
    std::string text = shortestText(rounded);
    return text == "-0" ? "0" : text;
}

std::string gestationText(double days)
{
    std::string text = shortestText(days) + " days";
    if (days >= 0 && days < 1e6 && days == std::floor(days)) {
        long whole = static_cast<long>(days);
        text += " (" + std::to_string(whole / 7) + "+" + std::to_string(whole % 7) + ")";
    }
    return text;
}

std::string sexText(double code)
{
    if (code == 1)
        return "Male (1)";
    if (code == 0 || code == 2)
        return "Female (" + shortestText(code) + ")";
    return shortestText(code) + " (female term)";
}

std::string ethnicGroupText(const engine::CoefficientSet& set, double code)
{
    if (code == std::floor(code) && std::fabs(code) < 32768)
        if (const engine::EthnicGroup* group = engine::ethnicGroupByCode(set, static_cast<std::int16_t>(code)))
            return std::string(group->name) + " (" + std::to_string(group->code) + ")";
    return shortestText(code) + " (no group of " + std::string(set.name) + ")";
}

std::string parityText(double code)
{
    if (code == 4)
        return "4 or more";
    if (code > 4 && code == std::floor(code))
        return "4 or more (" + shortestText(code) + ")";
    return shortestText(code);
}

double roundedCentile(double centile)
{
    return engine::checked::roundHalfUp(centile);
}

std::string roundedCentileText(double centile)
{
    return wholeNumberText(roundedCentile(centile));
}

}  // namespace wrenfield::reading
