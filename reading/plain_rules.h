// The reading layer's rules in the form readPlain applies them to many births
// at once: straight-line loops over arrays, with no call and no branch a
// birth, so that the common birth is judged in a few nanoseconds. Each is the
// rule itself where a birth's centile lies from 0 to 100; readPlain leaves
// every other birth to the rules in full. Private to the reading layer.
#pragma once

#include <cstdint>
#include <span>

#include "engine/batch_kernel.h"
#include "reading/band.h"

namespace wrenfield::reading {

// near[k] = nearDecisionPoint(centiles[k], thresholds), for every centile
// from 0 to 100 (a centile outside them is flagged, so never plain).
void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& thresholds,
                            std::span<std::uint8_t> near) noexcept;

// bands[k] = bandOf(centiles[k], thresholds).
void bandsOf(std::span<const double> centiles, const BandThresholds& thresholds, std::span<Band> bands) noexcept;

// The same two at a given width: Portable one centile after another, Avx512
// eight in the lanes of a register and Avx2 four (where the processor runs
// it), with the same answer for every double; any other width is Portable's.
void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& thresholds,
                            std::span<std::uint8_t> near, engine::SimdLevel level) noexcept;
void bandsOf(std::span<const double> centiles, const BandThresholds& thresholds, std::span<Band> bands,
             engine::SimdLevel level) noexcept;

// The bounds of the sure test for its form in vector lanes: for each
// population, the least and the greatest value of each input that raises no
// flag, in the lanes of a record as it lies in memory (lane 0 holds the
// population and is not compared; then bwt, gest, wt, ht, sex, eth, par),
// the lanes that must hold whole numbers (sex, eth, par), the body mass
// index's factors and the centile's range.
struct SureTestBounds {
    alignas(64) double low[engine::kPopulationCount][8];
    alignas(64) double high[engine::kPopulationCount][8];
    std::uint8_t wholeLanes = 0;
    double indexLowFactor = 0;   // weight × 10⁴ must lie above this × height²
    double indexHighFactor = 0;  // and below this × height²
    double centileLow = 0;
    double centileHigh = 0;
};

// quiet[k] = 1 where the birth surely has no flag (anyFlag of its record and
// of centiles[k] is false): every input well inside its range, the body
// mass index clear of its ends, the centile from 0 to 100. 0 where the full
// rules must decide: quiet is sure only where it says yes.
void markSurelyUnflagged(std::span<const engine::BatchRecord> records, std::span<const double> centiles,
                         std::span<std::uint8_t> quiet) noexcept;
// The same at a given width: Portable one birth after another, Avx512 a
// record in one register, Avx2 in two (where the processor runs it); any
// other width is Portable's.
void markSurelyUnflagged(std::span<const engine::BatchRecord> records, std::span<const double> centiles,
                         std::span<std::uint8_t> quiet, engine::SimdLevel level) noexcept;

namespace avx512 {
// Whether the rules below run at `level`: asked for, and run by this processor.
inline bool runs(engine::SimdLevel level)
{
    return level == engine::SimdLevel::Avx512 && engine::simdLevelSupported(level);
}
// The sure test with AVX-512 F, on these bounds: compiled for it alone.
void markSurelyUnflagged(const SureTestBounds& bounds, std::span<const engine::BatchRecord> records,
                         std::span<const double> centiles, std::span<std::uint8_t> quiet) noexcept;
// The decision points and the bands, eight centiles at a time (bandsOf with
// its thresholds in order only).
void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& thresholds,
                            std::span<std::uint8_t> near) noexcept;
void bandsOfOrdered(std::span<const double> centiles, const BandThresholds& thresholds, std::span<Band> bands) noexcept;
}  // namespace avx512

namespace avx2 {
// Whether the rules below run at `level`: asked for, and run by this processor.
inline bool runs(engine::SimdLevel level)
{
    return level == engine::SimdLevel::Avx2 && engine::simdLevelSupported(level);
}
// The same three with AVX2: a record in two registers, four centiles at a time.
void markSurelyUnflagged(const SureTestBounds& bounds, std::span<const engine::BatchRecord> records,
                         std::span<const double> centiles, std::span<std::uint8_t> quiet) noexcept;
void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& thresholds,
                            std::span<std::uint8_t> near) noexcept;
void bandsOfOrdered(std::span<const double> centiles, const BandThresholds& thresholds, std::span<Band> bands) noexcept;
}  // namespace avx2

}  // namespace wrenfield::reading
