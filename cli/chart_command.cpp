// custcent chart: the customised growth chart of one pregnancy, written to a
// PNG, SVG or PDF file. Takes the same inputs as `custcent calc` and needs no
// display: the picture is drawn on Qt's offscreen platform. The cohort
// summary picture of `custcent batch --summary` is drawn here too, the one
// other place where custcent uses Qt.
#include <charconv>
#include <iostream>
#include <string>

#include "cli/calc_options.h"
#include "cli/commands.h"

#if WRENFIELD_HAVE_WINDOW
#include <QPainter>

#include "reading/pregnancy_chart.h"
#include "ui/qt/cohort_summary_painter.h"
#include "ui/qt/growth_chart_painter.h"
#include "ui/qt/picture_file.h"
#endif

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
#if WRENFIELD_HAVE_WINDOW
    const QString path = QString::fromStdString(options.output);
    if (!ui::pictureFormatForFile(path))
        fail(2, "-o: " + options.output + ": the format follows the extension: .png, .svg or .pdf");
    const reading::BirthResult baby = readBirthOptions(options.birth, "chart");
    if (!baby.computed())
        failBirth(baby, "chart");
    const reading::PregnancyChart chart = reading::pregnancyChart(baby);

    ui::OffscreenGuiApplication application;
    const QString problem = ui::writePicture(
        path, QSize(width, height), ui::pregnancyChartTitle(chart),
        [&chart](QPainter& painter, const QRectF& area) { ui::paintPregnancyChart(painter, area, chart); });
    if (!problem.isEmpty())
        fail(1, problem.toStdString());
#else
    fail(1, "this custcent was built without Qt, which draws the chart (configure with -DWRENFIELD_WITH_QT=ON)");
#endif
}

}  // namespace

SummaryPictureWriter summaryPictureWriter()
{
#if WRENFIELD_HAVE_WINDOW
    return [](const std::string& path, const tabular::CohortSummary& summary, const std::string& title) {
        ui::OffscreenGuiApplication application;
        const QString heading = QString::fromStdString(title);
        return ui::writePicture(QString::fromStdString(path), QSize(1000, 600), heading,
                                [&](QPainter& painter, const QRectF& area) {
                                    ui::paintCohortSummary(painter, area, summary, heading);
                                })
            .toStdString();
    };
#else
    return {};
#endif
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
