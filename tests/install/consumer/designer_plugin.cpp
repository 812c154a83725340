// The control's Qt Designer plugin loads in a QPluginLoader and says what
// Designer shows: class name, group, the 16 × 15 toolbox icon, and a new
// widget's designed size.
//   designer_plugin PLUGIN_FILE
#include <QApplication>
#include <QPluginLoader>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <cstdio>
#include <memory>

#include <wrenfield/ui/qt/calc_widget.h>

#include "qt_check.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: designer_plugin PLUGIN_FILE\n");
        return 2;
    }
    QPluginLoader loader(QString::fromLocal8Bit(argv[1]));
    QObject* instance = loader.instance();
    if (!instance) {
        std::fprintf(stderr, "FAILED: the plugin loads: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    expect(loader.metaData().value(QStringLiteral("IID")).toString() ==
               QStringLiteral("org.qt-project.Qt.QDesignerCustomWidgetInterface"),
           "the plugin is a Designer custom widget");
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(instance);
    expect(plugin != nullptr, "the instance is a QDesignerCustomWidgetInterface");
    if (!plugin)
        return 1;

    expect(plugin->name() == QStringLiteral("wrenfield::ui::CalcWidget"), "class name");
    expect(plugin->group() == QStringLiteral("Wrenfield"), "widget box group");
    expect(plugin->includeFile() == QStringLiteral("wrenfield/ui/qt/calc_widget.h"), "include file");
    expect(!plugin->isContainer(), "not a container");
    const QIcon icon = plugin->icon();
    expect(!icon.isNull() && icon.availableSizes().contains(QSize(16, 15)), "the 16 x 15 toolbox icon");
    const QImage picture = icon.pixmap(QSize(16, 15)).toImage();
    // The bell curve's outline is black at its top, row 2, columns 7 and 8.
    expect(picture.pixelColor(7, 2) == QColor(Qt::black) && picture.pixelColor(0, 0).alpha() == 0,
           "the icon is the toolbox picture on a transparent background");

    std::unique_ptr<QWidget> widget(plugin->createWidget(nullptr));
    auto* calc = qobject_cast<wrenfield::ui::CalcWidget*>(widget.get());
    expect(calc != nullptr, "createWidget makes a CalcWidget");
    if (calc) {
        const QSize designed = calc->sizeHint();
        const QString xml = plugin->domXml();
        expect(xml.contains(QStringLiteral("<width>%1</width>").arg(designed.width())) &&
                   xml.contains(QStringLiteral("<height>%1</height>").arg(designed.height())),
               "a new control is placed at its designed size");
        expect(calc->property("centile").toDouble() == 56, "a new control shows the default centile");
    }
    if (failures == 0)
        std::printf("%s in \"%s\", %dx%d icon\n", qPrintable(plugin->name()), qPrintable(plugin->group()), 16, 15);
    return failures == 0 ? 0 : 1;
}
