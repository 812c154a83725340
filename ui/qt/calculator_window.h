// The host window: a desktop window that places the Calc control on its form
// with the growth chart of its pregnancy beside it, a File menu to save or
// print the chart and to quit, and an About box that shows the control's
// version text.
#pragma once

#include <QMainWindow>
#include <QSize>

#include "form/controls.h"

class QPrinter;

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

public slots:
    void showAbout();
    // File > Save chart…: asks for a file and writes the chart to it.
    void saveChartAs();
    // File > Print…: the print dialog, then the chart on one page.
    void printChartWithDialog();

private:
    CalcWidget* calcWidget_;
    ChartWidget* chartWidget_;
};

// The window's title.
QString calculatorWindowTitle();

}  // namespace wrenfield::ui
