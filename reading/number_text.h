// The shortest decimal text that reads back to the same double, written
// exactly as std::to_chars(first, last, value) writes it (the shorter of
// fixed and scientific notation, fixed on a tie; "inf", "nan"), several
// times faster: the digits come from the Dragonbox algorithm (fmt's), and
// are laid out here eight at a time, in registers. Every result a door writes as a number
// (a batch row's centile, each number of a JSON answer) goes through it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/batch_kernel.h"

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

// The texts of up to eight numbers, each as writeShortest writes it, in
// slots of their own: a batch's centiles are laid out eight at a time, and
// a JSON record's figures together.
struct NumberTexts {
    static constexpr std::size_t kCount = 8;
    static constexpr std::size_t kSlot = 32;  // the longest text (24 bytes), and bytes after it
    alignas(64) char text[kCount][kSlot];
    std::uint8_t length[kCount];
};

// Fills the first `count` (at most NumberTexts::kCount) slots with the
// texts of values[0] to values[count - 1]; every byte of those slots is
// written, the ones after each text as well.
void writeNumberTexts(const double* values, std::size_t count, NumberTexts& texts) noexcept;
// The same at a given width: Portable one value after another; Avx512, where
// the processor has AVX-512 with its byte instructions, eight numbers at
// once, their shortest digits found, spelled and laid out in the lanes of
// registers (the same texts); Avx2, and Avx512 where the processor has only
// AVX2, four at a time, their digits found and spelled in the lanes and each
// text laid out alone; any other width is Portable's.
void writeNumberTexts(const double* values, std::size_t count, NumberTexts& texts, engine::SimdLevel level) noexcept;

// Only what the lanes write: the texts of the values from 0.001 to 10^7
// (either sign) that are no whole number and whose shortest digits come by
// Dragonbox's common way, nearly all such values. The returned bits mark
// the slots left unwritten (bit k for values[k]), for the caller to write
// as it writes any number; at Portable, or without the lanes, all of them.
unsigned layNumberTexts(const double* values, std::size_t count, NumberTexts& texts) noexcept;
unsigned layNumberTexts(const double* values, std::size_t count, NumberTexts& texts, engine::SimdLevel level) noexcept;

}  // namespace wrenfield::reading
