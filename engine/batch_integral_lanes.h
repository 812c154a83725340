// The integral of the centile for as many records as a vector has lanes,
// written once for every instruction set. Included only by the translation
// units of batch_integral_*.cpp, each compiled for its own instruction set;
// everything here has internal linkage so that no instantiation built for a
// wide instruction set can stand in for another unit's.
//
// Per lane this is the one-record integral step for step: z < 0 noted and
// negated; |z| limited to kLargestIntegratedDeviation; h = z / 1000;
// i = 0, s = 0; 1001 times i = i + 1,
// x = i × h − h / 2, f = exp(−x × x / 2) / 2.506628, s = s + f × h; then
// p = s + 0.5, 1 − p when z was negative, and 100 × p. Each operation is one
// correctly rounded vector operation, so every lane's value is the scalar
// value, the exponential's last bit aside.
#pragma once

#include <cstddef>
#include <cstring>

#include "engine/coefficient_set.h"

namespace wrenfield::engine::lanes {
namespace {

template <class Vec, Vec (*Exp)(Vec)>
void integrateLanes(const double* z, double* centiles, std::size_t count)
{
    constexpr std::size_t kLanes = sizeof(Vec) / sizeof(double);
    for (std::size_t base = 0; base < count; base += kLanes) {
        std::size_t filled = count - base < kLanes ? count - base : kLanes;
        // A short last group is padded with z = 0, whose lanes are discarded.
        double in[kLanes] = {};
        std::memcpy(in, z + base, filled * sizeof(double));
        Vec zv;
        std::memcpy(&zv, in, sizeof zv);

        auto negative = zv < 0.0;
        zv = negative ? -zv : zv;
        zv = zv > kLargestIntegratedDeviation ? zv * 0.0 + kLargestIntegratedDeviation : zv;
        Vec h = zv / kSliceDivisor;
        // h / 2 is the same value in every slice; halving is exact.
        Vec halfH = h / 2.0;
        Vec i = zv * 0.0;
        Vec s = i;
        for (int slice = 0; slice < kIntegrationSlices; ++slice) {
            i = i + 1.0;
            Vec x = i * h - halfH;
            Vec f = Exp(-x * x / 2.0) / kDensityDivisor;
            s = s + f * h;
        }
        Vec p = s + 0.5;
        p = negative ? 1.0 - p : p;
        Vec result = 100.0 * p;

        double out[kLanes];
        std::memcpy(out, &result, sizeof out);
        std::memcpy(centiles + base, out, filled * sizeof(double));
    }
}

}  // namespace
}  // namespace wrenfield::engine::lanes
