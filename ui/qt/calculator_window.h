// The host window: a desktop window that places the Calc control on its form
// with the growth chart of its pregnancy beside it, and below the control the
// band of its centile and what it computes (the United Kingdom coefficients,
// from lists in whole steps); a File menu to save or print the chart and to
// quit; a Help menu that points to custcent calc and the web page for the
// other populations and typed values, and an About box that shows the
// control's version text.
#pragma once

#include <QMainWindow>
#include <QSize>

#include "form/controls.h"

class QLabel;
class QPrinter;

namespace wrenfield::form {
class Calc;
}

namespace wrenfield::ui {

class CalcWidget;
class ChartWidget;

class CalculatorWindow : public QMainWindow {
    Q_OBJECT
public:
    // `errorSink` receives the errors that escape the control's handlers.
    explicit CalculatorWindow(ErrorSink errorSink, QWidget* parent = nullptr);

    CalcWidget& calcWidget() noexcept { return *calcWidget_; }
    ChartWidget& chartWidget() noexcept { return *chartWidget_; }

    // Writes the chart to a PNG, SVG or PDF file (by its extension); returns
    // an empty text on success, else what went wrong.
    QString saveChart(const QString& path, QSize size = kSavedChartSize) const;
    // Prints the chart on one page of `printer`, filling its printable area.
    bool printChart(QPrinter& printer) const;

    static constexpr QSize kSavedChartSize{1200, 800};

    // The text of the About box.
    QString aboutText() const;
    // Help > Other populations and typed values: where to compute what the
    // window cannot.
    QString otherWaysText() const;

    // The line beside the control that gives the band of its centile ("Centile
    // 9.9: small for gestational age (SGA, below the 10th centile)"), and the
    // line that says what the window computes.
    QLabel& bandLabel() noexcept { return *bandLabel_; }
    QLabel& computesLabel() noexcept { return *computesLabel_; }

public slots:
    void showAbout();
    void showOtherWays();
    // File > Save chart…: asks for a file and writes the chart to it.
    void saveChartAs();
    // File > Print…: the print dialog, then the chart on one page.
    void printChartWithDialog();

private:
    void showBand();

    CalcWidget* calcWidget_;
    ChartWidget* chartWidget_;
    QLabel* bandLabel_;
    QLabel* computesLabel_;
};

// What the window computes: "United Kingdom · coefficient set 5.15, from the
// lists: height 140 to 200 cm and booking weight 30 to 150 kg in steps of 1,
// ...".
QString calculatorComputesText(const form::Calc& calc);

// The window's title.
QString calculatorWindowTitle();

}  // namespace wrenfield::ui
