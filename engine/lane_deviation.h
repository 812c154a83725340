// The deviations of eight records at once (four at a time with AVX2), for
// the batch kernel: the steps
// of the one-record method in its order, each a lane's own IEEE operation,
// so every value is the very double the record-by-record steps give. A
// record the lanes cannot take as they stand (a non-finite input, an ethnic
// or parity code that is not a whole number below kCodeTableSize, a term
// weight or deviation out of range) is left to the record-by-record steps.
#pragma once

#include <array>
#include <cstddef>

#include "engine/batch_kernel.h"

namespace wrenfield::engine::lanes {

// Codes 0 to kCodeTableSize − 1 have their ethnic and parity terms looked up.
inline constexpr std::size_t kCodeTableSize = 64;

// Every population's coefficients, one lane each (the lane of its number),
// and its code terms, for lookups by population and code.
struct DeviationTables {
    using Lanes = std::array<double, 8>;
    alignas(64) Lanes weightCentre{};
    alignas(64) Lanes heightCentre{};
    alignas(64) Lanes weightCube{};
    alignas(64) Lanes weightSquare{};
    alignas(64) Lanes weightLinear{};
    alignas(64) Lanes heightLinear{};
    alignas(64) Lanes heightCube{};
    alignas(64) Lanes heightForm{};  // the HeightForm's number
    alignas(64) Lanes constant{};
    alignas(64) Lanes sexMale{};
    alignas(64) Lanes sexOther{};
    alignas(64) Lanes coefficientOfVariation{};
    // [population × kCodeTableSize + code]
    std::array<double, kPopulationCount * kCodeTableSize> ethnic{};
    std::array<double, kPopulationCount * kCodeTableSize> parity{};
};

// The values of each lane's record, as the record-by-record steps name them.
struct DeviationLanes {
    alignas(64) double termWeight[8];
    alignas(64) double weeks[8];
    alignas(64) double proportion[8];
    alignas(64) double expected[8];
    alignas(64) double spread[8];
    alignas(64) double z[8];
};

#if defined(WRENFIELD_X86_64_LANES)
// The records at `records` (`count` of them, 1 to 8). Returns a mask: bit k
// set when record k was taken, its values then in lane k of `out`.
unsigned deviationsAvx512(const BatchRecord* records, unsigned count, const DeviationTables& tables,
                          DeviationLanes& out) noexcept;
// The same with AVX2, four lanes at a time.
unsigned deviationsAvx2(const BatchRecord* records, unsigned count, const DeviationTables& tables,
                        DeviationLanes& out) noexcept;
#endif

}  // namespace wrenfield::engine::lanes
