// custcent-window.so: what custcent draws with Qt, behind the table of
// window_support.h. Loaded only by the commands that draw.
#include <QPainter>

#include "cli/window_support.h"
#include "ui/qt/calculator_app.h"
#include "ui/qt/chart_svg.h"
#include "ui/qt/cohort_summary_painter.h"
#include "ui/qt/growth_chart_painter.h"
#include "ui/qt/picture_file.h"

namespace wrenfield::cli {

namespace {

bool knowsPictureFormat(const std::string& path)
{
    return ui::pictureFormatForFile(QString::fromStdString(path)).has_value();
}

std::string writeChart(const std::string& path, int width, int height, const reading::PregnancyChart& chart)
{
    ui::OffscreenGuiApplication application;
    return ui::writePicture(
               QString::fromStdString(path), QSize(width, height), ui::pregnancyChartTitle(chart),
               [&chart](QPainter& painter, const QRectF& area) { ui::paintPregnancyChart(painter, area, chart); })
        .toStdString();
}

std::string writeSummary(const std::string& path, const tabular::CohortSummary& summary, const std::string& title)
{
    ui::OffscreenGuiApplication application;
    const QString heading = QString::fromStdString(title);
    return ui::writePicture(
               QString::fromStdString(path), QSize(1000, 600), heading,
               [&](QPainter& painter, const QRectF& area) { ui::paintCohortSummary(painter, area, summary, heading); })
        .toStdString();
}

std::string chartSvg(const reading::BirthResult& baby, int width, int height)
{
    return ui::pregnancyChartSvg(baby, width, height);
}

constexpr WindowSupport kSupport = {ui::runCalculatorApp, knowsPictureFormat, writeChart, writeSummary, chartSvg};

}  // namespace

}  // namespace wrenfield::cli

extern "C" __attribute__((visibility("default"))) const wrenfield::cli::WindowSupport*
wrenfield_custcent_window_support(int version)
{
    return version == wrenfield::cli::kWindowSupportVersion ? &wrenfield::cli::kSupport : nullptr;
}
