#include "ui/qt/calculator_window.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QKeySequence>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "form/calc.h"
#include "ui/qt/calc_widget.h"
#include "ui/qt/chart_widget.h"
#include "ui/qt/growth_chart_painter.h"
#include "ui/qt/picture_file.h"

namespace wrenfield::ui {

QString calculatorWindowTitle()
{
    return QStringLiteral("Customised birthweight centile");
}

CalculatorWindow::CalculatorWindow(ErrorSink errorSink, QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(calculatorWindowTitle());

    // The form: the control at its designed size in the top left corner, with
    // a margin, and the chart beside it. When the window grows the control
    // stays as it is and the chart takes the room.
    auto* form = new QWidget(this);
    form->setObjectName(QStringLiteral("form"));
    auto* layout = new QGridLayout(form);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setHorizontalSpacing(12);
    calcWidget_ = new CalcWidget(std::move(errorSink), form);
    layout->addWidget(calcWidget_, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    chartWidget_ = new ChartWidget(*calcWidget_, form);
    layout->addWidget(chartWidget_, 0, 1, 2, 1);
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(1, 1);
    setCentralWidget(form);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* save = file->addAction(tr("&Save chart…"), this, &CalculatorWindow::saveChartAs);
    save->setShortcut(QKeySequence::Save);
    QAction* print = file->addAction(tr("&Print…"), this, &CalculatorWindow::printChartWithDialog);
    print->setShortcut(QKeySequence::Print);
    file->addSeparator();
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

QString CalculatorWindow::saveChart(const QString& path, QSize size) const
{
    if (!chartWidget_->chart())
        return chartWidget_->problem();
    return writePicture(path, size, pregnancyChartTitle(*chartWidget_->chart()),
                        [this](QPainter& painter, const QRectF& area) { chartWidget_->paintChart(painter, area); });
}

bool CalculatorWindow::printChart(QPrinter& printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Drawn at 96 pixels to the inch, as on screen and in files, and scaled
    // to the printer's resolution: the text keeps its size on paper.
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = printer.resolution() / 96.0;
    painter.scale(scale, scale);
    chartWidget_->paintChart(painter, QRectF(0, 0, page.width() / scale, page.height() / scale));
    return painter.end();
}

void CalculatorWindow::saveChartAs()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save chart"), QStringLiteral("chart.png"),
                                                      tr("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    if (path.isEmpty())
        return;
    const QString problem = saveChart(path);
    if (!problem.isEmpty())
        QMessageBox::warning(this, tr("Save chart"), problem);
}

void CalculatorWindow::printChartWithDialog()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print chart"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!printChart(printer))
        QMessageBox::warning(this, tr("Print"), tr("The chart could not be printed."));
}

void CalculatorWindow::showAbout()
{
    QMessageBox::about(this, tr("About %1").arg(calculatorWindowTitle()), aboutText());
}

}  // namespace wrenfield::ui
