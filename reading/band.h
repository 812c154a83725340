// Size for gestational age: where a centile puts the baby. Small (SGA) below
// the lower threshold, large (LGA) above the upper one, appropriate (AGA)
// between them, a value exactly on a threshold included; "below the 3rd" and
// "above the 97th" are the finer labels of the two outer bands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfield::reading {

enum class Band : std::uint8_t {
    VerySmall,    // SGA, below the lower fine threshold (3rd)
    Small,        // SGA
    Appropriate,  // AGA
    Large,        // LGA
    VeryLarge,    // LGA, above the upper fine threshold (97th)
};

// Every band, smallest first (the HTTP service's document lists their codes).
inline constexpr Band kBands[] = {Band::VerySmall, Band::Small, Band::Appropriate, Band::Large, Band::VeryLarge};

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

// The thresholds a user sets with the SGA and LGA centiles alone (`--sga 2`,
// `?sga=2`, `thresholds=(2, 98)`): the finer labels stay at the 3rd and the
// 97th, or move with the SGA or LGA threshold where it lies beyond them. The
// one rule of every front end.
struct ThresholdChoice {
    std::optional<BandThresholds> thresholds;
    std::string field;  // "sga" or "lga", the option at fault
    std::string error;  // "sga: must be a centile from 0 to 100, not 120"
};
ThresholdChoice thresholdsFor(double sga, double lga);

// The centile as every front end of ours shows it beside its band (the
// page, calc's text, the chart's label, the window's band line, the result's
// centileText): the whole number, halves up, as the calculator shows it,
// unless that number would read as another band than the centile's own
// (9.911 is SGA, "below the 10th centile", and rounds to 10); then one
// decimal: the nearest tenth on the centile's side of the threshold, "9.9"
// for 9.911 and for 9.96, "90.1" for 90.04 (LGA, above the 90th), never
// "10.0" or "90.0". The calculator's own caption keeps its whole number.
std::string centileText(double centile, const BandThresholds& thresholds = {});

// Within this distance of a decision point, a centile from the batch kernel
// (which may differ from the one-record method in its last bits) is
// recomputed by the one-record method before anything is decided from it.
inline constexpr double kBandRecomputeDistance = 1e-9;

// Whether `centile` lies within kBandRecomputeDistance of a point where
// something is decided from it: a band threshold, the 0 and 100 that the
// centile flags compare with, a half where the rounded centile changes, or a
// half of a tenth where the one decimal of centileText changes (and the
// tenths it steps back to beside a threshold): every multiple of 0.05.
bool nearDecisionPoint(double centile, const BandThresholds& thresholds = {});

}  // namespace wrenfield::reading
