// custcent chart: the customised growth chart of one pregnancy, written to a
// PNG, SVG or PDF file. Takes the same inputs as `custcent calc` and needs no
// display: the picture is drawn on Qt's offscreen platform, by the drawing
// module (window_support.h). The cohort summary picture of `custcent batch
// --summary` is drawn through it too.
#include <charconv>
#include <iostream>
#include <string>

#include "cli/calc_options.h"
#include "cli/commands.h"
#include "cli/window_support.h"
#include "reading/pregnancy_chart.h"

namespace wrenfield::cli {

namespace {

struct ChartOptions {
    BirthOptions birth;
    std::string output;
    std::string size = "900x600";
};

constexpr int kSmallestSide = 200;
constexpr int kLargestSide = 10000;

// "900x600": width and height in pixels.
bool parseSize(const std::string& text, int& width, int& height)
{
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [widthEnd, widthError] = std::from_chars(begin, begin + x, width);
    auto [heightEnd, heightError] = std::from_chars(begin + x + 1, end, height);
    return widthError == std::errc() && widthEnd == begin + x && heightError == std::errc() && heightEnd == end &&
        width >= kSmallestSide && width <= kLargestSide && height >= kSmallestSide && height <= kLargestSide;
}

[[noreturn]] void fail(int status, const std::string& message)
{
    std::cerr << "custcent chart: " << message << "\n";
    throw CommandExit{status};
}

void runChart(const ChartOptions& options)
{
    int width = 0, height = 0;
    if (!parseSize(options.size, width, height))
        fail(2,
             "--size: " + options.size + ": give WIDTHxHEIGHT in pixels, each from " + std::to_string(kSmallestSide) +
                 " to " + std::to_string(kLargestSide) + " (e.g. 900x600)");
    std::string problem;
    const WindowSupport* window = windowSupport(problem);
    if (!window)
        fail(1, problem);
    if (!window->knowsPictureFormat(options.output))
        fail(2, "-o: " + options.output + ": the format follows the extension: .png, .svg or .pdf");
    const reading::BirthResult baby = readBirthOptions(options.birth, "chart");
    if (!baby.computed())
        failBirth(baby, "chart");
    problem = window->writeChart(options.output, width, height, reading::pregnancyChart(baby));
    if (!problem.empty())
        fail(1, problem);
}

}  // namespace

SummaryPictureWriter summaryPictureWriter()
{
    if (!windowSupportBuilt())
        return {};
    // The module is loaded when a picture is asked for, not before.
    return [](const std::string& path, const tabular::CohortSummary& summary, const std::string& title) {
        std::string problem;
        const WindowSupport* window = windowSupport(problem);
        return window ? window->writeSummary(path, summary, title) : problem;
    };
}

void addChartCommand(CLI::App& app)
{
    auto options = std::make_shared<ChartOptions>();
    CLI::App* chart = app.add_subcommand(
        "chart",
        "Draw the customised growth chart of one pregnancy: the 3rd, 10th, 50th, 90th and 97th centile "
        "curves of weight against gestation, with the baby's birthweight, centile and band. Takes the "
        "same inputs as calc; needs no display.");
    addBirthOptions(*chart, options->birth,
                    "Treat a flagged input (a value outside the plausible range, a code of no group) as an error: "
                    "exit status 1 and no chart.");
    chart->add_option("-o,--output", options->output, "The picture to write: FILE.png, FILE.svg or FILE.pdf.")
        ->required()
        ->type_name("FILE");
    chart
        ->add_option("--size", options->size,
                     "Width and height in pixels (a PDF page at 96 to the inch). Default 900x600.")
        ->type_name("WxH");
    chart->footer(ethnicGroupsHelp() +
                  "\nExample: custcent chart --bwt 3400 --gest 39+4 --wt 64 --ht 163 --sex Male --eth European "
                  "--par 0 -o chart.png\n"
                  "A flagged input (a value outside the plausible range) is drawn all the same, with the flag "
                  "under the title.\n"
                  "Exit status: 0 written; 1 no centile for these values, --strict and a flag, or the file cannot "
                  "be written; 2 a missing or unusable value or option.");
    chart->callback([options] { runChart(*options); });
}

}  // namespace wrenfield::cli
