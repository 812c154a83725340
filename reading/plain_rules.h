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

// quiet[k] = 1 where the birth surely has no flag (anyFlag of its record and
// of centiles[k] is false): every input well inside its range, the body
// mass index clear of its ends, the centile from 0 to 100. 0 where the full
// rules must decide: quiet is sure only where it says yes.
void markSurelyUnflagged(std::span<const engine::BatchRecord> records, std::span<const double> centiles,
                         std::span<std::uint8_t> quiet) noexcept;

}  // namespace wrenfield::reading
