// The host window: a small desktop window that places the Calc control on its
// form, with a File menu to quit and an About box that shows the control's
// version text.
#pragma once

#include <QMainWindow>

#include "platform/controls.h"

namespace wrenfield::ui {

class CalcWidget;

class CalculatorWindow : public QMainWindow {
    Q_OBJECT
public:
    // `errorSink` receives the errors that escape the control's handlers.
    explicit CalculatorWindow(ErrorSink errorSink, QWidget* parent = nullptr);

    CalcWidget& calcWidget() noexcept { return *calcWidget_; }

    // The text of the About box.
    QString aboutText() const;

public slots:
    void showAbout();

private:
    CalcWidget* calcWidget_;
};

// The window's title.
QString calculatorWindowTitle();

}  // namespace wrenfield::ui
