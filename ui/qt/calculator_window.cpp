#include "ui/qt/calculator_window.h"

#include <QGridLayout>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>

#include "ui/qt/calc_widget.h"

namespace wrenfield::ui {

QString calculatorWindowTitle()
{
    return QStringLiteral("Customised birthweight centile");
}

CalculatorWindow::CalculatorWindow(ErrorSink errorSink, QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(calculatorWindowTitle());

    // The form: the control at its designed size in the top left corner, with
    // a margin. When the window grows the control stays as it is.
    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("form"));
    auto* layout = new QGridLayout(form);
    layout->setContentsMargins(12, 12, 12, 12);
    calcWidget_ = new CalcWidget(std::move(errorSink), form);
    layout->addWidget(calcWidget_, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    setCentralWidget(form);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About"), this, &CalculatorWindow::showAbout);

    calcWidget_->setFocus();
}

QString CalculatorWindow::aboutText() const
{
    const std::string& version = calcWidget_->calc().versionText().text();
    return tr("<p><b>Customised birthweight centile</b></p>"
              "<p>The percentage of babies, among those expected for this pregnancy, "
              "that weigh less than this baby: from the mother's height, booking weight, "
              "ethnic group and parity, the baby's sex, the gestation and the birthweight "
              "(United Kingdom coefficients).</p>"
              "<p>Control Wrenfield515UK.Calc, version %1</p>")
        .arg(QString::fromStdString(version).toHtmlEscaped());
}

void CalculatorWindow::showAbout()
{
    QMessageBox::about(this, tr("About %1").arg(calculatorWindowTitle()), aboutText());
}

}  // namespace wrenfield::ui
