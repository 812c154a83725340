// The host window: its title, the control on its form, the About box with
// the version text, and a control that stays put when the window grows.
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "ui/qt/calc_widget.h"
#include "ui/qt/calculator_window.h"

using namespace wrenfield;

class CalculatorWindowTest : public QObject {
    Q_OBJECT

private slots:
    void placesTheControlOnItsForm()
    {
        ui::CalculatorWindow window(nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Customised birthweight centile"));
        ui::CalcWidget& control = window.calcWidget();
        QCOMPARE(control.size(), QSize(435, 146));
        QCOMPARE(control.findChild<QLabel*>("output_label")->text(), QStringLiteral("56"));

        const QPoint place = control.pos();
        const QRect list = control.findChild<QWidget*>("Combobwt")->geometry();
        window.resize(window.width() + 300, window.height() + 200);
        QTRY_COMPARE(window.centralWidget()->width(), window.width());
        QCOMPARE(control.pos(), place);
        QCOMPARE(control.size(), QSize(435, 146));
        QCOMPARE(control.findChild<QWidget*>("Combobwt")->geometry(), list);
    }

    void aboutShowsTheVersion()
    {
        ui::CalculatorWindow window(nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.aboutText().contains(QStringLiteral("5.15_UK")));

        QAction* about = nullptr;
        for (QAction* menu : window.menuBar()->actions())
            if (menu->text() == QStringLiteral("&Help"))
                for (QAction* item : menu->menu()->actions())
                    if (item->text() == QStringLiteral("&About"))
                        about = item;
        QVERIFY(about);

        QString shownText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box) {
                shownText = box->text();
                box->accept();
            }
        });
        about->trigger();
        QVERIFY(shownText.contains(QStringLiteral("5.15_UK")));
    }
};

QTEST_MAIN(CalculatorWindowTest)
#include "calculator_window_test.moc"
