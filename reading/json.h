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

#include <span>
#include <string>
#include <string_view>

#include "reading/result.h"

namespace wrenfield::reading {

std::string resultJson(const BirthResult& result);
// The same, appended to `out`.
void appendResultJson(std::string& out, const BirthResult& result);

// What a computed birth's record is written from: a result's own parts, or
// a birth that readPlain read (then its flags are none and its thresholds
// the options').
struct ComputedBirth {
    engine::Population population = engine::Population::UnitedKingdom;
    const engine::CentileInputs* inputs = nullptr;
    const engine::CentileDetail* detail = nullptr;
    BandThresholds thresholds;
    Band band = Band::Appropriate;
    std::span<const Flag> flags;
};

// Many records written one after another into one text (an array of
// births, or a stretch of one), each byte for byte as appendResultJson
// writes it, or with the caller's name for the birth first (`{"id":...,`)
// when one is given. The room for them is made once, not record by record;
// the text holds exactly what was written when the writer goes.
class ResultsJsonText {
public:
    // Writes after what `out` holds, with room made for about `expectedBytes`.
    ResultsJsonText(std::string& out, std::size_t expectedBytes);
    // Writes over what `out` holds, its bytes taken as room already made
    // (a text kept from an answer before): only room beyond them is made.
    struct OverWhatItHolds {};
    ResultsJsonText(std::string& out, std::size_t expectedBytes, OverWhatItHolds);
    ~ResultsJsonText();
    ResultsJsonText(const ResultsJsonText&) = delete;
    ResultsJsonText& operator=(const ResultsJsonText&) = delete;

    // Punctuation between records: '[', ',' or ']'.
    void put(char c);
    // A record; `idJson` is the name as JSON already ("\"a1\"", "17"), or empty.
    void record(const BirthResult& result, std::string_view idJson = {});
    // A computed birth's record, byte for byte as its result's would be.
    void record(const ComputedBirth& birth, std::string_view idJson = {});

private:
    std::string& out_;
    std::size_t used_;  // bytes of `out_` written; the rest is room
};

}  // namespace wrenfield::reading
