// The one JSON writer of results: custcent calc --json, the HTTP service (a
// birth alone and every birth of an array) and the Python package's
// one-birth call all write a birth's result with it. It writes the text as
// it goes, building no document.
//
// A computed birth gives its whole record, the fields named as fields.h names
// them, in this order: population, centile (unrounded, the shortest text that
// reads back to the same double, as every number that is not whole),
// rounded, centileText (the centile as shown beside its band: "56", "9.9"),
// band ("SGA", "AGA", "LGA"), bandLabel ("SGA <3rd"), bandWords,
// termWeight, weeks, proportion, expectedWeight, spread, z,
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
// The same, appended to `out`.
void appendResultJson(std::string& out, const BirthResult& result);

}  // namespace wrenfield::reading
