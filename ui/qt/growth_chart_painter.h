// The customised growth chart of one pregnancy, drawn with QPainter. This one
// routine draws the chart for every target: the calculator window, PNG, SVG
// and PDF files, and the printer.
#pragma once

#include <QPointF>
#include <QRectF>

#include "reading/pregnancy_chart.h"

class QPainter;

namespace wrenfield::ui {

// Where the chart's plot lies in the area it is drawn in, and its scales.
struct ChartFrame {
    QRectF plot;          // the plot area, inside the axes
    double fromWeek = 0;  // the x axis: gestation in weeks
    double toWeek = 0;
    double fromGrams = 0;  // the y axis: weight in grams
    double toGrams = 0;

    QPointF toPixels(double weeks, double grams) const;
    // The point on the plot nearest to (weeks, grams): a value off the scales
    // lies on the plot's edge.
    QPointF toPixelsInside(double weeks, double grams) const;
    bool onScales(double weeks, double grams) const;
};

// The frame of `chart` drawn in `area`: the x axis covers the chart's weeks,
// the y axis 0 g up to a round weight above the 97th centile and the baby.
ChartFrame pregnancyChartFrame(const reading::PregnancyChart& chart, const QRectF& area);

// Draws the whole chart into `area`: title, axes, the five centile curves
// with their labels, the baby's point with its centile, and the term weight.
// Text sizes follow the area's height, so one routine serves a window and a
// page. Lines differ in style as well as in colour (black-and-white safe).
void paintPregnancyChart(QPainter& painter, const QRectF& area, const reading::PregnancyChart& chart);

// The chart's title and the line of the mother's and baby's details.
QString pregnancyChartTitle(const reading::PregnancyChart& chart);
QString pregnancyChartDetails(const reading::PregnancyChart& chart);
// "Check: " and the plausibility flags of the baby's inputs; empty without flags.
QString pregnancyChartFlags(const reading::PregnancyChart& chart);

}  // namespace wrenfield::ui
