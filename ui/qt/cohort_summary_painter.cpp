#include "ui/qt/cohort_summary_painter.h"

#include <QFont>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace wrenfield::ui {

namespace {

double textUnit(const QRectF& area)
{
    return std::clamp(std::min(area.height() / 40, area.width() / 60), 8.0, 40.0);
}

QFont summaryFont(double pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    font.setBold(bold);
    return font;
}

// A round step for a count scale reaching `top`: 1, 2, 5 times a power of ten,
// giving five to ten steps.
double countStep(double top)
{
    if (top <= 5)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(top / 5)));
    for (double multiple : {1.0, 2.0, 5.0, 10.0})
        if (top / (multiple * power) <= 10)
            return multiple * power;
    return 10 * power;
}

QString percentText(double percent)
{
    return QString::number(percent, 'f', 1) + QStringLiteral(" %");
}

const QColor kBarColour(0x4a, 0x6f, 0x9c);
const QColor kExpectedColour(0xb0, 0x20, 0x20);

}  // namespace

CohortSummaryFrame cohortSummaryFrame(const tabular::CohortSummary& summary, const QRectF& area)
{
    const double unit = textUnit(area);
    CohortSummaryFrame frame;
    const double top = area.top() + 4.2 * unit;
    const double bottom = area.bottom() - 6.2 * unit;
    const double split = area.left() + area.width() * 0.62;
    frame.histogram = QRectF(QPointF(area.left() + 5.2 * unit, top), QPointF(split - 2 * unit, bottom));
    frame.bands = QRectF(QPointF(split + 4.2 * unit, top), QPointF(area.right() - 1.5 * unit, bottom));

    const long largest = *std::max_element(summary.bins.begin(), summary.bins.end());
    const double highest = std::max({1.0, static_cast<double>(largest), summary.expectedPerBin()});
    const double step = countStep(highest);
    frame.toCount = std::ceil(highest * 1.08 / step) * step;

    const QRectF& plot = frame.histogram;
    const double binWidth = plot.width() / tabular::CohortSummary::kBins;
    auto yOf = [&](double count) { return plot.bottom() - count / frame.toCount * plot.height(); };
    for (std::size_t b = 0; b < frame.bars.size(); ++b) {
        const double left = plot.left() + binWidth * static_cast<double>(b) + binWidth * 0.08;
        frame.bars[b] = QRectF(QPointF(left, yOf(static_cast<double>(summary.bins[b]))),
                               QPointF(left + binWidth * 0.84, plot.bottom()));
    }
    frame.expectedY = yOf(summary.expectedPerBin());
    return frame;
}

void paintCohortSummary(QPainter& painter, const QRectF& area, const tabular::CohortSummary& summary,
                        const QString& title)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, Qt::white);
    const double unit = textUnit(area);
    const CohortSummaryFrame frame = cohortSummaryFrame(summary, area);
    const QPen grid(QColor(0xdd, 0xdd, 0xdd), std::max(1.0, 0.06 * unit));
    const QPen axis(Qt::black, std::max(1.0, 0.1 * unit));

    painter.setPen(Qt::black);
    painter.setFont(summaryFont(1.25 * unit, true));
    painter.drawText(QRectF(area.left() + unit, area.top() + 0.5 * unit, area.width() - 2 * unit, 1.8 * unit),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.setFont(summaryFont(0.9 * unit));
    painter.drawText(QRectF(area.left() + unit, area.top() + 2.2 * unit, area.width() - 2 * unit, 1.5 * unit),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1 rows: %2 with a centile, %3 missing a value, %4 failed; %5 flagged as "
                                    "implausible")
                         .arg(summary.rows)
                         .arg(summary.computed)
                         .arg(summary.missing)
                         .arg(summary.failed)
                         .arg(summary.flagged));

    // The histogram: counts on a round scale, one bar per tenth of the centile scale.
    const QRectF& plot = frame.histogram;
    const double step = countStep(frame.toCount / 1.08);
    painter.setFont(summaryFont(0.8 * unit));
    for (double count = 0; count <= frame.toCount + step / 1000; count += step) {
        const double y = plot.bottom() - count / frame.toCount * plot.height();
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(plot.left() - 4.6 * unit, y - unit, 4.2 * unit, 2 * unit),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(count, 'g', 12));
    }
    painter.setPen(QPen(Qt::black, std::max(1.0, 0.06 * unit)));
    painter.setBrush(kBarColour);
    for (std::size_t b = 0; b < frame.bars.size(); ++b)
        if (summary.bins[b] > 0)
            painter.drawRect(frame.bars[b]);
    const double binWidth = plot.width() / tabular::CohortSummary::kBins;
    for (std::size_t b = 0; b <= tabular::CohortSummary::kBins; ++b) {
        const double x = plot.left() + binWidth * static_cast<double>(b);
        painter.drawText(QRectF(x - 2 * unit, plot.bottom() + 0.3 * unit, 4 * unit, 1.2 * unit),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(b * 10));
    }
    // The count per bin of a standard that fits: a heavy dashed line.
    painter.setPen(QPen(kExpectedColour, std::max(1.0, 0.2 * unit), Qt::DashLine, Qt::FlatCap));
    painter.drawLine(QPointF(plot.left(), frame.expectedY), QPointF(plot.right(), frame.expectedY));
    painter.setPen(axis);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    painter.setPen(Qt::black);
    painter.setFont(summaryFont(0.9 * unit));
    painter.drawText(QRectF(plot.left(), plot.bottom() + 1.6 * unit, plot.width(), 1.4 * unit),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Customised centile"));
    painter.save();
    painter.translate(plot.left() - 4.6 * unit, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, -0.7 * unit, plot.height(), 1.4 * unit), Qt::AlignCenter,
                     QStringLiteral("Births"));
    painter.restore();

    // The bands: the cohort's share beside the share the thresholds expect.
    const QRectF& bands = frame.bands;
    painter.setFont(summaryFont(0.8 * unit));
    for (int percent = 0; percent <= 100; percent += 20) {
        const double y = bands.bottom() - percent / 100.0 * bands.height();
        painter.setPen(grid);
        painter.drawLine(QPointF(bands.left(), y), QPointF(bands.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(bands.left() - 4 * unit, y - unit, 3.6 * unit, 2 * unit),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 %").arg(percent));
    }
    struct Group {
        QString name;
        long count;
        double expected;
    } groups[] = {
        {QStringLiteral("SGA"), summary.small, summary.expectedSmallPercent},
        {QStringLiteral("AGA"), summary.appropriate, summary.expectedAppropriatePercent},
        {QStringLiteral("LGA"), summary.large, summary.expectedLargePercent},
    };
    const double groupWidth = bands.width() / 3;
    for (int g = 0; g < 3; ++g) {
        const double left = bands.left() + groupWidth * g;
        const double barWidth = groupWidth * 0.36;
        const double observed = summary.percentOfComputed(groups[g].count);
        auto barRect = [&](double x, double percent) {
            return QRectF(QPointF(x, bands.bottom() - std::clamp(percent, 0.0, 100.0) / 100 * bands.height()),
                          QPointF(x + barWidth, bands.bottom()));
        };
        const QRectF cohortBar = barRect(left + groupWidth * 0.12, observed);
        const QRectF expectedBar = barRect(left + groupWidth * 0.52, groups[g].expected);
        painter.setPen(QPen(Qt::black, std::max(1.0, 0.06 * unit)));
        painter.setBrush(kBarColour);
        painter.drawRect(cohortBar);
        painter.setBrush(QBrush(kExpectedColour, Qt::BDiagPattern));
        painter.setPen(QPen(kExpectedColour, std::max(1.0, 0.12 * unit)));
        painter.drawRect(expectedBar);
        painter.setPen(Qt::black);
        painter.setFont(summaryFont(0.75 * unit));
        painter.drawText(QRectF(cohortBar.center().x() - 3 * unit, cohortBar.top() - 1.3 * unit, 6 * unit, 1.2 * unit),
                         Qt::AlignHCenter | Qt::AlignBottom, percentText(observed));
        painter.setPen(kExpectedColour.darker(120));
        painter.drawText(
            QRectF(expectedBar.center().x() - 3 * unit, expectedBar.top() - 1.3 * unit, 6 * unit, 1.2 * unit),
            Qt::AlignHCenter | Qt::AlignBottom, percentText(groups[g].expected));
        painter.setPen(Qt::black);
        painter.setFont(summaryFont(0.9 * unit, true));
        painter.drawText(QRectF(left, bands.bottom() + 0.3 * unit, groupWidth, 1.3 * unit),
                         Qt::AlignHCenter | Qt::AlignTop,
                         QStringLiteral("%1 (%2)").arg(groups[g].name).arg(groups[g].count));
    }
    painter.setPen(axis);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bands);

    // The key, under both plots.
    const double keyY = area.bottom() - 2.6 * unit;
    const double swatch = 1.1 * unit;
    painter.setFont(summaryFont(0.85 * unit));
    double x = area.left() + unit;
    auto keyText = [&](const QString& text) {
        painter.setPen(Qt::black);
        const QRectF box(x, keyY - unit, area.width(), 2 * unit);
        QRectF used;
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text, &used);
        x = used.right() + 1.5 * unit;
    };
    painter.setPen(QPen(Qt::black, std::max(1.0, 0.06 * unit)));
    painter.setBrush(kBarColour);
    painter.drawRect(QRectF(x, keyY - swatch / 2, swatch, swatch));
    x += swatch + 0.4 * unit;
    keyText(QStringLiteral("this cohort"));
    painter.setPen(QPen(kExpectedColour, std::max(1.0, 0.2 * unit), Qt::DashLine, Qt::FlatCap));
    painter.drawLine(QPointF(x, keyY), QPointF(x + 2.4 * unit, keyY));
    x += 2.8 * unit;
    keyText(QStringLiteral("expected if the standard fits the cohort (%1 per bin)")
                .arg(QString::number(summary.expectedPerBin(), 'g', 6)));
    painter.setPen(QPen(kExpectedColour, std::max(1.0, 0.12 * unit)));
    painter.setBrush(QBrush(kExpectedColour, Qt::BDiagPattern));
    painter.drawRect(QRectF(x, keyY - swatch / 2, swatch, swatch));
    x += swatch + 0.4 * unit;
    keyText(QStringLiteral("expected share"));
    painter.restore();
}

}  // namespace wrenfield::ui
