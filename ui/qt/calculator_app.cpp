#include "ui/qt/calculator_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "form/calc.h"
#include "ui/qt/calculator_window.h"

namespace wrenfield::ui {

int runCalculatorApp(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("wrenfield-calculator"));
    QApplication::setApplicationDisplayName(calculatorWindowTitle());
    QApplication::setApplicationVersion(QString::fromUtf8(form::kVersionText.data(), qsizetype(form::kVersionText.size())));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens the customised birthweight centile calculator in a window."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a PNG picture of the window to <file> and quit."),
                                        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(app);

    CalculatorWindow window(errorLineOnStderr("wrenfield-calculator"));
    window.show();
    window.activateWindow();

    if (!parser.isSet(screenshot))
        return QApplication::exec();

    // Photograph the window once it is laid out and active (so the first list
    // shows the focus as a user sees it on opening), or after two seconds at
    // the latest.
    const QString file = parser.value(screenshot);
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (!window.isActiveWindow() && waited.elapsed() < 2000)
            return;
        poll.stop();
        if (!window.grab().save(file, "PNG")) {
            std::fprintf(stderr, "wrenfield-calculator: cannot write %s\n", qPrintable(file));
            status = 1;
        }
        QApplication::quit();
    });
    poll.start(20);
    QApplication::exec();
    return status;
}

}  // namespace wrenfield::ui
