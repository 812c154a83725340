// Twips into pixels at other resolutions than 96 dpi, and the font that makes
// every caption fit its box.
#include <QFontMetrics>
#include <QTest>

#include "form/calc_layout.h"
#include "ui/qt/control_font.h"
#include "ui/qt/twips.h"

using namespace wrenfield;

class LayoutUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void twipsToPixels_data()
    {
        QTest::addColumn<int>("twips");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("designed width at 96") << 6525 << 96.0 << 435;
        QTest::newRow("designed height at 96") << 2190 << 96.0 << 146;
        QTest::newRow("two thirds of a pixel rounds up") << 1780 << 96.0 << 119;
        QTest::newRow("a third of a pixel rounds down") << 20 << 96.0 << 1;
        QTest::newRow("designed width at 120") << 6525 << 120.0 << 544;           // 543.75
        QTest::newRow("half a pixel rounds up, at 144") << 6525 << 144.0 << 653;  // 652.5
        QTest::newRow("designed height at 192") << 2190 << 192.0 << 292;
        QTest::newRow("zero") << 0 << 144.0 << 0;
    }

    void twipsToPixels()
    {
        QFETCH(int, twips);
        QFETCH(double, dpi);
        QFETCH(int, pixels);
        QCOMPARE(ui::twipsToPixels(twips, dpi), pixels);
    }

    void rectsAtOtherResolutions()
    {
        const ControlDescription& bwt = *form::findInCalcLayout(form::names::Combobwt);
        QCOMPARE(ui::pixelRect(bwt, {96, 96}), QRect(296, 33, 73, 21));
        QCOMPARE(ui::pixelRect(bwt, {144, 144}), QRect(444, 50, 110, 32));  // 49.5 and 109.5 round up
        QCOMPARE(ui::pixelSize(form::kDesignedWidth, form::kDesignedHeight, {192, 96}), QSize(870, 146));
    }

    void aFontThatFitsIsKept()
    {
        QFont font = QGuiApplication::font();
        font.setPointSizeF(9);
        const QFontMetrics metrics(font);
        const std::vector<ui::CaptionBox> boxes = {{"Sex", {metrics.horizontalAdvance("Sex"), metrics.height()}}};
        QCOMPARE(ui::fontFittingCaptions(font, boxes), font);
    }

    // Boxes from generous to tight: the fitted font always fits, narrows
    // before it shrinks, and never goes below 6 points.
    void aFontThatDoesNotFitIsNarrowedThenMadeSmaller_data()
    {
        QTest::addColumn<double>("widthShare");  // of the caption's width at 9 points
        QTest::addColumn<int>("heightPixels");
        QTest::addColumn<bool>("sameSize");
        QTest::newRow("a little too narrow: only narrowed") << 0.9 << 40 << true;
        QTest::newRow("far too narrow: also smaller") << 0.6 << 40 << false;
        QTest::newRow("too low: smaller") << 1.0 << 9 << false;
    }

    void aFontThatDoesNotFitIsNarrowedThenMadeSmaller()
    {
        QFETCH(double, widthShare);
        QFETCH(int, heightPixels);
        QFETCH(bool, sameSize);
        QFont font = QGuiApplication::font();
        font.setPointSizeF(9);
        const QString caption = QStringLiteral("Maternal height (cm)");
        const int width = int(QFontMetrics(font).horizontalAdvance(caption) * widthShare);
        const std::vector<ui::CaptionBox> boxes = {{caption, {width, heightPixels}}};
        QVERIFY(!ui::captionsFit(font, boxes));

        const QFont fitted = ui::fontFittingCaptions(font, boxes);
        QVERIFY(ui::captionsFit(fitted, boxes));
        QCOMPARE(fitted.family(), font.family());
        QCOMPARE(fitted.pointSizeF() == 9.0, sameSize);
        QVERIFY(fitted.pointSizeF() >= 6.0);
        if (sameSize)
            QVERIFY(fitted.stretch() < QFont::Unstretched && fitted.stretch() >= 75);
    }

    void anImpossibleBoxGivesTheSmallestFont()
    {
        const std::vector<ui::CaptionBox> boxes = {{QStringLiteral("Customised centile ="), {3, 3}}};
        const QFont fitted = ui::fontFittingCaptions(QGuiApplication::font(), boxes);
        QCOMPARE(fitted.pointSizeF(), 6.0);
        QCOMPARE(fitted.stretch(), 75);
    }
};

QTEST_MAIN(LayoutUnitsTest)
#include "layout_units_test.moc"
