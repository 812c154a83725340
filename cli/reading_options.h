// The options of the reading shared by calc and batch: the band thresholds.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>

#include "engine/band.h"

namespace wrenfield::cli {

struct ThresholdOptions {
    double sga = 10;
    double lga = 90;

    void add(CLI::App& command)
    {
        command.add_option("--sga", sga, "Small for gestational age below this centile (default 10; exactly 10 is AGA).")
            ->type_name("CENTILE");
        command.add_option("--lga", lga, "Large for gestational age above this centile (default 90; exactly 90 is AGA).")
            ->type_name("CENTILE");
    }

    // The thresholds, with the finer labels at the 3rd and 97th (moved to
    // the SGA or LGA threshold when that lies beyond them); or what is wrong.
    std::optional<std::string> apply(engine::BandThresholds& thresholds) const
    {
        for (auto [option, value] : {std::pair{"--sga", sga}, std::pair{"--lga", lga}})
            if (!(value >= 0 && value <= 100))
                return std::string(option) + ": must be a centile from 0 to 100";
        if (sga > lga)
            return "--sga: " + engine::ordinalText(sga) + " is above --lga, the " + engine::ordinalText(lga);
        thresholds.sga = sga;
        thresholds.lga = lga;
        thresholds.verySmall = std::min(3.0, sga);
        thresholds.veryLarge = std::max(97.0, lga);
        if (auto problem = engine::thresholdProblem(thresholds))
            return "--sga/--lga: " + *problem;
        return std::nullopt;
    }
};

}  // namespace wrenfield::cli
