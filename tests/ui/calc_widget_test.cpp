// The Calc control on screen: picks by keyboard and mouse in each input list,
// the caption following the model, one computation per pick, the designed
// geometry, hidden controls, tab order, and how it looks.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QSet>
#include <QTest>

#include "form/calc_layout.h"
#include "ui/qt/calc_widget.h"
#include "ui_test_support.h"

using namespace wrenfield;
using wrenfield::ui::CalcWidget;
namespace names = wrenfield::form::names;

class CalcWidgetTest : public QObject {
    Q_OBJECT

private:
    struct Shown {
        std::vector<std::string> errors;
        std::unique_ptr<CalcWidget> widget;
    };
    // A control shown in a window of its own, active and ready for input;
    // errors escaping its handlers are collected.
    static std::unique_ptr<Shown> showControl()
    {
        auto shown = std::make_unique<Shown>();
        auto* errors = &shown->errors;
        shown->widget = std::make_unique<CalcWidget>([errors](const RuntimeError& error, std::string_view event) {
            errors->push_back(std::string(event) + ": " + error.what());
        });
        shown->widget->show();
        shown->widget->activateWindow();
        if (!QTest::qWaitForWindowActive(shown->widget.get()))
            qWarning("the window did not become active");
        return shown;
    }

    static QComboBox* listWidget(CalcWidget& widget, std::string_view name)
    {
        return widget.findChild<QComboBox*>(QString::fromUtf8(name.data(), qsizetype(name.size())));
    }

    static QString outputShown(CalcWidget& widget)
    {
        return widget.findChild<QLabel*>(QStringLiteral("output_label"))->text();
    }

    static void openPopupByKeyboard(QComboBox* combo)
    {
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        QTRY_VERIFY(combo->view()->isVisible());
    }

    // Opens the popup with a click on the list and clicks the entry in that row.
    static void pickWithMouse(QComboBox* combo, int row)
    {
        QTest::mouseClick(combo, Qt::LeftButton);
        QTRY_VERIFY(combo->view()->isVisible());
        const QModelIndex index = combo->model()->index(row, 0);
        combo->view()->scrollTo(index);
        const QPoint at = combo->view()->visualRect(index).center();
        // A release too soon after the popup opened is taken as the end of
        // the click that opened it.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseMove(combo->view()->viewport(), at);
        QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void startsWithTheModelsState()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        QCOMPARE(outputShown(widget), QStringLiteral("56"));
        QComboBox* bwt = listWidget(widget, names::Combobwt);
        QCOMPARE(bwt->count(), 94);
        QCOMPARE(bwt->currentText(), QStringLiteral("3500"));
        QCOMPARE(bwt->itemText(93), QStringLiteral("Over 5000"));
        QComboBox* eth = listWidget(widget, names::Comboeth);
        QCOMPARE(eth->count(), 10);
        QCOMPARE(eth->itemText(0), QStringLiteral("African"));
        QCOMPARE(eth->currentText(), QStringLiteral("European"));
        QCOMPARE(listWidget(widget, names::Combosex)->currentText(), QStringLiteral("Female"));
        for (std::string_view name : form::kInputLists)
            QVERIFY2(!listWidget(widget, name)->isEditable(), name.data());
    }

    // A pick in each input list, by keyboard (open the popup with Alt+Down,
    // move with a key, pick with Return) or by mouse (click the list, click
    // the entry): one Click, one computation, and the caption the model gives.
    void pick_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("key");          // 0: pick with the mouse
        QTest::addColumn<int>("presses");      // of the key in the open popup
        QTest::addColumn<QString>("caption");  // empty: as a fresh model computes it
        const int mouse = 0;
        QTest::newRow("height, keys") << "Comboht"
                                      << "180" << int(Qt::Key_Down) << 15 << "";
        QTest::newRow("weight, keys") << "Combowt"
                                      << "60" << int(Qt::Key_Up) << 5 << "";
        QTest::newRow("ethnic group, keys") << "Comboeth"
                                            << "Indian" << int(Qt::Key_Down) << 2 << "";
        QTest::newRow("parity, keys") << "Combopar"
                                      << "4 or more" << int(Qt::Key_End) << 1 << "";
        QTest::newRow("weeks, keys") << "Combogw"
                                     << "37" << int(Qt::Key_Up) << 3 << "";
        QTest::newRow("days, keys") << "Combogd"
                                    << "6" << int(Qt::Key_Down) << 6 << "";
        QTest::newRow("birthweight over 5000, keys") << "Combobwt"
                                                     << "Over 5000" << int(Qt::Key_End) << 1 << "100";
        QTest::newRow("birthweight 400, keys") << "Combobwt"
                                               << "400" << int(Qt::Key_Home) << 1 << "0";
        QTest::newRow("sex, keys") << "Combosex"
                                   << "Male" << int(Qt::Key_Up) << 1 << "";
        QTest::newRow("sex, mouse") << "Combosex"
                                    << "Male" << mouse << 0 << "";
        QTest::newRow("ethnic group, mouse") << "Comboeth"
                                             << "Pakistani" << mouse << 0 << "";
        QTest::newRow("birthweight 400, mouse") << "Combobwt"
                                                << "400" << mouse << 0 << "0";
        QTest::newRow("birthweight over 5000, mouse") << "Combobwt"
                                                      << "Over 5000" << mouse << 0 << "100";
        QTest::newRow("days, mouse") << "Combogd"
                                     << "3" << mouse << 0 << "";
        QTest::newRow("height, mouse") << "Comboht"
                                       << "150" << mouse << 0 << "";
    }

    void pick()
    {
        QFETCH(QString, list);
        QFETCH(QString, entry);
        QFETCH(int, key);
        QFETCH(int, presses);
        QFETCH(QString, caption);
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        ui::test::ComputationCounter computations(widget.calc());
        ui::test::ClickCounter clicks(widget.calc());

        QComboBox* combo = listWidget(widget, list.toStdString());
        QVERIFY(combo);
        if (key != 0) {
            openPopupByKeyboard(combo);
            for (int i = 0; i < presses; ++i)
                QTest::keyClick(combo->view(), Qt::Key(key));
            QTest::keyClick(combo->view(), Qt::Key_Return);
        } else {
            const int row = combo->findText(entry, Qt::MatchExactly);
            QVERIFY(row >= 0);
            pickWithMouse(combo, row);
        }
        QTRY_VERIFY(!combo->view()->isVisible());

        QCOMPARE(QString::fromStdString(widget.calc().list(list.toStdString())->text()), entry);
        QCOMPARE(combo->currentText(), entry);
        QCOMPARE(clicks.clicks, 1);
        QCOMPARE(computations.runs, 1);
        const QString expected = caption.isEmpty()
            ? QString::fromStdString(ui::test::captionAfterSelecting(list.toStdString(), entry.toStdString()))
            : caption;
        QCOMPARE(QString::fromStdString(widget.calc().outputLabel().caption()), expected);
        QCOMPARE(outputShown(widget), expected);
        QVERIFY(shown->errors.empty());
    }

    void maleChangesTheCentile()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        QComboBox* sex = listWidget(widget, names::Combosex);
        openPopupByKeyboard(sex);
        QTest::keyClick(sex->view(), Qt::Key_Home);
        QTest::keyClick(sex->view(), Qt::Key_Return);
        QTRY_COMPARE(sex->currentText(), QStringLiteral("Male"));
        QVERIFY(outputShown(widget) != QStringLiteral("56"));
        QCOMPARE(outputShown(widget), QString::fromStdString(widget.calc().outputLabel().caption()));
    }

    // Picking the entry already selected is a selection too: one Click, one run.
    void repickingTheSelectedEntryRecomputesOnce()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        ui::test::ComputationCounter computations(widget.calc());
        ui::test::ClickCounter clicks(widget.calc());
        QComboBox* bwt = listWidget(widget, names::Combobwt);

        openPopupByKeyboard(bwt);
        QTest::keyClick(bwt->view(), Qt::Key_Return);
        QTRY_VERIFY(!bwt->view()->isVisible());
        QCOMPARE(clicks.clicks, 1);
        QCOMPARE(computations.runs, 1);

        pickWithMouse(bwt, bwt->currentIndex());
        QTRY_VERIFY(!bwt->view()->isVisible());
        QCOMPARE(clicks.clicks, 2);
        QCOMPARE(computations.runs, 2);
        QCOMPARE(bwt->currentText(), QStringLiteral("3500"));
        QCOMPARE(outputShown(widget), QStringLiteral("56"));
    }

    // Moving in an open popup and closing it with Escape picks nothing.
    void escapeClosesThePopupWithoutAPick()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        ui::test::ClickCounter clicks(widget.calc());
        QComboBox* gw = listWidget(widget, names::Combogw);
        openPopupByKeyboard(gw);
        QTest::keyClick(gw->view(), Qt::Key_Up);
        QTest::keyClick(gw->view(), Qt::Key_Escape);
        QTRY_VERIFY(!gw->view()->isVisible());
        QCOMPARE(clicks.clicks, 0);
        QCOMPARE(widget.calc().combogw().text(), std::string("40"));
        QCOMPARE(gw->currentText(), QStringLiteral("40"));
    }

    // The arrow keys on a closed list select the next entry: a user's pick.
    void arrowKeyOnAClosedListSelects()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        ui::test::ComputationCounter computations(widget.calc());
        QComboBox* bwt = listWidget(widget, names::Combobwt);
        bwt->setFocus();
        QTest::keyClick(bwt, Qt::Key_Down);
        QCOMPARE(widget.calc().combobwt().text(), std::string("3550"));
        QCOMPARE(computations.runs, 1);
        QCOMPARE(outputShown(widget), QString::fromStdString(ui::test::captionAfterSelecting("Combobwt", "3550")));
    }

    // A change made by the program shows at once and raises no Click.
    void changesFromTheModelShowWithoutAClick()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        ui::test::ClickCounter clicks(widget.calc());
        widget.calc().combobwt().setText("400");
        QCOMPARE(listWidget(widget, names::Combobwt)->currentText(), QStringLiteral("400"));
        QCOMPARE(outputShown(widget), QStringLiteral("56"));  // no recompute without a Click
        QCOMPARE(clicks.clicks, 0);

        // The population switch refills the ethnic-group list on screen.
        widget.calc().selectAsUser(names::Combobase, "Sweden");
        QComboBox* eth = listWidget(widget, names::Comboeth);
        QCOMPARE(eth->count(), 27);
        QCOMPARE(eth->itemText(0), QStringLiteral("Scandinavian"));
        QCOMPARE(eth->itemText(26), QStringLiteral("Other"));
        QCOMPARE(eth->currentText(), QStringLiteral("Scandinavian"));
        QCOMPARE(clicks.clicks, 0);
        QCOMPARE(outputShown(widget), QString::fromStdString(widget.calc().outputLabel().caption()));
    }

    // An error escaping the Click handler goes to the error sink; no message
    // box, and the control keeps showing the model.
    void errorsGoToTheErrorSink()
    {
        struct FailingCaption : ControlObserver {
            void captionChanged(const Label& label) override
            {
                if (label.name() == names::OutputLabel)
                    raise(ErrorNumber::Overflow, "test");
            }
        } failing;
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        widget.calc().addObserver(failing);
        QComboBox* wt = listWidget(widget, names::Combowt);
        openPopupByKeyboard(wt);
        QTest::keyClick(wt->view(), Qt::Key_Down);
        QTest::keyClick(wt->view(), Qt::Key_Return);
        QTRY_VERIFY(!wt->view()->isVisible());
        widget.calc().removeObserver(failing);

        QCOMPARE(shown->errors.size(), std::size_t(1));
        QVERIFY2(shown->errors[0].starts_with("Combowt Click: "), shown->errors[0].c_str());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(wt->currentText(), QStringLiteral("66"));
        QCOMPARE(outputShown(widget), QString::fromStdString(widget.calc().outputLabel().caption()));
    }

    void geometry_data()
    {
        // Pixels at 96 dots per inch: the twips of the form divided by 15.
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Combobwt") << "Combobwt" << QRect(296, 33, 73, 21);
        QTest::newRow("Combogd") << "Combogd" << QRect(384, 1, 41, 21);
        QTest::newRow("Combogw") << "Combogw" << QRect(296, 1, 49, 21);
        QTest::newRow("Combowt") << "Combowt" << QRect(112, 33, 73, 21);
        QTest::newRow("Comboht") << "Comboht" << QRect(112, 1, 73, 21);
        QTest::newRow("Combopar") << "Combopar" << QRect(112, 97, 73, 21);
        QTest::newRow("Comboeth") << "Comboeth" << QRect(112, 65, 97, 21);
        QTest::newRow("Combosex") << "Combosex" << QRect(296, 65, 73, 21);
        QTest::newRow("Frame1") << "Frame1" << QRect(264, 92, 169, 41);
        QTest::newRow("output_label in Frame1") << "output_label" << QRect(119, 16, 33, 17);
        QTest::newRow("Label8 in Frame1") << "Label8" << QRect(16, 18, 105, 17);
        QTest::newRow("Label2b") << "Label2b" << QRect(344, 4, 33, 17);
        QTest::newRow("Label1") << "Label1" << QRect(208, 36, 81, 17);
        QTest::newRow("Label2") << "Label2" << QRect(184, 4, 105, 17);
        QTest::newRow("Label3") << "Label3" << QRect(0, 36, 105, 17);
        QTest::newRow("Label4") << "Label4" << QRect(0, 4, 105, 17);
        QTest::newRow("Label5") << "Label5" << QRect(208, 68, 81, 17);
        QTest::newRow("Label6") << "Label6" << QRect(24, 68, 81, 17);
        QTest::newRow("Label7") << "Label7" << QRect(24, 100, 81, 17);
    }

    void geometry()
    {
        QFETCH(QString, control);
        QFETCH(QRect, rect);
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        QCOMPARE(widget.logicalDpiX(), 96);
        QCOMPARE(widget.size(), QSize(435, 146));
        QWidget* child = widget.findChild<QWidget*>(control);
        QVERIFY(child);
        QVERIFY(child->isVisible());
        QCOMPARE(child->geometry(), rect);
        const bool inFrame = control == "output_label" || control == "Label8";
        QCOMPARE(child->parentWidget()->objectName(), inFrame ? QStringLiteral("Frame1") : QStringLiteral("Calc"));

        // A host that gives the control another size moves and resizes nothing.
        widget.resize(800, 400);
        QTest::qWait(10);
        QCOMPARE(child->geometry(), rect);
        widget.resize(200, 60);
        QTest::qWait(10);
        QCOMPARE(child->geometry(), rect);
    }

    // What a host binds to: each input property reads its list's text, and a
    // write is a pick there (recomputing); no name hides one of QWidget's.
    void hostProperties_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("entry");
        QTest::newRow("population") << "population"
                                    << "Combobase"
                                    << "Sweden";
        QTest::newRow("maternalHeight") << "maternalHeight"
                                        << "Comboht"
                                        << "150";
        QTest::newRow("gestationWeeks") << "gestationWeeks"
                                        << "Combogw"
                                        << "37";
        QTest::newRow("gestationDays") << "gestationDays"
                                       << "Combogd"
                                       << "3";
        QTest::newRow("bookingWeight") << "bookingWeight"
                                       << "Combowt"
                                       << "80";
        QTest::newRow("birthweight") << "birthweight"
                                     << "Combobwt"
                                     << "3000";
        QTest::newRow("ethnicGroup") << "ethnicGroup"
                                     << "Comboeth"
                                     << "Indian";
        QTest::newRow("sex") << "sex"
                             << "Combosex"
                             << "Male";
        QTest::newRow("parity") << "parity"
                                << "Combopar"
                                << "2";
    }

    void hostProperties()
    {
        QFETCH(QString, property);
        QFETCH(QString, list);
        QFETCH(QString, entry);
        CalcWidget widget;
        QVERIFY2(QWidget::staticMetaObject.indexOfProperty(qPrintable(property)) < 0,
                 "the property keeps a name of its own");
        QCOMPARE(widget.property(qPrintable(property)).toString(),
                 QString::fromStdString(widget.calc().list(list.toStdString())->text()));
        int recomputed = 0;
        QObject::connect(&widget, &CalcWidget::recomputed, [&] { ++recomputed; });
        QVERIFY(widget.setProperty(qPrintable(property), entry));
        QCOMPARE(widget.property(qPrintable(property)).toString(), entry);
        QCOMPARE(QString::fromStdString(widget.calc().list(list.toStdString())->text()), entry);
        QVERIFY(recomputed >= 1);
    }

    // QWidget's own geometry stays reachable under its own names.
    void widgetGeometryIsQWidgets()
    {
        CalcWidget widget;
        widget.resize(widget.sizeHint());
        const int height = widget.height();
        QCOMPARE(height, widget.sizeHint().height());
        QCOMPARE(widget.property("height").toInt(), height);
        QCOMPARE(widget.property("maternalHeight").toString(), QStringLiteral("165"));
        for (int i = CalcWidget::staticMetaObject.propertyOffset(); i < CalcWidget::staticMetaObject.propertyCount();
             ++i) {
            const char* name = CalcWidget::staticMetaObject.property(i).name();
            QVERIFY2(QWidget::staticMetaObject.indexOfProperty(name) < 0, name);
        }
    }

    void hiddenControlsAreNotShown()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        for (const char* name : {"Combobase", "Text1", "Label11", "Label12"}) {
            QVERIFY2(widget.findChild<QWidget*>(name) == nullptr, name);
            QVERIFY2(widget.widgetFor(name) == nullptr, name);
        }
        // Their contents are nowhere on screen either, though the model holds them.
        QCOMPARE(widget.calc().label11().caption(), std::string("5.15_UK"));
        for (QLabel* label : widget.findChildren<QLabel*>()) {
            QVERIFY(label->text() != QStringLiteral("5.15_UK"));
            QVERIFY(label->text() != QStringLiteral("United Kingdom"));
        }
        for (QComboBox* combo : widget.findChildren<QComboBox*>())
            QVERIFY(combo->findText(QStringLiteral("Sweden")) < 0);
        QCOMPARE(widget.findChildren<QComboBox*>().size(), 8);
    }

    // Tab moves through the lists in the order of their tab indexes.
    void tabOrder()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        const QStringList expected = {"Combosex", "Comboeth", "Combopar", "Comboht",
                                      "Combowt",  "Combogw",  "Combogd",  "Combobwt"};
        widget.setFocus();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, expected);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Combosex"));  // round again
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Combobwt"));
        for (QWidget* child : widget.findChildren<QWidget*>()) {
            if (!qobject_cast<QComboBox*>(child) && child->parentWidget() != nullptr &&
                !child->inherits("QAbstractItemView") && child->isVisible())
                QVERIFY2(child->focusPolicy() == Qt::NoFocus, qPrintable(child->objectName()));
        }
    }

    void appearance()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        const QColor lightBlue(192, 192, 255);
        const QColor lightRed(255, 192, 192);
        for (std::string_view name : form::kInputLists) {
            QComboBox* combo = listWidget(widget, name);
            QCOMPARE(combo->palette().color(QPalette::Base), lightBlue);
            QCOMPARE(combo->palette().color(QPalette::Text), QColor(Qt::black));
        }
        auto* output = widget.findChild<QLabel*>("output_label");
        QCOMPARE(output->palette().color(QPalette::Window), lightRed);
        QCOMPARE(output->palette().color(QPalette::WindowText), QColor(Qt::black));
        QVERIFY(output->alignment() & Qt::AlignHCenter);
        QVERIFY(widget.findChild<QLabel*>("Label8")->alignment() & Qt::AlignLeft);
        const QColor window = widget.palette().color(QPalette::Window);
        for (const char* name : {"Label1", "Label2", "Label2b", "Label3", "Label4", "Label5", "Label6", "Label7"}) {
            auto* label = widget.findChild<QLabel*>(name);
            QVERIFY2(label->alignment() & Qt::AlignRight, name);
            QCOMPARE(label->palette().color(QPalette::Window), window);
        }
        // Each list is known by the caption of the label that names it.
        QCOMPARE(listWidget(widget, names::Combobwt)->accessibleName(), QStringLiteral("Birthweight (g)"));
        QCOMPARE(listWidget(widget, names::Combogw)->accessibleName(), QStringLiteral("Gestation:  Weeks"));
        // Every caption that names something is read whole in the control's font.
        for (QLabel* label : widget.findChildren<QLabel*>()) {
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
            QVERIFY2(metrics.height() <= label->height(), qPrintable(label->text()));
        }
    }

    // A picture of the control, saved for people to look at and checked not
    // to be blank: the list colour, the result colour and dark text are in it.
    void picture()
    {
        auto shown = showControl();
        CalcWidget& widget = *shown->widget;
        const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QString file = QDir(WRENFIELD_UI_TEST_OUTPUT_DIR).filePath("calc_widget.png");
        QVERIFY(image.save(file, "PNG"));
        QCOMPARE(image.size() / image.devicePixelRatio(), QSize(435, 146));

        QSet<QRgb> colours;
        int lightBlue = 0, lightRed = 0, dark = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                colours.insert(pixel);
                lightBlue += pixel == qRgb(192, 192, 255);
                lightRed += pixel == qRgb(255, 192, 192);
                dark += qGray(pixel) < 64;
            }
        }
        QVERIFY2(colours.size() >= 8, qPrintable(QString::number(colours.size())));
        QVERIFY(lightBlue > 8 * 40);  // at least a field's worth in each list
        QVERIFY(lightRed > 200);
        QVERIFY(dark > 300);

        // The ethnic-group list open below itself, wide enough for every entry.
        QComboBox* eth = listWidget(widget, names::Comboeth);
        openPopupByKeyboard(eth);
        QWidget* popup = eth->view()->window();
        QVERIFY(popup->grab().save(QDir(WRENFIELD_UI_TEST_OUTPUT_DIR).filePath("calc_widget_open_list.png"), "PNG"));
        QVERIFY(popup->mapToGlobal(QPoint(0, 0)).y() >= eth->mapToGlobal(QPoint(0, eth->height())).y() - 1);
        QVERIFY(eth->view()->viewport()->width() >= eth->view()->sizeHintForColumn(0));
        const QImage open = popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(open.pixel(open.width() / 2, open.height() - 4), qRgb(192, 192, 255));  // below the last entry's text
        QTest::keyClick(eth->view(), Qt::Key_Escape);
    }
};

QTEST_MAIN(CalcWidgetTest)
#include "calc_widget_test.moc"
