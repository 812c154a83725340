// The Calc control on screen: one widget per visible control of the form, at
// its designed place and size, drawn from the form model and nothing else.
//
// The widget keeps no state of its own. Entries, selections and captions are
// read from the model when the widget is built and follow it through the
// model's observer hook; every pick the user makes in a list goes to the model
// as a user's selection of that entry (its text is written, then the list's
// Click event is raised), and the list then shows the model's selection again.
// Errors escaping an event handler go to the form's error sink and to the
// handlerError signal; the widget shows no message of its own.
//
// What Qt hosts (and Qt Designer) bind to: the centile the control shows, as
// a read-only property, and the text of each input list as a property whose
// write is a user's pick of that entry (the text, then the list's Click, so
// the centile is recomputed). Property writes apply in declaration order, the
// population first, so a .ui file may set a group of that population.
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
#include "form/controls.h"
#include "ui/qt/twips.h"

class QLabel;

namespace wrenfield::ui {

class DropDownListWidget;

class CalcWidget : public QWidget, private ControlObserver {
    Q_OBJECT
    // The whole-number centile shown, NaN while the control shows none.
    Q_PROPERTY(double centile READ centile NOTIFY centileChanged)
    Q_PROPERTY(QString population READ population WRITE setPopulation NOTIFY inputsChanged)
    Q_PROPERTY(QString height READ height WRITE setHeight NOTIFY inputsChanged)
    Q_PROPERTY(QString gestationWeeks READ gestationWeeks WRITE setGestationWeeks NOTIFY inputsChanged)
    Q_PROPERTY(QString gestationDays READ gestationDays WRITE setGestationDays NOTIFY inputsChanged)
    Q_PROPERTY(QString bookingWeight READ bookingWeight WRITE setBookingWeight NOTIFY inputsChanged)
    Q_PROPERTY(QString birthweight READ birthweight WRITE setBirthweight NOTIFY inputsChanged)
    Q_PROPERTY(QString ethnicGroup READ ethnicGroup WRITE setEthnicGroup NOTIFY inputsChanged)
    Q_PROPERTY(QString sex READ sex WRITE setSex NOTIFY inputsChanged)
    Q_PROPERTY(QString parity READ parity WRITE setParity NOTIFY inputsChanged)
public:
    // Creates a new Calc whose errors go to handlerError (and, while nothing
    // is connected to it, to standard error). The constructor Qt Designer,
    // uic and QUiLoader call.
    explicit CalcWidget(QWidget* parent = nullptr);
    // Creates a new Calc (its start-up runs at once, reporting to `errorSink`)
    // and shows it; later errors go to `errorSink` and to handlerError.
    explicit CalcWidget(ErrorSink errorSink, QWidget* parent = nullptr);
    // Shows a Calc created elsewhere; the widget takes it over, and passes
    // its errors on to handlerError as well.
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

    double centile() const noexcept { return centile_; }
    QString population() const;
    QString height() const;
    QString gestationWeeks() const;
    QString gestationDays() const;
    QString bookingWeight() const;
    QString birthweight() const;
    QString ethnicGroup() const;
    QString sex() const;
    QString parity() const;

public slots:
    // Each is a user's pick of that entry; a text the list does not hold is
    // an error of that list's Click and goes where handler errors go.
    void setPopulation(const QString& text);
    void setHeight(const QString& text);
    void setGestationWeeks(const QString& text);
    void setGestationDays(const QString& text);
    void setBookingWeight(const QString& text);
    void setBirthweight(const QString& text);
    void setEthnicGroup(const QString& text);
    void setSex(const QString& text);
    void setParity(const QString& text);

signals:
    // The shown centile changed (to NaN when the control shows none).
    void centileChanged(double centile);
    // The centile was computed again and shown (also when it stayed the same).
    void recomputed();
    // The selection of an input list (or the population) changed.
    void inputsChanged();
    // A run-time error escaped an event handler of the control: its number
    // (13 type mismatch, 6 overflow, 380 invalid property value...), its
    // description with where it arose, and the event ("Combobwt Click").
    void handlerError(int number, const QString& message, const QString& event);

private:
    // Errors go to `sink` (if any) and to handlerError.
    void forwardErrors(ErrorSink sink);
    QString listText(std::string_view listName) const;
    void pickEntry(std::string_view listName, const QString& entry);
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

    void showCentile();

    std::unique_ptr<form::Calc> calc_;
    double centile_;
    Resolution resolution_;
    // Which widget shows which control of the model.
    std::unordered_map<const Control*, DropDownListWidget*> lists_;
    std::unordered_map<const Control*, QLabel*> labels_;
    std::unordered_map<std::string_view, QWidget*> byName_;
};

}  // namespace wrenfield::ui
