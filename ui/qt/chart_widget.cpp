#include "ui/qt/chart_widget.h"

#include <QPainter>
#include <exception>

#include "form/calc.h"
#include "ui/qt/calc_widget.h"
#include "ui/qt/growth_chart_painter.h"

namespace wrenfield::ui {

ChartWidget::ChartWidget(CalcWidget& calcWidget, QWidget* parent)
    : QWidget(parent)
    , calcWidget_(&calcWidget)
{
    setObjectName(QStringLiteral("chart"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // When the control goes first (the window closing), it takes the form and
    // its list of observers with it.
    connect(&calcWidget, &QObject::destroyed, this, [this] { calcWidget_ = nullptr; });
    calcWidget.calc().addObserver(*this);
    refresh();
}

ChartWidget::~ChartWidget()
{
    if (calcWidget_)
        calcWidget_->calc().removeObserver(*this);
}

void ChartWidget::captionChanged(const Label& label)
{
    // The computation writes the result's caption once, as its last step.
    if (calcWidget_ && &label == &calcWidget_->calc().outputLabel())
        refresh();
}

void ChartWidget::refresh()
{
    chart_.reset();
    problem_.clear();
    try {
        const std::optional<form::Calc::ListInputs> inputs = calcWidget_->calc().listInputs();
        if (inputs)
            chart_ = reading::pregnancyChart(inputs->population, inputs->inputs);
        else
            problem_ = tr("No chart: no population is selected.");
    } catch (const std::exception& error) {
        problem_ = tr("No chart: %1.").arg(QString::fromUtf8(error.what()));
    }
    update();
    emit chartChanged();
}

void ChartWidget::paintChart(QPainter& painter, const QRectF& area) const
{
    if (chart_) {
        paintPregnancyChart(painter, area, *chart_);
        return;
    }
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, problem_);
}

void ChartWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintChart(painter, QRectF(rect()));
}

QSize ChartWidget::sizeHint() const
{
    return {720, 480};
}

QSize ChartWidget::minimumSizeHint() const
{
    return {440, 300};
}

}  // namespace wrenfield::ui
