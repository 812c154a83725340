// The Calc control on screen: one widget per visible control of the form, at
// its designed place and size, drawn from the form model and nothing else.
//
// The widget keeps no state of its own. Entries, selections and captions are
// read from the model when the widget is built and follow it through the
// model's observer hook; every pick the user makes in a list goes to the model
// as a user's selection of that entry (its text is written, then the list's
// Click event is raised), and the list then shows the model's selection again.
// Errors escaping an event handler go to the form's error sink; the widget
// shows no message of its own.
//
// The controls sit at fixed places: the widget has no layout, so when a host
// gives it another size nothing moves or resizes. The hidden controls of the
// form (the population list, the default-population text box and the labels
// that hold the version and the population) get no widget at all.
#pragma once

#include <QWidget>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "form/calc.h"
#include "platform/controls.h"
#include "ui/qt/twips.h"

class QLabel;

namespace wrenfield::ui {

class DropDownListWidget;

class CalcWidget : public QWidget, private ControlObserver {
    Q_OBJECT
public:
    // Creates a new Calc (its start-up runs at once, reporting to `errorSink`)
    // and shows it.
    explicit CalcWidget(ErrorSink errorSink, QWidget* parent = nullptr);
    // Shows a Calc created elsewhere; the widget takes it over.
    explicit CalcWidget(std::unique_ptr<form::Calc> calc, QWidget* parent = nullptr);
    ~CalcWidget() override;

    form::Calc& calc() noexcept { return *calc_; }
    const form::Calc& calc() const noexcept { return *calc_; }

    // The widget that shows the control of that name (its objectName is the
    // control's name too); nullptr for a hidden control or an unknown name.
    QWidget* widgetFor(std::string_view controlName) const;

    // The logical resolution the form was laid out at.
    Resolution resolution() const noexcept { return resolution_; }

    // The designed area of the form at that resolution.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void buildWidgets();
    QFont fittedFont() const;
    void userPicked(DropDownList& list, const QString& entry);
    // Makes the on-screen list show exactly the model list's entries and selection.
    void showList(const DropDownList& list);

    // The model's notifications.
    void entryAppended(const DropDownList& list, std::string_view text) override;
    void entriesCleared(const DropDownList& list) override;
    void selectionChanged(const DropDownList& list) override;
    void captionChanged(const Label& label) override;

    std::unique_ptr<form::Calc> calc_;
    Resolution resolution_;
    // Which widget shows which control of the model.
    std::unordered_map<const Control*, DropDownListWidget*> lists_;
    std::unordered_map<const Control*, QLabel*> labels_;
    std::unordered_map<std::string_view, QWidget*> byName_;
};

}  // namespace wrenfield::ui
