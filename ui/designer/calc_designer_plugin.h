// The Calc control in Qt Designer: its entry in the widget box (group
// "Wrenfield", the toolbox bitmap as its icon), the widget placed at its
// designed size, and what uic writes for it. QUiLoader uses the same plugin
// to build the control from a .ui file at run time.
#pragma once

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace wrenfield::ui {

class CalcDesignerPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)
public:
    explicit CalcDesignerPlugin(QObject* parent = nullptr);

    QString name() const override;   // "wrenfield::ui::CalcWidget"
    QString group() const override;  // "Wrenfield"
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;  // "wrenfield/ui/qt/calc_widget.h"
    QIcon icon() const override;           // the 16 × 15 toolbox bitmap
    bool isContainer() const override;
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override;
    void initialize(QDesignerFormEditorInterface* core) override;
    // The new widget's geometry: the form's designed area at the screen's
    // logical resolution.
    QString domXml() const override;

private:
    bool initialized_ = false;
};

}  // namespace wrenfield::ui
