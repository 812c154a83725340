// Size for gestational age: where a centile puts the baby. Small (SGA) below
// the lower threshold, large (LGA) above the upper one, appropriate (AGA)
// between them, a value exactly on a threshold included; "below the 3rd" and
// "above the 97th" are the finer labels of the two outer bands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfield::engine {

enum class Band : std::uint8_t {
    VerySmall,    // SGA, below the lower fine threshold (3rd)
    Small,        // SGA
    Appropriate,  // AGA
    Large,        // LGA
    VeryLarge,    // LGA, above the upper fine threshold (97th)
};

// The boundaries, in percent. A centile is small when strictly below `sga`,
// large when strictly above `lga`.
struct BandThresholds {
    double verySmall = 3;
    double sga = 10;
    double lga = 90;
    double veryLarge = 97;
};

// Why a set of thresholds cannot be used (not finite, outside 0..100, or out
// of order: verySmall <= sga <= lga <= veryLarge), or nothing.
std::optional<std::string> thresholdProblem(const BandThresholds& thresholds);

Band bandOf(double centile, const BandThresholds& thresholds = {});

// "SGA", "AGA" or "LGA" (the finer bands give their outer band's name).
std::string_view bandCode(Band band);
// The band as one short label: "SGA", "AGA", "LGA", or with the finer label
// "SGA <3rd", "LGA >97th" (the thresholds' own numbers).
std::string bandLabel(Band band, const BandThresholds& thresholds = {});
// The band in words: "small for gestational age (SGA, below the 10th centile)",
// "small for gestational age (SGA), below the 3rd centile", ...
std::string bandWords(Band band, const BandThresholds& thresholds = {});

// "3rd", "10th", "2.5th", "22nd": a threshold as an ordinal.
std::string ordinalText(double value);

// Within this distance of a threshold, a centile from the batch kernel (which
// may differ from the one-record method in its last bits) is recomputed by
// the one-record method before it is classified.
inline constexpr double kBandRecomputeDistance = 1e-9;

// Whether `centile` lies within kBandRecomputeDistance of a threshold, or of
// the 0 and 100 that the centile flags compare with.
bool nearBandThreshold(double centile, const BandThresholds& thresholds = {});

}  // namespace wrenfield::engine
