#include "cli/progress_meter.h"

#include <cmath>
#include <cstdio>

namespace wrenfield::cli {

namespace {

// A run shorter than this shows no progress at all.
constexpr auto kQuietStart = std::chrono::milliseconds(700);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);

std::string rateText(double perSecond)
{
    char text[32];
    if (perSecond >= 1e6)
        std::snprintf(text, sizeof text, "%.2fM", perSecond / 1e6);
    else if (perSecond >= 1e3)
        std::snprintf(text, sizeof text, "%.1fk", perSecond / 1e3);
    else
        std::snprintf(text, sizeof text, "%.0f", perSecond);
    return text;
}

std::string durationText(double seconds)
{
    long whole = std::lround(seconds);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string groupedNumber(long value)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return value < 0 ? "-" + text : text;
}

std::string ProgressMeter::line(long rows, double seconds, std::uint64_t bytesDone, std::uint64_t totalBytes, int width)
{
    double rate = seconds > 0 ? rows / seconds : 0;
    std::string counts = groupedNumber(rows) + " rows  " + rateText(rate) + " rows/s";
    if (totalBytes == 0)
        return ("custcent batch: " + counts).substr(0, std::size_t(width > 0 ? width : 0));

    double fraction = std::min(1.0, double(bytesDone) / double(totalBytes));
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3.0f%%", std::floor(fraction * 100));
    std::string left = "  --:-- left";
    if (fraction > 0 && seconds > 0)
        left = "  " + durationText(seconds * (1 - fraction) / fraction) + " left";
    std::string tail = std::string(" ") + percent + "  " + counts + left;
    int barWidth = width - int(tail.size()) - 2;
    if (barWidth < 10)
        return (percent + std::string("  ") + counts + left).substr(0, std::size_t(width > 0 ? width : 0));
    int filled = int(fraction * barWidth);
    return "[" + std::string(std::size_t(filled), '#') + std::string(std::size_t(barWidth - filled), '.') + "]" + tail;
}

ProgressMeter::ProgressMeter(std::ostream& out, std::uint64_t totalBytes, int width)
    : out_(out)
    , totalBytes_(totalBytes)
    , width_(width)
    , start_(Clock::now())
{}

void ProgressMeter::update(long rows, std::uint64_t bytesDone)
{
    Clock::time_point now = Clock::now();
    if (now - start_ < kQuietStart || (drawn_ && now - lastDrawn_ < kRedrawEvery))
        return;
    double seconds = std::chrono::duration<double>(now - start_).count();
    out_ << '\r' << line(rows, seconds, bytesDone, totalBytes_, width_ - 1) << "\033[K" << std::flush;
    drawn_ = true;
    lastDrawn_ = now;
}

void ProgressMeter::finish()
{
    if (drawn_)
        out_ << "\r\033[K" << std::flush;
    drawn_ = false;
}

}  // namespace wrenfield::cli
