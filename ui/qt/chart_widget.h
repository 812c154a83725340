// The growth chart of the pregnancy a Calc control shows. It follows every
// computation of the control through the form's observer (each one writes the
// result's caption) and draws the chart of the inputs the lists then hold.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>

#include "reading/pregnancy_chart.h"
#include "form/controls.h"

namespace wrenfield::form {
class Calc;
}

namespace wrenfield::ui {

class CalcWidget;

class ChartWidget : public QWidget, private ControlObserver {
    Q_OBJECT
public:
    // Follows the Calc of `calcWidget` for as long as both exist.
    explicit ChartWidget(CalcWidget& calcWidget, QWidget* parent = nullptr);
    ~ChartWidget() override;

    // The chart drawn now; nothing when the inputs give none (the reason is
    // then in problem()).
    const std::optional<reading::PregnancyChart>& chart() const noexcept { return chart_; }
    const QString& problem() const noexcept { return problem_; }

    // Draws the chart on `painter` in `area`, as the widget shows it.
    void paintChart(QPainter& painter, const QRectF& area) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The chart was drawn anew from the control's inputs.
    void chartChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void captionChanged(const Label& label) override;
    void refresh();

    CalcWidget* calcWidget_;
    std::optional<reading::PregnancyChart> chart_;
    QString problem_;
};

}  // namespace wrenfield::ui
