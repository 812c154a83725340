// A Qt host builds a form holding the control from a .ui file through
// QUiLoader (which finds the control through its Designer plugin), picks an
// entry and sees the centile change.
//   ui_loader PLUGIN_DIR FORM.ui
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QUiLoader>
#include <cmath>
#include <cstdio>
#include <memory>

#include <wrenfield/ui/qt/calc_widget.h>

#include "qt_check.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ui_loader PLUGIN_DIR FORM.ui\n");
        return 2;
    }
    QUiLoader loader;
    loader.addPluginPath(QString::fromLocal8Bit(argv[1]));
    expect(loader.availableWidgets().contains(QStringLiteral("wrenfield::ui::CalcWidget")),
           "QUiLoader knows the control");

    QFile file(QString::fromLocal8Bit(argv[2]));
    expect(file.open(QIODevice::ReadOnly), "the .ui file opens");
    std::unique_ptr<QWidget> form(loader.load(&file));
    expect(form != nullptr, "the form loads");
    if (!form) {
        std::fprintf(stderr, "%s\n", qPrintable(loader.errorString()));
        return 1;
    }
    auto* calc = form->findChild<wrenfield::ui::CalcWidget*>(QStringLiteral("calc"));
    expect(calc != nullptr, "the form holds the control as a CalcWidget");
    if (!calc)
        return 1;
    form->show();

    // The .ui file picked Male: the defaults otherwise (3500 g at 40 weeks).
    expect(calc->property("sex").toString() == QStringLiteral("Male"), "the .ui file's sex property applied");
    expect(calc->property("centile").toDouble() == 46, "the centile of the .ui file's inputs");
    expect(calc->size() == calc->sizeHint(), "the control keeps its designed size");

    double seen = std::nan("");
    int changes = 0, recomputes = 0, errors = 0;
    QObject::connect(calc, &wrenfield::ui::CalcWidget::centileChanged, [&](double centile) {
        seen = centile;
        ++changes;
    });
    QObject::connect(calc, &wrenfield::ui::CalcWidget::recomputed, [&] { ++recomputes; });
    QObject::connect(
        calc, &wrenfield::ui::CalcWidget::handlerError, [&](int number, const QString&, const QString& event) {
            expect(number == 380 && event == QStringLiteral("Combobwt Click"), "the error names its number and event");
            ++errors;
        });

    // A user's pick in the birthweight list.
    auto* birthweight = qobject_cast<QComboBox*>(calc->widgetFor("Combobwt"));
    expect(birthweight != nullptr, "the birthweight list is a combo box");
    const int index = birthweight ? birthweight->findText(QStringLiteral("3000")) : -1;
    expect(index >= 0, "the birthweight list holds 3000");
    if (index >= 0) {
        birthweight->setCurrentIndex(index);
        emit birthweight->activated(index);
    }
    expect(changes == 1 && seen == 8, "centileChanged(8) after picking 3000 g");
    expect(recomputes == 1, "one recompute for one pick");
    expect(calc->property("birthweight").toString() == QStringLiteral("3000"), "the birthweight property follows");

    // A property write is a pick too; a text the list lacks is an error.
    calc->setProperty("birthweight", QStringLiteral("3500"));
    expect(changes == 2 && seen == 46, "centileChanged(46) after writing the property");
    calc->setProperty("birthweight", QStringLiteral("3 kg"));
    expect(errors == 1 && calc->property("birthweight").toString() == QStringLiteral("3500"),
           "a text the list lacks is reported and changes nothing");

    if (failures == 0)
        std::printf("QUiLoader: the control loads, picks recompute, centileChanged arrives\n");
    return failures == 0 ? 0 : 1;
}
