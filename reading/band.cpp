#include "reading/band.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <charconv>
#include <utility>

#include "engine/checked_arithmetic.h"
#include "platform/numeric_text.h"
#include "reading/plain_rules.h"

namespace wrenfield::reading {

std::optional<std::string> thresholdProblem(const BandThresholds& t)
{
    for (double value : {t.verySmall, t.sga, t.lga, t.veryLarge})
        if (!std::isfinite(value) || value < 0 || value > 100)
            return "a band threshold must be a centile from 0 to 100, not " + shortestText(value);
    if (!(t.verySmall <= t.sga && t.sga <= t.lga && t.lga <= t.veryLarge))
        return "band thresholds out of order: need " + shortestText(t.verySmall) +
            " (below) <= " + shortestText(t.sga) + " (SGA) <= " + shortestText(t.lga) +
            " (LGA) <= " + shortestText(t.veryLarge) + " (above)";
    return std::nullopt;
}

Band bandOf(double centile, const BandThresholds& t)
{
    if (centile < t.sga)
        return centile < t.verySmall ? Band::VerySmall : Band::Small;
    if (centile > t.lga)
        return centile > t.veryLarge ? Band::VeryLarge : Band::Large;
    return Band::Appropriate;
}

std::string_view bandCode(Band band)
{
    switch (band) {
    case Band::VerySmall:
    case Band::Small:
        return "SGA";
    case Band::Appropriate:
        return "AGA";
    case Band::Large:
    case Band::VeryLarge:
        return "LGA";
    }
    return "AGA";
}

std::string ordinalText(double value)
{
    std::string text = shortestText(value);
    double whole = std::floor(value);
    if (whole != value)
        return text + "th";
    long n = static_cast<long>(whole);
    long lastTwo = n % 100;
    if (lastTwo >= 11 && lastTwo <= 13)
        return text + "th";
    switch (n % 10) {
    case 1:
        return text + "st";
    case 2:
        return text + "nd";
    case 3:
        return text + "rd";
    default:
        return text + "th";
    }
}

std::string bandLabel(Band band, const BandThresholds& t)
{
    switch (band) {
    case Band::VerySmall:
        return "SGA <" + ordinalText(t.verySmall);
    case Band::VeryLarge:
        return "LGA >" + ordinalText(t.veryLarge);
    default:
        return std::string(bandCode(band));
    }
}

std::string bandWords(Band band, const BandThresholds& t)
{
    switch (band) {
    case Band::VerySmall:
        return "small for gestational age (SGA), below the " + ordinalText(t.verySmall) + " centile";
    case Band::Small:
        return "small for gestational age (SGA, below the " + ordinalText(t.sga) + " centile)";
    case Band::Appropriate:
        return "appropriate for gestational age (AGA, from the " + ordinalText(t.sga) + " to the " +
            ordinalText(t.lga) + " centile)";
    case Band::Large:
        return "large for gestational age (LGA, above the " + ordinalText(t.lga) + " centile)";
    case Band::VeryLarge:
        return "large for gestational age (LGA), above the " + ordinalText(t.veryLarge) + " centile";
    }
    return {};
}

ThresholdChoice thresholdsFor(double sga, double lga)
{
    for (auto [name, value] : {std::pair{"sga", sga}, std::pair{"lga", lga}})
        if (!(value >= 0 && value <= 100))
            return {std::nullopt, name,
                    std::string(name) + ": must be a centile from 0 to 100, not " + shortestText(value)};
    if (sga > lga)
        return {std::nullopt, "sga",
                "sga: the " + ordinalText(sga) + " centile lies above lga, the " + ordinalText(lga)};
    return {BandThresholds{std::min(3.0, sga), sga, lga, std::max(97.0, lga)}, {}, {}};
}

std::string centileText(double centile, const BandThresholds& t)
{
    if (!std::isfinite(centile))
        return shortestText(centile);
    const Band band = bandOf(centile, t);
    const double whole = engine::checked::roundHalfUp(centile);
    if (bandOf(whole, t) == band)
        return wholeNumberText(whole == 0 ? 0.0 : whole);
    // Rounding crossed a threshold: the nearest tenth, or where that crosses
    // it too, the next tenth back toward the centile, on its side.
    double tenths = std::floor(centile * 10 + 0.5);
    if (bandOf(tenths / 10, t) != band)
        tenths += tenths / 10 > centile ? -1 : 1;
    char text[32];
    const double shown = tenths == 0 ? 0.0 : tenths / 10;
    const char* end = std::to_chars(text, text + sizeof text, shown, std::chars_format::fixed, 1).ptr;
    return std::string(text, static_cast<std::size_t>(end - text));
}

namespace {

// Whether the centile lies within the recompute distance of a band threshold,
// or of the 0 and 100 that the centile's own flags compare with. Every test
// is made (| for ||): a batch judges many births so, without a branch.
bool nearThresholdOrEnd(double centile, const BandThresholds& t) noexcept
{
    const double d = kBandRecomputeDistance;
    return (std::fabs(centile - t.verySmall) <= d) | (std::fabs(centile - t.sga) <= d) |
        (std::fabs(centile - t.lga) <= d) | (std::fabs(centile - t.veryLarge) <= d) | (std::fabs(centile) <= d) |
        (std::fabs(centile - 100) <= d);
}

// Whether the centile times 20 lies within the recompute distance (times 20)
// of `nearest`, the whole number nearest to it. The rounded centile (halves
// up) changes at every whole number and a half; the one decimal of
// centileText at every half of a tenth (9.65 shows as 9.7, just below as
// 9.6), and it steps back to a whole tenth where the nearest crosses a
// threshold: all of them multiples of 0.05.
bool nearTwentieth(double twentieths, double nearest) noexcept
{
    return std::fabs(twentieths - nearest) <= 20 * kBandRecomputeDistance;
}

// std::floor without the call, for the numbers a centile is: below 2^52 in
// size a double converts to a whole number exactly (std::floor beyond).
double floorOf(double x) noexcept
{
    constexpr double kAllWhole = 4503599627370496.0;  // 2^52: from here on every double is whole
    if (!(std::fabs(x) < kAllWhole))
        return std::floor(x);
    const double truncated = static_cast<double>(static_cast<std::int64_t>(x));
    return truncated > x ? truncated - 1 : truncated;
}

}  // namespace

bool nearDecisionPoint(double centile, const BandThresholds& t)
{
    const double twentieths = centile * 20;
    return nearThresholdOrEnd(centile, t) || nearTwentieth(twentieths, floorOf(twentieths + 0.5));
}

void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& t,
                            std::span<std::uint8_t> near) noexcept
{
    markNearDecisionPoints(centiles, t, near, engine::bestSimdLevel());
}

void bandsOf(std::span<const double> centiles, const BandThresholds& t, std::span<Band> bands) noexcept
{
    bandsOf(centiles, t, bands, engine::bestSimdLevel());
}

void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& t, std::span<std::uint8_t> near,
                            engine::SimdLevel level) noexcept
{
#if defined(WRENFIELD_X86_64_LANES)
    if (avx512::runs(level)) {
        avx512::markNearDecisionPoints(centiles, t, near);
        return;
    }
    if (avx2::runs(level)) {
        avx2::markNearDecisionPoints(centiles, t, near);
        return;
    }
#endif
    (void)level;
    for (std::size_t k = 0; k < centiles.size(); ++k) {
        const double centile = centiles[k];
        // From 0 to 100 the nearest twentieth's count lies from 0 to 2000.5,
        // where cutting off the fraction is its floor. Outside, the count is
        // held at 0: any whole number would do, the birth is flagged anyway.
        const double twentieths = centile * 20;
        const double rounded = twentieths + 0.5;
        const double held = ((rounded >= 0) & (rounded <= 4000)) ? rounded : 0;
        const double nearest = static_cast<double>(static_cast<std::int32_t>(held));
        bool close = nearThresholdOrEnd(centile, t);
        close |= nearTwentieth(twentieths, nearest);
        near[k] = close;
    }
}

void bandsOf(std::span<const double> centiles, const BandThresholds& t, std::span<Band> bands,
             engine::SimdLevel level) noexcept
{
    // With the thresholds in order, the band is the count of thresholds on
    // either side: 2 (Appropriate), less one below each lower one, plus one
    // above each upper one. A centile that is not a number compares false
    // with all four and is Appropriate, as bandOf makes it.
    const bool ordered = t.verySmall <= t.sga && t.sga <= t.lga && t.lga <= t.veryLarge;
    if (!ordered) {
        for (std::size_t k = 0; k < centiles.size(); ++k)
            bands[k] = bandOf(centiles[k], t);
        return;
    }
#if defined(WRENFIELD_X86_64_LANES)
    if (avx512::runs(level)) {
        avx512::bandsOfOrdered(centiles, t, bands);
        return;
    }
    if (avx2::runs(level)) {
        avx2::bandsOfOrdered(centiles, t, bands);
        return;
    }
#endif
    (void)level;
    for (std::size_t k = 0; k < centiles.size(); ++k) {
        const double centile = centiles[k];
        const int band =
            2 - int{centile < t.sga} - int{centile < t.verySmall} + int{centile > t.lga} + int{centile > t.veryLarge};
        bands[k] = static_cast<Band>(band);
    }
}

}  // namespace wrenfield::reading
