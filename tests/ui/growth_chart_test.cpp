// The growth chart as drawn: geometry read back from pictures, not pictures
// compared. The chart's own axis mapping says where a value must be; the
// pixels there must show it. Then the same routine in SVG and PDF, and the
// window that shows the chart beside the control.
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include "form/calc.h"
#include "reading/pregnancy_chart.h"
#include "ui/qt/calc_widget.h"
#include "ui/qt/calculator_window.h"
#include "ui/qt/chart_svg.h"
#include "ui/qt/chart_widget.h"
#include "ui/qt/cohort_summary_painter.h"
#include "ui/qt/growth_chart_painter.h"
#include "ui/qt/picture_file.h"

using namespace wrenfield;

namespace {

constexpr engine::CentileInputs kTypical{3400, 280, 64, 163, 1, 1, 0};
const QSize kSize(900, 600);
const QColor kCentreColour(0x1f, 0x3b, 0x73);

engine::CentileInputs withBaby(double grams, double days)
{
    engine::CentileInputs inputs = kTypical;
    inputs.bwt = grams;
    inputs.gestDays = days;
    return inputs;
}

QImage drawn(const reading::PregnancyChart& chart)
{
    return ui::pictureImage(
        kSize, [&](QPainter& painter, const QRectF& area) { ui::paintPregnancyChart(painter, area, chart); });
}

bool near(QColor a, QColor b, int tolerance = 40)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= tolerance;
}

QColor pixelAt(const QImage& image, QPointF point)
{
    return image.pixelColor(point.toPoint());
}

}  // namespace

class GrowthChartTest : public QObject {
    Q_OBJECT

private slots:
    void centreCurvePassesThroughTheExpectedWeight()
    {
        // The baby early, so its label is far from the gestations looked at.
        const reading::PregnancyChart chart =
            reading::pregnancyChart(engine::Population::UnitedKingdom, withBaby(900, 182));
        const QImage image = drawn(chart);
        const ui::ChartFrame frame = ui::pregnancyChartFrame(chart, QRectF(QPointF(0, 0), QSizeF(kSize)));
        for (double weeks : {33.0, 38.0}) {
            const double expected = engine::expectedWeight(chart.baby.detail.termWeight, weeks);
            const QPointF at = frame.toPixels(weeks, expected);
            QVERIFY2(near(pixelAt(image, at), kCentreColour), qPrintable(QStringLiteral("at %1 weeks").arg(weeks)));
            // 300 g away there is no centre line.
            QVERIFY(!near(pixelAt(image, frame.toPixels(weeks, expected + 300)), kCentreColour));
        }
    }

    void babysPointSitsAtItsGestationAndWeight()
    {
        struct Case {
            const char* name;
            double grams, days;
        } cases[] = {
            {"typical", 3400, 277},
            {"centile 100", 5400, 231},         // far above every curve at 33 weeks
            {"22 weeks", 600, 154},             // before the usual scale
            {"beyond the scales", 20000, 400},  // drawn on the plot's corner
        };
        for (const Case& c : cases) {
            const reading::PregnancyChart chart =
                reading::pregnancyChart(engine::Population::UnitedKingdom, withBaby(c.grams, c.days));
            const QImage image = drawn(chart);
            const ui::ChartFrame frame = ui::pregnancyChartFrame(chart, QRectF(QPointF(0, 0), QSizeF(kSize)));
            const QPointF point = frame.toPixelsInside(chart.baby.detail.weeks, c.grams);
            QVERIFY2(frame.plot.contains(point), c.name);
            if (frame.onScales(chart.baby.detail.weeks, c.grams)) {
                QVERIFY2(near(pixelAt(image, point), Qt::black), c.name);
                QCOMPARE(point, frame.toPixels(chart.baby.detail.weeks, c.grams));
            } else {
                QVERIFY2(std::string_view(c.name) == "beyond the scales", c.name);
                QVERIFY(near(pixelAt(image, point), Qt::white));  // the open disc
            }
        }
    }

    void tenthLiesBelowTheFiftiethEverywhere()
    {
        const reading::PregnancyChart chart = reading::pregnancyChart(engine::Population::NewZealand, kTypical);
        const ui::ChartFrame frame = ui::pregnancyChartFrame(chart, QRectF(QPointF(0, 0), QSizeF(kSize)));
        const auto& tenth = chart.curve(10)->points;
        const auto& fiftieth = chart.curve(50)->points;
        QCOMPARE(tenth.size(), fiftieth.size());
        for (std::size_t i = 0; i < tenth.size(); ++i) {
            const QPointF low = frame.toPixels(tenth[i].weeks, tenth[i].grams);
            const QPointF centre = frame.toPixels(fiftieth[i].weeks, fiftieth[i].grams);
            QCOMPARE(low.x(), centre.x());
            QVERIFY(low.y() > centre.y());  // pixels grow downwards
            QVERIFY(frame.plot.contains(low) && frame.plot.contains(centre));
        }
    }

    void svgIsXmlWithTheFiveCurves()
    {
        const std::string svg =
            ui::pregnancyChartSvg(reading::readValues(engine::Population::UnitedKingdom, kTypical), 900, 600);
        const reading::PregnancyChart chart = reading::pregnancyChart(engine::Population::UnitedKingdom, kTypical);
        const ui::ChartFrame frame = ui::pregnancyChartFrame(chart, QRectF(0, 0, 900, 600));
        const qsizetype vertices = qsizetype(chart.curves[0].points.size());

        // A curve is a path through exactly its own points; the first vertex
        // of each is where the frame puts that curve's first point.
        QXmlStreamReader xml(QByteArray::fromStdString(svg));
        std::vector<QPointF> curveStarts;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("path"))
                continue;
            const QString d = xml.attributes().value(QLatin1String("d")).toString();
            const QStringList steps = d.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (steps.size() != vertices)
                continue;
            const QStringList first = steps[0].mid(1).split(QLatin1Char(','));
            curveStarts.emplace_back(first[0].toDouble(), first[1].toDouble());
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(curveStarts.size(), chart.curves.size());
        for (const engine::ChartCurve& curve : chart.curves) {
            const QPointF expected = frame.toPixels(curve.points[0].weeks, curve.points[0].grams);
            const bool found = std::any_of(curveStarts.begin(), curveStarts.end(), [&](QPointF p) {
                return std::abs(p.x() - expected.x()) < 0.01 && std::abs(p.y() - expected.y()) < 0.01;
            });
            QVERIFY2(found, qPrintable(QStringLiteral("the curve of centile %1").arg(curve.centile)));
        }
        QVERIFY(svg.find("Customised growth chart") != std::string::npos);
    }

    // On a phone's width the text stays at 11 px or more, the plot keeps
    // room, and the baby's label agrees with its band: 9.63 is small, so not
    // "10th centile".
    void aPhoneSizedChartIsReadableAndItsLabelAgreesWithTheBand()
    {
        const engine::CentileInputs inputs{2950, 280, 65, 165, 2, 1, 0};
        const std::string svg =
            ui::pregnancyChartSvg(reading::readValues(engine::Population::UnitedKingdom, inputs), 340, 442);
        QXmlStreamReader xml(QByteArray::fromStdString(svg));
        double smallest = 1e9;
        QString texts;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QStringView size = xml.attributes().value(QLatin1String("font-size"));
            if (!size.isEmpty())
                smallest = std::min(smallest, size.toDouble());
            if (xml.name() == QLatin1String("text"))
                texts += xml.readElementText(QXmlStreamReader::IncludeChildElements) + QLatin1Char('\n');
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY2(smallest >= 11, qPrintable(QString::number(smallest)));
        QVERIFY2(texts.contains(QStringLiteral("9.6th centile · SGA")), qPrintable(texts));
        QVERIFY(!texts.contains(QStringLiteral("10th centile · SGA")));
        const reading::PregnancyChart chart = reading::pregnancyChart(engine::Population::UnitedKingdom, inputs);
        const ui::ChartFrame frame = ui::pregnancyChartFrame(chart, QRectF(0, 0, 340, 442));
        QVERIFY2(frame.plot.width() >= 180 && frame.plot.height() >= 200,
                 qPrintable(QStringLiteral("%1 x %2").arg(frame.plot.width()).arg(frame.plot.height())));
    }

    void everyFileFormatIsWritten()
    {
        QTemporaryDir dir;
        const reading::PregnancyChart chart = reading::pregnancyChart(engine::Population::UnitedKingdom, kTypical);
        const ui::PaintRoutine paint = [&](QPainter& painter, const QRectF& area) {
            ui::paintPregnancyChart(painter, area, chart);
        };
        struct Case {
            const char* file;
            QByteArray start;
        } cases[] = {{"c.png", "\x89PNG"}, {"c.SVG", "<?xml"}, {"c.pdf", "%PDF"}};
        for (const Case& c : cases) {
            const QString path = dir.filePath(QLatin1String(c.file));
            QCOMPARE(ui::writePicture(path, QSize(640, 480), QStringLiteral("t"), paint), QString());
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY2(file.read(c.start.size()) == c.start, c.file);
        }
        QCOMPARE(QImage(dir.filePath(QStringLiteral("c.png"))).size(), QSize(640, 480));
        QVERIFY(ui::writePicture(dir.filePath(QStringLiteral("c.gif")), kSize, {}, paint)
                    .contains(QLatin1String(".png, .svg or .pdf")));
        QVERIFY(ui::writePicture(dir.filePath(QStringLiteral("no/such/c.png")), kSize, {}, paint)
                    .startsWith(QLatin1String("cannot write")));
    }

    void histogramBarsHaveTheCountsHeights()
    {
        tabular::CohortSummary summary;
        summary.bins = {12, 0, 9, 10, 11, 10, 10, 8, 9, 21};
        summary.computed = 100;
        summary.rows = 100;
        summary.small = 12;
        summary.appropriate = 73;
        summary.large = 15;
        const QImage image = ui::pictureImage(QSize(1000, 600), [&](QPainter& painter, const QRectF& area) {
            ui::paintCohortSummary(painter, area, summary, QStringLiteral("Cohort"));
        });
        const ui::CohortSummaryFrame frame = ui::cohortSummaryFrame(summary, QRectF(0, 0, 1000, 600));
        const double pixelsPerBirth = frame.histogram.height() / frame.toCount;
        const QColor bar = image.pixelColor(frame.bars[0].center().toPoint());
        for (std::size_t b = 0; b < summary.bins.size(); ++b) {
            const QRectF& rect = frame.bars[b];
            QCOMPARE(rect.bottom(), frame.histogram.bottom());
            QVERIFY(std::abs(rect.height() - summary.bins[b] * pixelsPerBirth) < 1e-9);
            // Read back from the picture: the bar's colour just below its
            // top, and none just above it.
            const int x = int(rect.center().x());
            const QColor above = image.pixelColor(x, int(std::floor(rect.top())) - 3);
            QVERIFY2(!near(above, bar, 10), qPrintable(QStringLiteral("above bar %1").arg(b)));
            if (summary.bins[b] > 0)
                QVERIFY2(near(image.pixelColor(x, int(std::ceil(rect.top())) + 3), bar, 10),
                         qPrintable(QStringLiteral("inside bar %1").arg(b)));
        }
        // The expected line: a tenth of the computed rows.
        QVERIFY(std::abs(frame.histogram.bottom() - frame.expectedY - 10 * pixelsPerBirth) < 1e-9);
    }

    // The look-test: the window with the chart beside the control, following
    // a pick in the control, saved and printed.
    void windowShowsTheChartBesideTheControl()
    {
        ui::CalculatorWindow window(nullptr);
        window.resize(1150, 520);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ui::CalcWidget& control = window.calcWidget();
        ui::ChartWidget& chartWidget = window.chartWidget();
        QCOMPARE(control.size(), QSize(435, 146));
        QVERIFY(chartWidget.geometry().left() >= control.geometry().right());
        QVERIFY(chartWidget.width() >= 440 && chartWidget.height() >= 300);

        QVERIFY(control.calc().selectAsUser("Combobwt", "2500"));
        QVERIFY(control.calc().selectAsUser("Combogw", "37"));
        QVERIFY(chartWidget.chart().has_value());
        QCOMPARE(chartWidget.chart()->inputs.bwt, 2500.0);
        QCOMPARE(chartWidget.chart()->inputs.gestDays, 259.0);
        const QString shown = control.findChild<QLabel*>("output_label")->text();
        QCOMPARE(QString::number(std::floor(chartWidget.chart()->baby.centile() + 0.5)), shown);

        const QImage picture = window.grab().toImage();
        picture.save(QStringLiteral(WRENFIELD_UI_TEST_OUTPUT_DIR "/window-with-chart.png"));
        const ui::ChartFrame frame = ui::pregnancyChartFrame(*chartWidget.chart(), QRectF(chartWidget.rect()));
        const QPointF baby = frame.toPixels(37, 2500) + QPointF(chartWidget.mapTo(&window, QPoint(0, 0)));
        QVERIFY(near(picture.pixelColor(baby.toPoint()), Qt::black));

        QTemporaryDir dir;
        QCOMPARE(window.saveChart(dir.filePath(QStringLiteral("chart.svg"))), QString());
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        QVERIFY(window.printChart(printer));
        QFile printed(dir.filePath(QStringLiteral("printed.pdf")));
        QVERIFY(printed.open(QIODevice::ReadOnly));
        QCOMPARE(printed.read(4), QByteArray("%PDF"));
    }
};

QTEST_MAIN(GrowthChartTest)
#include "growth_chart_test.moc"
