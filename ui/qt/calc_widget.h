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
// population first, so a .ui file may set a group of that population. No
// property or function takes the name of one of QWidget's: the mother's
// height is maternalHeight, and height() stays the widget's own.
//
// The class is part of libwrenfield-qt's binary interface: its members live
// in a private object, so the library can change them without breaking the
// hosts built against it.
//
// The controls sit at fixed places: the widget has no layout, so when a host
// gives it another size nothing moves or resizes. The hidden controls of the
// form (the population list, the default-population text box and the labels
// that hold the version and the population) get no widget at all.
#pragma once

#include <QWidget>
#include <memory>
#include <string_view>

#include "form/controls.h"
#include "wrenfield/wrenfield_qt_export.h"

namespace wrenfield::form {
class Calc;
}

namespace wrenfield::ui {

class CalcWidgetPrivate;

class WRENFIELD_QT_EXPORT CalcWidget : public QWidget {
    Q_OBJECT
    // The whole-number centile shown, NaN while the control shows none.
    Q_PROPERTY(double centile READ centile NOTIFY centileChanged)
    Q_PROPERTY(QString population READ population WRITE setPopulation NOTIFY inputsChanged)
    Q_PROPERTY(QString maternalHeight READ maternalHeight WRITE setMaternalHeight NOTIFY inputsChanged)
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

    // The form model the widget shows (<wrenfield/form/calc.h>).
    form::Calc& calc() noexcept;
    const form::Calc& calc() const noexcept;

    // The widget that shows the control of that name (its objectName is the
    // control's name too); nullptr for a hidden control or an unknown name.
    QWidget* widgetFor(std::string_view controlName) const;

    // The designed area of the form at the screen's logical resolution.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    double centile() const noexcept;
    QString population() const;
    QString maternalHeight() const;
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
    void setMaternalHeight(const QString& text);
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
    friend class CalcWidgetPrivate;
    const std::unique_ptr<CalcWidgetPrivate> d;
};

}  // namespace wrenfield::ui
