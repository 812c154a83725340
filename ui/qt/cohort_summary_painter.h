// The cohort summary drawn with QPainter, for PNG, SVG and PDF files: the
// histogram of the computed centiles in ten bins with the count a fitting
// standard gives each, the shares SGA, AGA and LGA beside their expected
// shares, and the rows that gave no centile.
#pragma once

#include <QRectF>
#include <QString>
#include <array>

#include "tabular/cohort_summary.h"

class QPainter;

namespace wrenfield::ui {

struct CohortSummaryFrame {
    QRectF histogram;                                        // the histogram's plot area
    double toCount = 0;                                      // the count at the top of its scale (0 at the bottom)
    std::array<QRectF, tabular::CohortSummary::kBins> bars;  // one per bin, from the bottom to its count
    double expectedY = 0;                                    // the line of the expected count per bin
    QRectF bands;  // the plot area of the SGA/AGA/LGA shares, 0 % to 100 % upwards
};

CohortSummaryFrame cohortSummaryFrame(const tabular::CohortSummary& summary, const QRectF& area);

void paintCohortSummary(QPainter& painter, const QRectF& area, const tabular::CohortSummary& summary,
                        const QString& title);

}  // namespace wrenfield::ui
