// The integral of the centile for as many records as a vector has lanes,
// written once for every instruction set. Included only by the translation
// units of batch_integral_*.cpp, each compiled for its own instruction set;
// everything here has internal linkage so that no instantiation built for a
// wide instruction set can stand in for another unit's.
//
// The one-record method adds up 1001 slices of the normal density: with
// h = |z| / 1000 and the midpoints x_i = (i − ½)·h, i = 1 … 1001,
//
//     s = Σ h · g(x_i) / 2.506628,    g(x) = exp(−x²/2),
//
// then p = s + ½ (1 − p below the mean) and the centile is 100 · p. That is
// the midpoint rule for the area under g from 0 to b = 1001·h, the right
// edge of the last slice. The Euler–Maclaurin expansion of the midpoint rule
// gives the sum in closed form:
//
//     h·Σ g(x_i) = ∫₀ᵇ g  −  (h²/24)·(g′(b) − g′(0))
//                         +  (7h⁴/5760)·(g‴(b) − g‴(0))
//                         −  (31h⁶/967680)·(g⁽⁵⁾(b) − g⁽⁵⁾(0))  −  …
//
// (the coefficients are B₂ₖ(½)/(2k)!, the Bernoulli polynomials at the
// midpoint). Here
//
//     ∫₀ᵇ g = √(π/2)·erf(b/√2),
//     g′(x) = −x·g(x),   g‴(x) = (3x − x³)·g(x),   g⁽⁵⁾(x) = (−15x + 10x³ − x⁵)·g(x),
//
// and every odd derivative is 0 at x = 0, since the density is even. With
// E = g(b) = exp(−b²/2) the slices therefore add up to
//
//     √(π/2)·erf(b/√2) + b·E·h²·[1/24 + (7/5760)·h²·(3 − b²)
//                                 − (31/967680)·h⁴·(−15 + 10b² − b⁴)],
//
// divided by the same 2.506628 as every slice. The first term left out is
// of order h⁸·g⁽⁷⁾(b)/10⁶: wherever E is not negligible, b is below 9 and
// h below 0.009, so it stays below 10⁻²⁰, and far out (h up to ½ at the
// largest integrated deviation) E itself has underflowed to 0 and the erf is
// 1. What remains is the rounding of a dozen operations and of the C
// library's erf and exp, against the rounding of the one-record method's
// 1001 additions: the two centiles agree to a few 10⁻¹³ percentage points.
//
// So each record costs one erf and one exp instead of 1001 exponentials. The
// deviation is negated below the mean and limited to the largest integrated
// deviation exactly as the one-record method does it; p and the centile are
// formed by the same steps.
#pragma once

#include <cstddef>
#include <cstring>

#include "engine/coefficient_set.h"

namespace wrenfield::engine::lanes {
namespace {

// √(π/2): the area under exp(−x²/2) from 0 to infinity.
constexpr double kHalfLineArea = 1.2533141373155002512;
constexpr double kInverseRootTwo = 0.70710678118654752440;
// The Euler–Maclaurin coefficients of the midpoint rule, B₂ₖ(½)/(2k)!, signs
// folded into the bracket above.
constexpr double kSecondOrder = 1.0 / 24;
constexpr double kFourthOrder = 7.0 / 5760;
constexpr double kSixthOrder = 31.0 / 967680;

template <class Vec, Vec (*Exp)(Vec), Vec (*Erf)(Vec)>
void integrateLanes(const double* z, double* centiles, std::size_t count)
{
    constexpr std::size_t kLanes = sizeof(Vec) / sizeof(double);
    for (std::size_t base = 0; base < count; base += kLanes) {
        std::size_t filled = count - base < kLanes ? count - base : kLanes;
        Vec zv;
        if (filled == kLanes) {
            std::memcpy(&zv, z + base, sizeof zv);
        } else {
            // A short last group is padded with z = 0, whose lanes are discarded.
            double in[kLanes] = {};
            std::memcpy(in, z + base, filled * sizeof(double));
            std::memcpy(&zv, in, sizeof zv);
        }

        auto negative = zv < 0.0;
        zv = negative ? -zv : zv;
        zv = zv > kLargestIntegratedDeviation ? zv * 0.0 + kLargestIntegratedDeviation : zv;
        Vec h = zv / kSliceDivisor;
        Vec b = h * static_cast<double>(kIntegrationSlices);
        Vec bb = b * b;
        Vec hh = h * h;
        Vec area = kHalfLineArea * Erf(b * kInverseRootTwo);
        Vec edge = Exp(-bb / 2.0);
        Vec bracket = kSecondOrder + hh * (kFourthOrder * (3.0 - bb) - hh * (kSixthOrder * (-15.0 + bb * (10.0 - bb))));
        Vec s = (area + b * edge * hh * bracket) / kDensityDivisor;
        Vec p = s + 0.5;
        p = negative ? 1.0 - p : p;
        Vec result = 100.0 * p;

        if (filled == kLanes) {
            std::memcpy(centiles + base, &result, sizeof result);
        } else {
            double out[kLanes];
            std::memcpy(out, &result, sizeof out);
            std::memcpy(centiles + base, out, filled * sizeof(double));
        }
    }
}

}  // namespace
}  // namespace wrenfield::engine::lanes
