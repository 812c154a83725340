// What custcent draws with Qt (the calculator window, the growth chart and
// the cohort summary as pictures, the chart of the HTTP service) lives in a
// module of its own, custcent-window.so, loaded only by the commands that
// draw. Every other command starts without loading Qt and the libraries
// under it, which would cost each run more time than a small file takes.
#pragma once

#include <string>

#include "reading/pregnancy_chart.h"
#include "reading/result.h"
#include "tabular/cohort_summary.h"

namespace wrenfield::cli {

struct WindowSupport {
    // Opens the calculator window (argv as Qt takes it); Qt's exit status.
    int (*runCalculator)(int& argc, char** argv);
    // Whether the extension of `path` names a picture format the module
    // writes (.png, .svg, .pdf).
    bool (*knowsPictureFormat)(const std::string& path);
    // Writes the growth chart of a pregnancy into a picture file of `width`
    // × `height` pixels: empty on success, else what went wrong.
    std::string (*writeChart)(const std::string& path, int width, int height, const reading::PregnancyChart& chart);
    // Writes the picture of a cohort summary: empty on success, else what went wrong.
    std::string (*writeSummary)(const std::string& path, const tabular::CohortSummary& summary,
                                const std::string& title);
    // The growth chart of a computed birth as SVG text.
    std::string (*chartSvg)(const reading::BirthResult& baby, int width, int height);
};

// The module's one entry point (with C linkage, found by name): its table,
// or null when the module was built for another version of the table.
inline constexpr int kWindowSupportVersion = 1;
inline constexpr const char* kWindowSupportEntry = "wrenfield_custcent_window_support";
using WindowSupportEntry = const WindowSupport* (*)(int version);

// The module's file name, and where it is looked for: beside the custcent
// executable (a build tree), then where the installation puts it.
inline constexpr const char* kWindowModuleName = "custcent-window.so";

// Whether this custcent was built with the module (configured with Qt).
bool windowSupportBuilt();
// Loads the module once; null, with `problem` saying why, when it was not
// built or cannot be loaded.
const WindowSupport* windowSupport(std::string& problem);

}  // namespace wrenfield::cli
