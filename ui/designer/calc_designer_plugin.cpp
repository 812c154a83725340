#include "ui/designer/calc_designer_plugin.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include "form/calc_layout.h"
#include "ui/designer/toolbox_image.h"
#include "ui/qt/calc_widget.h"
#include "ui/qt/twips.h"

namespace wrenfield::ui {

CalcDesignerPlugin::CalcDesignerPlugin(QObject* parent)
    : QObject(parent)
{}

QString CalcDesignerPlugin::name() const
{
    return QStringLiteral("wrenfield::ui::CalcWidget");
}

QString CalcDesignerPlugin::group() const
{
    return QStringLiteral("Wrenfield");
}

QString CalcDesignerPlugin::toolTip() const
{
    return QStringLiteral("Customised birthweight centile (Calc)");
}

QString CalcDesignerPlugin::whatsThis() const
{
    return QStringLiteral("The Calc control: the customised birthweight centile of a baby from the mother's height, "
                          "booking weight, ethnic group and parity, the baby's sex, the gestation and the birthweight. "
                          "Bind to its centile property and centileChanged signal; set its inputs as properties.");
}

QString CalcDesignerPlugin::includeFile() const
{
    return QStringLiteral("wrenfield/ui/qt/calc_widget.h");
}

QIcon CalcDesignerPlugin::icon() const
{
    return QIcon(QPixmap::fromImage(toolboxImage(true)));
}

bool CalcDesignerPlugin::isContainer() const
{
    return false;
}

QWidget* CalcDesignerPlugin::createWidget(QWidget* parent)
{
    return new CalcWidget(parent);
}

bool CalcDesignerPlugin::isInitialized() const
{
    return initialized_;
}

void CalcDesignerPlugin::initialize(QDesignerFormEditorInterface* /*core*/)
{
    initialized_ = true;
}

QString CalcDesignerPlugin::domXml() const
{
    Resolution resolution;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resolution = {screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY()};
    const QSize size = pixelSize(form::kDesignedWidth, form::kDesignedHeight, resolution);
    return QStringLiteral("<ui language=\"c++\">\n"
                          " <widget class=\"%1\" name=\"calc\">\n"
                          "  <property name=\"geometry\">\n"
                          "   <rect><x>0</x><y>0</y><width>%2</width><height>%3</height></rect>\n"
                          "  </property>\n"
                          " </widget>\n"
                          "</ui>\n")
        .arg(name())
        .arg(size.width())
        .arg(size.height());
}

}  // namespace wrenfield::ui
