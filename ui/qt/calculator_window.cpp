#include "ui/qt/calculator_window.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "form/calc.h"
#include "reading/population_choice.h"
#include "ui/qt/calc_widget.h"
#include "ui/qt/chart_widget.h"
#include "ui/qt/growth_chart_painter.h"
#include "ui/qt/picture_file.h"

namespace wrenfield::ui {

QString calculatorWindowTitle()
{
    return QStringLiteral("Customised birthweight centile");
}

namespace {

// "140 to 200", and the step between the first two entries, of a list of
// numbers (its entries as start-up filled them).
struct ListSpan {
    QString first, last;
    int step = 0;
};

ListSpan numberSpan(const DropDownList& list)
{
    ListSpan span;
    std::vector<int> numbers;
    for (const std::string& entry : list.entries()) {
        bool ok = false;
        const int number = QString::fromStdString(entry).toInt(&ok);
        if (ok)
            numbers.push_back(number);
    }
    if (numbers.empty())
        return span;
    span.first = QString::number(numbers.front());
    span.last = QString::number(numbers.back());
    span.step = numbers.size() > 1 ? numbers[1] - numbers[0] : 0;
    return span;
}

}  // namespace

QString calculatorComputesText(const form::Calc& calc)
{
    const std::optional<form::Calc::ListInputs> inputs = calc.listInputs();
    // The control computes with the United Kingdom's coefficients unless its
    // population is switched.
    const QString coefficients = QString::fromStdString(
        reading::coefficientSetLabel(inputs ? inputs->population : engine::Population::UnitedKingdom));
    const ListSpan height = numberSpan(calc.comboht());
    const ListSpan weight = numberSpan(calc.combowt());
    const ListSpan weeks = numberSpan(calc.combogw());
    const ListSpan birthweight = numberSpan(calc.combobwt());
    const auto steps = [](const ListSpan& span, const char* unit) {
        return QObject::tr("%1 to %2 %3 in steps of %4")
            .arg(span.first, span.last, QLatin1String(unit), QString::number(span.step));
    };
    return QObject::tr("Computes with the coefficients of %1, from the values of its lists: height %2, booking "
                       "weight %3, gestation %4 and 0 to 6 days, birthweight %5 (then \u201cOver 5000\u201d). "
                       "Other populations and values typed exactly: Help.")
        .arg(coefficients, steps(height, "cm"), steps(weight, "kg"), steps(weeks, "weeks"), steps(birthweight, "g"));
}

CalculatorWindow::CalculatorWindow(ErrorSink errorSink, QWidget* parent)
    : QMainWindow(parent)
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
    // Below the control, as wide as it: the band of the centile it shows
    // (the control's own caption stays a whole number), then what it computes.
    const auto lineBelow = [&](const char* name, int row) {
        auto* line = new QLabel(form);
        line->setObjectName(QLatin1String(name));
        line->setWordWrap(true);
        line->setTextFormat(Qt::PlainText);
        line->setFixedWidth(calcWidget_->sizeHint().width());
        line->setMargin(6);
        layout->addWidget(line, row, 0, Qt::AlignLeft | Qt::AlignTop);
        return line;
    };
    bandLabel_ = lineBelow("band", 1);
    computesLabel_ = lineBelow("computes", 2);
    computesLabel_->setText(calculatorComputesText(calcWidget_->calc()));
    chartWidget_ = new ChartWidget(*calcWidget_, form);
    layout->addWidget(chartWidget_, 0, 1, 4, 1);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);
    setCentralWidget(form);
    connect(chartWidget_, &ChartWidget::chartChanged, this, &CalculatorWindow::showBand);
    showBand();

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* save = file->addAction(tr("&Save chart…"), this, &CalculatorWindow::saveChartAs);
    save->setShortcut(QKeySequence::Save);
    QAction* print = file->addAction(tr("&Print…"), this, &CalculatorWindow::printChartWithDialog);
    print->setShortcut(QKeySequence::Print);
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&Other populations and typed values…"), this, &CalculatorWindow::showOtherWays);
    help->addAction(tr("&About"), this, &CalculatorWindow::showAbout);

    calcWidget_->setFocus();
}

void CalculatorWindow::showBand()
{
    const std::optional<reading::PregnancyChart>& chart = chartWidget_->chart();
    if (!chart) {
        bandLabel_->setText(chartWidget_->problem());
        bandLabel_->setStyleSheet(QString());
        return;
    }
    const reading::BirthResult& baby = chart->baby;
    bandLabel_->setText(tr("Centile %1: %2")
                            .arg(QString::fromStdString(reading::centileText(baby.centile(), baby.thresholds)),
                                 QString::fromStdString(reading::bandWords(baby.band, baby.thresholds))));
    // The page's colours: amber small, green appropriate, purple large.
    const std::string_view code = reading::bandCode(baby.band);
    const QString colours = code == "SGA" ? QStringLiteral("#b35900; background: #fff4e5")
        : code == "LGA"                   ? QStringLiteral("#6a1b9a; background: #f5ebf8")
                                          : QStringLiteral("#2e7d32; background: #edf7ed");
    bandLabel_->setStyleSheet(
        QStringLiteral("QLabel { font-weight: 600; color: black; border-left: 5px solid %1; }").arg(colours));
}

QString CalculatorWindow::otherWaysText() const
{
    return tr("<p>This window computes as the control does: with the United Kingdom coefficients, from the "
              "values its lists hold (whole centimetres, kilograms, weeks and days, birthweights in steps of "
              "50 g).</p>"
              "<p>For the other populations (United States, Sweden, New Zealand, Australia) and for values "
              "typed exactly (3.47 kg, 163.5 cm, 7lb8oz, 39+4):</p>"
              "<ul><li>on the command line: <code>custcent calc</code> (<code>custcent calc --help</code>), for "
              "example <code>custcent calc -p nz --bwt 3.47kg --gest 39+4 --wt 64.5 --ht 163.5 --sex Male "
              "--eth Maori --par 0</code>; a file of births: <code>custcent batch</code>;</li>"
              "<li>in a browser: the page of <code>custcent serve</code>, at http://127.0.0.1:8080/ once it "
              "runs.</li></ul>");
}

void CalculatorWindow::showOtherWays()
{
    QMessageBox::information(this, tr("Other populations and typed values"), otherWaysText());
}

QString CalculatorWindow::aboutText() const
{
    const std::string& version = calcWidget_->calc().versionText().text();
    return tr("<p><b>Customised birthweight centile</b></p>"
              "<p>The percentage of babies, among those expected for this pregnancy, "
              "that weigh less than this baby: from the mother's height, booking weight, "
              "ethnic group and parity, the baby's sex, the gestation and the birthweight "
              "(United Kingdom coefficients; Help \u2192 Other populations and typed values for the "
              "others).</p>"
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
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save chart"), QStringLiteral("chart.png"),
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
