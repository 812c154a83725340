// A progress line on a terminal for long batch runs: a bar when the input's
// size is known, the rows done, the rate, and the time left. It appears only
// once a run has lasted a moment (short runs stay silent), is redrawn a few
// times a second at most, and is wiped when the run ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace wrenfield::cli {

class ProgressMeter {
public:
    using Clock = std::chrono::steady_clock;

    // `totalBytes` is the input's size, or 0 when it is not known (a pipe).
    ProgressMeter(std::ostream& out, std::uint64_t totalBytes, int width = 80);

    // After every chunk: the rows done and the input bytes consumed so far.
    void update(long rows, std::uint64_t bytesDone);
    // Wipes the line, if one was drawn.
    void finish();

    // The text of the line, for `rows` done in `seconds` with `bytesDone` of
    // `totalBytes` (0: unknown) read, at most `width` characters.
    static std::string line(long rows, double seconds, std::uint64_t bytesDone, std::uint64_t totalBytes, int width);

private:
    std::ostream& out_;
    std::uint64_t totalBytes_;
    int width_;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
    bool drawn_ = false;
};

// Thousands separated by commas: 1234567 gives "1,234,567".
std::string groupedNumber(long value);

}  // namespace wrenfield::cli
