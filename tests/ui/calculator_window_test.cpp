// The host window: its title, the control on its form, the About box with
// the version text, a control that stays put when the window grows, the band
// beside the control by the shared display rule, and what the window computes.
#include <QApplication>
#include <QComboBox>
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

    // The band is shown beside the control, its centile by the rule every
    // front end shows beside a band; the control's caption keeps its whole
    // number. 2950 g at the defaults is 9.63, small: the caption says 10, the
    // band line "9.6".
    void showsTheBandBesideTheControl()
    {
        ui::CalculatorWindow window(nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(
            window.bandLabel().text(),
            QStringLiteral("Centile 56: appropriate for gestational age (AGA, from the 10th to the 90th centile)"));
        auto* bwt = window.calcWidget().findChild<QComboBox*>(QStringLiteral("Combobwt"));
        QVERIFY(bwt);
        const int at = bwt->findText(QStringLiteral("2950"));
        QVERIFY(at >= 0);
        bwt->setCurrentIndex(at);
        emit bwt->activated(at);
        QTRY_COMPARE(window.bandLabel().text(),
                     QStringLiteral("Centile 9.6: small for gestational age (SGA, below the 10th centile)"));
        QCOMPARE(window.calcWidget().findChild<QLabel*>("output_label")->text(), QStringLiteral("10"));
        QVERIFY(window.bandLabel().isVisible());
        QVERIFY(window.bandLabel().geometry().top() >= window.calcWidget().geometry().bottom());
    }

    // The window says what it computes, and Help says where to compute the rest.
    void saysWhatItComputes()
    {
        ui::CalculatorWindow window(nullptr);
        const QString computes = window.computesLabel().text();
        for (const char* part : {"United Kingdom · coefficient set 5.15", "height 140 to 200 cm in steps of 1",
                                 "birthweight 400 to 5000 g in steps of 50", "gestation 20 to 44 weeks"})
            QVERIFY2(computes.contains(QString::fromUtf8(part)), qPrintable(computes));
        const QString help = window.otherWaysText();
        for (const char* part : {"custcent calc", "custcent serve", "New Zealand"})
            QVERIFY2(help.contains(QLatin1String(part)), qPrintable(help));
        QStringList items;
        for (QAction* menu : window.menuBar()->actions())
            if (menu->text() == QStringLiteral("&Help"))
                for (QAction* item : menu->menu()->actions())
                    items << item->text();
        QCOMPARE(items,
                 (QStringList{QStringLiteral("&Other populations and typed values…"), QStringLiteral("&About")}));
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
