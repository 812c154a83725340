// The shortest decimal text that reads back to the same double, written
// exactly as std::to_chars(first, last, value) writes it (the shorter of
// fixed and scientific notation, fixed on a tie; "inf", "nan"), several
// times faster: the digits come from the Dragonbox algorithm (fmt's), and
// are laid out here eight at a time, in registers. Every result a door writes as a number
// (a batch row's centile, each number of a JSON answer) goes through it.
#pragma once

namespace wrenfield::reading {

// The room writeShortest needs at `first`: the longest text it writes
// ("-2.2250738585072014e-308", 24 bytes) and bytes it may write beyond
// the end of a shorter one.
inline constexpr int kShortestTextRoom = 48;

// Writes the text at `first`, which has room for kShortestTextRoom bytes,
// and returns the end of it.
char* writeShortest(char* first, double value) noexcept;

// The same text, written sooner for a centile from 0.001 to 100 that is not
// a whole number (nearly every centile): no test for a whole number of
// tenths first, fixed notation straight away. Any other value is written by
// writeShortest.
char* writeShortestCentile(char* first, double value) noexcept;

}  // namespace wrenfield::reading
