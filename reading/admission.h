// Whether a birth a door has read may go to the model: the rules every front
// end shares, so that the same birth is refused, or not, wherever it enters.
//
// - A field without a value is missing; the error lists every missing field:
//   "missing: bwt, gest".
// - A field the vocabulary cannot read is refused, saying what is wrong:
//   "eth: not an ethnic group of United Kingdom: \"White British\" (groups: ...)".
// - An infinite number is refused in every field ("sex: must be a finite
//   number, not inf"): as a measurement the model would end in an overflow,
//   as a code it would take the fallback term without a word.
// - A birthweight, gestation, booking weight or height of 0 or below is
//   refused ("bwt: must be a positive number, not -3400"): no pregnancy has
//   one, and the model would compute a confident centile from it.
// - An unknown population is refused, naming the choices.
// Every other birth goes to the model; a value outside the plausible range is
// computed and flagged (plausibility.h).
#pragma once

#include <cmath>
#include <optional>
#include <string>

#include "engine/batch_kernel.h"
#include "reading/result.h"
#include "reading/vocabulary.h"

namespace wrenfield::reading {

// What is wrong with a value of `field` that the vocabulary read, or nothing.
std::optional<std::string> valueProblem(InputField field, double value);

// Whether seven values pass the rules of values; a quick test for the rows a
// batch reads as plain numbers. Where it is false, admitBirth says why.
inline bool valuesAdmissible(const engine::CentileInputs& in) noexcept
{
    return in.bwt > 0 && in.gestDays > 0 && in.wt > 0 && in.ht > 0 && std::isfinite(in.bwt) &&
        std::isfinite(in.gestDays) && std::isfinite(in.wt) && std::isfinite(in.ht) && std::isfinite(in.sex) &&
        std::isfinite(in.eth) && std::isfinite(in.par);
}

// True, with `record` filled, when the birth may go to the model. Otherwise
// false, with `result` holding its outcome (Missing or Refused), the error
// and the field at fault: the population first, then the missing fields,
// then each field's problem in the order the methods take them.
bool admitBirth(const BirthReading& birth, engine::BatchRecord& record, BirthResult& result);

// Sets `result` to a birth that gives no centile: the outcome, the error and
// the field at fault; everything else cleared.
void setProblem(BirthResult& result, Outcome outcome, std::string error, std::string field);

}  // namespace wrenfield::reading
