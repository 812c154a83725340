#include "ui/qt/chart_svg.h"

#include <QPainter>
#include <mutex>
#include <stdexcept>

#include "reading/pregnancy_chart.h"
#include "ui/qt/growth_chart_painter.h"
#include "ui/qt/picture_file.h"

namespace wrenfield::ui {

std::string pregnancyChartSvg(const reading::BirthResult& baby, int width, int height)
{
    if (width < 1 || height < 1)
        throw std::invalid_argument("a chart needs a width and a height of at least one pixel");
    const reading::PregnancyChart chart = reading::pregnancyChart(baby);

    static std::mutex drawing;
    std::lock_guard lock(drawing);
    // Made on whichever thread draws first and never destroyed: tearing the
    // application down at exit, from another thread, crashes the program
    // (`custcent serve` ended with SIGSEGV after serving a chart).
    static const OffscreenGuiApplication* application = new OffscreenGuiApplication;
    (void)application;
    const QByteArray svg =
        pictureSvg(QSize(width, height), pregnancyChartTitle(chart),
                   [&chart](QPainter& painter, const QRectF& area) { paintPregnancyChart(painter, area, chart); });
    return svg.toStdString();
}

}  // namespace wrenfield::ui
