#include "ui/qt/calculator_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "form/calc.h"
#include "ui/qt/calculator_window.h"

namespace wrenfield::ui {

namespace {

// Whether Qt has somewhere to open the window: a display, or a platform
// chosen by the user (-platform or QT_QPA_PLATFORM, offscreen for instance).
// Without one Qt would abort with a message about its platform plugins.
bool haveAPlatform(int argc, char** argv)
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

}  // namespace

int runCalculatorApp(int& argc, char** argv)
{
    if (!haveAPlatform(argc, argv)) {
        std::fprintf(stderr,
                     "%s: no display to open the calculator window on (neither DISPLAY nor WAYLAND_DISPLAY is "
                     "set).\nRun it on a desktop or under xvfb-run, or save a picture with "
                     "QT_QPA_PLATFORM=offscreen and --screenshot FILE.png\n",
                     argc > 0 ? argv[0] : "wrenfield-calculator");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("wrenfield-calculator"));
    // The installed desktop entry and icon (wrenfield-calculator.desktop and
    // the hicolor theme's wrenfield-calculator.png) name the window's program.
    QGuiApplication::setDesktopFileName(QStringLiteral("wrenfield-calculator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("wrenfield-calculator")));
    QApplication::setApplicationDisplayName(calculatorWindowTitle());
    QApplication::setApplicationVersion(
        QString::fromUtf8(form::kVersionText.data(), qsizetype(form::kVersionText.size())));

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
