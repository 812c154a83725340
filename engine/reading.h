// The reading of one birth: what a front end shows. From typed inputs (days,
// grams, kilograms, centimetres and the codes) it gives the centile with the
// model's intermediate values, the size-for-gestation band and the
// plausibility flags. The centile is the population method's own value for
// these inputs.
#pragma once

#include <span>
#include <vector>

#include "engine/band.h"
#include "engine/batch_kernel.h"
#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "engine/plausibility.h"

namespace wrenfield::engine {

// The version of the five coefficient sets, as the control names its own.
inline constexpr std::string_view kCoefficientSetVersion = "5.15_UK";

struct Reading {
    Population population = Population::UnitedKingdom;
    CentileInputs inputs;    // as used: gestation in days
    CentileDetail detail;    // centile (percent, unrounded), z, expected weight, weeks, ...
    Band band = Band::Appropriate;
    std::vector<Flag> flags; // input flags, then the centile's own

    double centile() const noexcept { return detail.centile; }
};

// Throws RuntimeError where the population method raises one (an overflow,
// a NaN); flags never stop the computation.
Reading readBirth(Population population, const CentileInputs& inputs, const BandThresholds& thresholds = {});

// The reading of a birth whose centile the batch kernel computed. A centile
// within kBandRecomputeDistance of a threshold is first recomputed by the
// one-record method, so the band (and the centile reported with it) never
// depends on the kernel's last bits. Without `withDetail` the intermediate
// values other than the centile are left at 0 (a run that reports only the
// band and the flags saves their computation).
Reading readBatchBirth(const BatchRecord& record, double kernelCentile, const BandThresholds& thresholds = {},
                       bool withDetail = true);
// The same into a reading kept from an earlier birth (its flags' room reused).
void readBatchBirth(const BatchRecord& record, double kernelCentile, const BandThresholds& thresholds,
                    bool withDetail, Reading& reading);

}  // namespace wrenfield::engine
