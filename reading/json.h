// The one JSON writer of results: custcent calc --json, the HTTP service and
// the Python package's one-birth call all write a birth's result with it.
//
// A computed birth gives its whole record, the fields named as fields.h names
// them, in this order: population, centile (unrounded, a text that reads back
// to the same double), rounded, centileText (the centile as shown beside
// its band: "56", "9.9"), band ("SGA", "AGA", "LGA"), bandLabel ("SGA
// <3rd"), bandWords, termWeight, weeks, proportion, expectedWeight, spread, z,
// flags ([{code, text}]), inputs (as used: bwt, gestDays, gest in words, wt,
// ht, sex, sexName, eth, ethName, par, parName) and coefficientSetVersion.
// Any other outcome gives {"error": ..., "field": ...} (no field when none is
// at fault). One line, no blanks between tokens, UTF-8; a byte that is not
// UTF-8 in a text a client sent is written as U+FFFD.
#pragma once

#include <string>

#include "reading/result.h"

namespace wrenfield::reading {

std::string resultJson(const BirthResult& result);
void appendResultJson(std::string& out, const BirthResult& result);

}  // namespace wrenfield::reading
