// The options of the reading shared by calc, chart and batch: the band
// thresholds and how the centile is computed. The rules behind them are the
// reading layer's (reading/band.h), so `--sga 2` means here what `?sga=2`
// means to the HTTP service and `thresholds=(2, 98)` to the Python package.
#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "reading/band.h"
#include "reading/result.h"

namespace wrenfield::cli {

struct ReadingOptionValues {
    double sga = 10;
    double lga = 90;
    bool strict = false;
    bool exact = false;

    // `strictHelp` says what --strict does to this command.
    void add(CLI::App& command, const std::string& strictHelp)
    {
        command
            .add_option("--sga", sga,
                        "Small for gestational age below this centile (default 10; exactly 10 is AGA). "
                        "The finer label stays at the 3rd, or moves with --sga below it.")
            ->type_name("CENTILE");
        command
            .add_option("--lga", lga,
                        "Large for gestational age above this centile (default 90; exactly 90 is AGA). "
                        "The finer label stays at the 97th, or moves with --lga above it.")
            ->type_name("CENTILE");
        command.add_flag("--strict", strict, strictHelp);
        command.add_flag("--exact", exact,
                         "Compute by the population's method itself (1001 slices, one birth at a time), for audits; "
                         "without it the centile comes from the closed form of the same sum, within 1e-11 "
                         "percentage points of the method, and the method's own value wherever a band, a flag or "
                         "the rounded centile depends on the last digits.");
    }

    // The options as the reading layer takes them, or what is wrong.
    std::optional<std::string> apply(reading::ReadingOptions& options) const
    {
        reading::ThresholdChoice choice = reading::thresholdsFor(sga, lga);
        if (!choice.thresholds)
            return choice.error;
        options.thresholds = *choice.thresholds;
        options.strict = strict;
        options.exact = exact;
        return std::nullopt;
    }
};

}  // namespace wrenfield::cli
