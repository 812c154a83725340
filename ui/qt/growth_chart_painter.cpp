#include "ui/qt/growth_chart_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "reading/band.h"
#include "engine/coefficient_set.h"
#include "reading/plausibility.h"

namespace wrenfield::ui {

namespace {

// The unit every size on the chart is measured in: the height of body text,
// in the area's pixels. It follows the area's size, within limits that keep
// the text readable on a phone or a small window (the smallest text, 0.85 of
// the unit, is 11 pixels) and not huge on a poster.
constexpr double kSmallestText = 0.85;
constexpr double kMinTextUnit = 13;
static_assert(kSmallestText * kMinTextUnit >= 11);

double textUnit(const QRectF& area)
{
    return std::clamp(std::min(area.height() / 40, area.width() / 55), kMinTextUnit, 40.0);
}

// The y axis reaches at least this far above the 97th centile; a baby heavier
// than 1.5 times its highest point is shown on the top edge.
constexpr double kGramsStep = 500;
constexpr double kBabyHeadroom = 1.5;

QString numberText(double value)
{
    return QString::number(value, 'g', 10);
}

QString gramsText(double grams)
{
    return QString::number(std::lround(grams)) + QStringLiteral(" g");
}

QString ordinal(double n)
{
    return QString::fromStdString(reading::ordinalText(n));
}

// The centile in words as every front end shows it beside its band (whole,
// or one decimal where the whole number would contradict the band); the far
// ends say which side of the scale the baby lies on.
QString centileWords(double centile, const reading::BandThresholds& thresholds)
{
    const std::string text = reading::centileText(centile, thresholds);
    double shown = 0;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    if (shown < 1)
        return QStringLiteral("below the 1st centile");
    if (shown > 99)
        return QStringLiteral("above the 99th centile");
    return ordinal(shown) + QStringLiteral(" centile");
}

// "39+4 weeks" for a whole number of days, else the days as given.
QString gestationText(double days)
{
    if (days >= 0 && days == std::floor(days) && days < 1e6) {
        const long whole = static_cast<long>(days);
        return QStringLiteral("%1+%2 weeks").arg(whole / 7).arg(whole % 7);
    }
    return numberText(days) + QStringLiteral(" days");
}

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString groupText(const engine::CoefficientSet& set, double code)
{
    if (code == std::floor(code) && std::fabs(code) < 32768)
        if (const engine::EthnicGroup* group = engine::ethnicGroupByCode(set, static_cast<std::int16_t>(code)))
            return toQString(group->name);
    return QStringLiteral("ethnic group %1").arg(numberText(code));
}

QString parityText(double par)
{
    for (int code = 0; code < 4; ++code)
        if (par == code)
            return QStringLiteral("parity %1").arg(code);
    return QStringLiteral("parity 4 or more");
}

struct CurveStyle {
    QColor colour;
    double width;  // in text units
    Qt::PenStyle style;
};

// Centre line solid and heavy, 10th and 90th dashed, 3rd and 97th dotted: the
// styles tell the curves apart in black and white as well as in colour.
CurveStyle curveStyle(double centile)
{
    if (centile == 50)
        return {QColor(0x1f, 0x3b, 0x73), 0.22, Qt::SolidLine};
    if (centile == 10 || centile == 90)
        return {QColor(0x2e, 0x6f, 0xb5), 0.16, Qt::DashLine};
    return {QColor(0x55, 0x55, 0x55), 0.14, Qt::DotLine};
}

QFont chartFont(double pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixelSize))));
    font.setBold(bold);
    return font;
}

double highestCurveWeight(const reading::PregnancyChart& chart)
{
    double highest = 0;
    for (const engine::ChartCurve& curve : chart.curves)
        for (const engine::ChartPoint& point : curve.points)
            highest = std::max(highest, point.grams);
    return highest;
}

QPainterPath curvePath(const ChartFrame& frame, const engine::ChartCurve& curve)
{
    QPainterPath path;
    for (std::size_t i = 0; i < curve.points.size(); ++i) {
        const QPointF p = frame.toPixels(curve.points[i].weeks, curve.points[i].grams);
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

void paintAxes(QPainter& painter, const ChartFrame& frame, double unit)
{
    const QRectF& plot = frame.plot;
    painter.setFont(chartFont(kSmallestText * unit));
    const QFontMetricsF metrics(painter.font());
    const QPen grid(QColor(0xdd, 0xdd, 0xdd), std::max(1.0, 0.06 * unit));
    const QPen axis(Qt::black, std::max(1.0, 0.1 * unit));

    // Weight: a grid line every 500 g, labelled every 500 g or, on a tall
    // scale, every 1000 g.
    const double labelEvery = frame.toGrams - frame.fromGrams > 5000 ? 1000 : 500;
    for (double grams = frame.fromGrams; grams <= frame.toGrams + 0.5; grams += kGramsStep) {
        const double y = frame.toPixels(frame.fromWeek, grams).y();
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        if (std::fmod(grams, labelEvery) == 0) {
            painter.setPen(Qt::black);
            const QString text = QString::number(static_cast<long>(grams));
            painter.drawText(QRectF(plot.left() - 5 * unit, y - unit, 4.6 * unit, 2 * unit),
                             Qt::AlignRight | Qt::AlignVCenter, text);
        }
    }
    // Gestation: a grid line every week, labelled every week when there is
    // room, else every second week.
    const double weekWidth = plot.width() / (frame.toWeek - frame.fromWeek);
    const int labelWeeks = weekWidth >= metrics.horizontalAdvance(QStringLiteral("44")) * 1.6 ? 1 : 2;
    for (double week = frame.fromWeek; week <= frame.toWeek + 1e-9; week += 1) {
        const double x = frame.toPixels(week, frame.fromGrams).x();
        painter.setPen(grid);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        if (static_cast<long>(week) % labelWeeks == 0) {
            painter.setPen(Qt::black);
            painter.drawText(QRectF(x - 2 * unit, plot.bottom() + 0.3 * unit, 4 * unit, 1.2 * unit),
                             Qt::AlignHCenter | Qt::AlignTop, QString::number(static_cast<long>(week)));
        }
    }
    painter.setPen(axis);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    painter.setPen(Qt::black);
    painter.setFont(chartFont(0.95 * unit));
    painter.drawText(QRectF(plot.left(), plot.bottom() + 1.6 * unit, plot.width(), 1.4 * unit),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Gestation at birth (completed weeks)"));
    painter.save();
    painter.translate(plot.left() - 5.3 * unit, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, -0.7 * unit, plot.height(), 1.4 * unit), Qt::AlignCenter,
                     QStringLiteral("Weight (g)"));
    painter.restore();
}

void paintCurves(QPainter& painter, const ChartFrame& frame, const reading::PregnancyChart& chart, double unit)
{
    painter.save();
    painter.setClipRect(frame.plot);
    // The band of appropriate size, between the 10th and the 90th, lightly shaded.
    const engine::ChartCurve* low = chart.curve(10);
    const engine::ChartCurve* high = chart.curve(90);
    if (low && high) {
        QPainterPath band = curvePath(frame, *low);
        const QPainterPath top = curvePath(frame, *high).toReversed();
        for (int i = 0; i < top.elementCount(); ++i)
            band.lineTo(top.elementAt(i).x, top.elementAt(i).y);
        band.closeSubpath();
        painter.fillPath(band, QColor(0xee, 0xf3, 0xfa));
    }
    painter.setBrush(Qt::NoBrush);
    for (const engine::ChartCurve& curve : chart.curves) {
        const CurveStyle style = curveStyle(curve.centile);
        QPen pen(style.colour, std::max(1.0, style.width * unit), style.style, Qt::FlatCap, Qt::RoundJoin);
        painter.setPen(pen);
        painter.drawPath(curvePath(frame, curve));
    }
    painter.restore();

    // Each curve's name at its right end; names too close are pushed apart.
    struct Name {
        double y;
        QString text;
        CurveStyle style;
    };
    std::vector<Name> names;
    for (const engine::ChartCurve& curve : chart.curves) {
        if (curve.points.empty())
            continue;
        const engine::ChartPoint& last = curve.points.back();
        names.push_back(
            {frame.toPixelsInside(last.weeks, last.grams).y(), ordinal(curve.centile), curveStyle(curve.centile)});
    }
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) { return a.y > b.y; });
    const double spacing = 1.05 * unit;
    for (std::size_t i = 1; i < names.size(); ++i)
        names[i].y = std::min(names[i].y, names[i - 1].y - spacing);
    painter.setFont(chartFont(kSmallestText * unit, true));
    for (const Name& name : names) {
        painter.setPen(name.style.colour.darker(130));
        painter.drawText(QRectF(frame.plot.right() + 0.4 * unit, name.y - unit, 4 * unit, 2 * unit),
                         Qt::AlignLeft | Qt::AlignVCenter, name.text);
    }
}

void paintBaby(QPainter& painter, const ChartFrame& frame, const reading::PregnancyChart& chart, double unit)
{
    const double weeks = chart.baby.detail.weeks;
    const double grams = chart.inputs.bwt;
    const bool onScales = frame.onScales(weeks, grams);
    const QPointF point = frame.toPixelsInside(weeks, grams);

    // A filled disc with a white rim, on the scales; an open one on the edge
    // for a baby beyond them.
    const double radius = 0.45 * unit;
    painter.setPen(QPen(onScales ? Qt::white : Qt::black, std::max(1.0, 0.12 * unit)));
    painter.setBrush(onScales ? QBrush(Qt::black) : QBrush(Qt::white));
    painter.drawEllipse(point, radius, radius);

    QStringList lines;
    lines << QStringLiteral("Baby %1 at %2").arg(gramsText(grams), gestationText(chart.inputs.gestDays));
    lines << QStringLiteral("%1 · %2").arg(
        centileWords(chart.baby.detail.centile, chart.thresholds),
        QString::fromStdString(reading::bandLabel(chart.baby.band, chart.thresholds)));
    if (!onScales)
        lines << QStringLiteral("(beyond the chart's scales)");

    painter.setFont(chartFont(0.9 * unit, true));
    const QFontMetricsF metrics(painter.font());
    double width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const double pad = 0.35 * unit;
    const QSizeF box(width + 2 * pad, metrics.height() * double(lines.size()) + 2 * pad);
    // Above and to the left of the point unless that leaves the plot.
    QPointF corner(point.x() - box.width() - radius, point.y() - box.height() - radius);
    if (corner.x() < frame.plot.left() + pad)
        corner.setX(point.x() + radius);
    if (corner.y() < frame.plot.top() + pad)
        corner.setY(point.y() + radius);
    corner.setX(std::clamp(corner.x(), frame.plot.left() + pad,
                           std::max(frame.plot.left() + pad, frame.plot.right() - box.width() - pad)));
    corner.setY(std::clamp(corner.y(), frame.plot.top() + pad,
                           std::max(frame.plot.top() + pad, frame.plot.bottom() - box.height() - pad)));
    const QRectF label(corner, box);
    painter.setPen(QPen(Qt::black, std::max(1.0, 0.06 * unit)));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(label);
    painter.setPen(Qt::black);
    painter.drawText(label.adjusted(pad, pad, -pad, -pad), Qt::AlignLeft | Qt::AlignTop, lines.join(QLatin1Char('\n')));
}

}  // namespace

QPointF ChartFrame::toPixels(double weeks, double grams) const
{
    const double x = plot.left() + (weeks - fromWeek) / (toWeek - fromWeek) * plot.width();
    const double y = plot.bottom() - (grams - fromGrams) / (toGrams - fromGrams) * plot.height();
    return {x, y};
}

QPointF ChartFrame::toPixelsInside(double weeks, double grams) const
{
    return toPixels(std::clamp(weeks, fromWeek, toWeek), std::clamp(grams, fromGrams, toGrams));
}

bool ChartFrame::onScales(double weeks, double grams) const
{
    return weeks >= fromWeek && weeks <= toWeek && grams >= fromGrams && grams <= toGrams;
}

namespace {

// Where the lines of text above and below the plot go: the title, the
// mother's and baby's details and the flags above, the formula below. Each
// keeps its line where the area is wide enough and wraps where it is not (a
// phone), and the plot takes the room that is left.
struct TextLayout {
    QRectF title, details, flags, footer;
    double headerBottom = 0;
};

QString footerText(const reading::PregnancyChart& chart)
{
    const engine::CoefficientSet& set = engine::coefficients(chart.population);
    return QStringLiteral("Term weight TW = %1 · expected weight E = P(gestation) × TW · curves E + z × S, "
                          "spread S = E × %2")
        .arg(gramsText(chart.baby.detail.termWeight), numberText(set.coefficientOfVariation));
}

double wrappedHeight(const QFont& font, double width, const QString& text, double atLeast)
{
    const QFontMetricsF metrics(font);
    const QRectF bounds =
        metrics.boundingRect(QRectF(0, 0, std::max(1.0, width), 1e6), Qt::AlignLeft | Qt::TextWordWrap, text);
    return std::max(atLeast, bounds.height());
}

TextLayout textLayout(const reading::PregnancyChart& chart, const QRectF& area, double unit)
{
    TextLayout layout;
    const double left = area.left() + unit;
    const double width = area.width() - 2 * unit;
    double y = area.top() + 0.5 * unit;
    const double titleHeight =
        wrappedHeight(chartFont(1.25 * unit, true), width, pregnancyChartTitle(chart), 1.7 * unit);
    layout.title = QRectF(left, y, width, titleHeight);
    y += titleHeight;
    const double detailsHeight = wrappedHeight(chartFont(0.9 * unit), width, pregnancyChartDetails(chart), 1.4 * unit);
    layout.details = QRectF(left, y, width, detailsHeight);
    y += detailsHeight;
    if (!chart.baby.flags.empty()) {
        const double flagsHeight =
            wrappedHeight(chartFont(0.9 * unit, true), width, pregnancyChartFlags(chart), 1.4 * unit);
        layout.flags = QRectF(left, y, width, flagsHeight);
        y += flagsHeight;
    }
    layout.headerBottom = y + 0.8 * unit;
    const double footerHeight = wrappedHeight(chartFont(kSmallestText * unit), width, footerText(chart), 1.8 * unit);
    layout.footer = QRectF(left, area.bottom() - 0.4 * unit - footerHeight, width, footerHeight);
    return layout;
}

}  // namespace

ChartFrame pregnancyChartFrame(const reading::PregnancyChart& chart, const QRectF& area)
{
    const double unit = textUnit(area);
    ChartFrame frame;
    frame.fromWeek = chart.fromWeek;
    frame.toWeek = chart.toWeek;
    frame.fromGrams = 0;
    const double highest = highestCurveWeight(chart);
    double top = highest;
    if (std::isfinite(chart.inputs.bwt))
        top = std::max(top, std::min(chart.inputs.bwt, kBabyHeadroom * highest));
    frame.toGrams = std::max(kGramsStep, std::ceil(top / kGramsStep) * kGramsStep);
    if (frame.toGrams - top < 0.02 * frame.toGrams)
        frame.toGrams += kGramsStep;
    // Room for the title and details above, the weight labels and the axis
    // title on the left, the curve names on the right, and the gestation
    // labels, axis title and the term weight below.
    const TextLayout text = textLayout(chart, area, unit);
    const double bottom = text.footer.top() - 3.4 * unit;
    frame.plot = QRectF(area.left() + 6.4 * unit, text.headerBottom, area.width() - 6.4 * unit - 3.6 * unit,
                        std::max(unit, bottom - text.headerBottom));
    return frame;
}

QString pregnancyChartTitle(const reading::PregnancyChart& chart)
{
    return QStringLiteral("Customised growth chart · %1").arg(toQString(engine::coefficients(chart.population).name));
}

QString pregnancyChartDetails(const reading::PregnancyChart& chart)
{
    const engine::CoefficientSet& set = engine::coefficients(chart.population);
    const engine::CentileInputs& in = chart.inputs;
    return QStringLiteral("Mother: height %1 cm, booking weight %2 kg, %3, %4 · Baby: %5")
        .arg(numberText(in.ht), numberText(in.wt), groupText(set, in.eth), parityText(in.par),
             in.sex == 1 ? QStringLiteral("male") : QStringLiteral("female"));
}

QString pregnancyChartFlags(const reading::PregnancyChart& chart)
{
    if (chart.baby.flags.empty())
        return {};
    return QStringLiteral("Check: ") + QString::fromStdString(reading::flagTexts(chart.baby.flags, "; "));
}

void paintPregnancyChart(QPainter& painter, const QRectF& area, const reading::PregnancyChart& chart)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(area, Qt::white);

    const double unit = textUnit(area);
    const ChartFrame frame = pregnancyChartFrame(chart, area);

    const TextLayout text = textLayout(chart, area, unit);
    const int wrapped = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
    painter.setPen(Qt::black);
    painter.setFont(chartFont(1.25 * unit, true));
    painter.drawText(text.title, wrapped, pregnancyChartTitle(chart));
    painter.setFont(chartFont(0.9 * unit));
    painter.drawText(text.details, wrapped, pregnancyChartDetails(chart));

    if (!chart.baby.flags.empty()) {
        painter.setPen(QColor(0xa0, 0x10, 0x10));
        painter.setFont(chartFont(0.9 * unit, true));
        painter.drawText(text.flags, wrapped, pregnancyChartFlags(chart));
    }

    paintAxes(painter, frame, unit);
    paintCurves(painter, frame, chart, unit);
    paintBaby(painter, frame, chart, unit);

    painter.setPen(Qt::black);
    painter.setFont(chartFont(kSmallestText * unit));
    painter.drawText(text.footer, wrapped, footerText(chart));
    painter.restore();
}

}  // namespace wrenfield::ui
