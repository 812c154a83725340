#include "ui/qt/calc_widget.h"

#include <QFrame>
#include <QLabel>
#include <QMetaMethod>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "form/calc.h"
#include "form/calc_layout.h"
#include "ui/qt/control_font.h"
#include "ui/qt/drop_down_list_widget.h"
#include "ui/qt/twips.h"

namespace wrenfield::ui {

namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment toQtAlignment(Alignment alignment)
{
    // A label's caption starts at the top of its box, whatever its alignment.
    switch (alignment) {
    case Alignment::Right:
        return Qt::AlignRight | Qt::AlignTop;
    case Alignment::Centre:
        return Qt::AlignHCenter | Qt::AlignTop;
    case Alignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

// Gives a widget the control's own colours. A system colour is the desktop's
// own, which the widget inherits from the form: nothing to set for it.
void applyColours(QWidget& widget, const ControlDescription& description,
                  std::initializer_list<QPalette::ColorRole> foregroundRoles,
                  std::initializer_list<QPalette::ColorRole> backgroundRoles)
{
    QPalette palette = widget.palette();
    if (!description.foreground.isSystem) {
        const QColor colour(description.foreground.red, description.foreground.green, description.foreground.blue);
        for (QPalette::ColorRole role : foregroundRoles)
            palette.setColor(role, colour);
    }
    if (!description.background.isSystem) {
        const QColor colour(description.background.red, description.background.green, description.background.blue);
        for (QPalette::ColorRole role : backgroundRoles)
            palette.setColor(role, colour);
        widget.setAutoFillBackground(true);
    }
    widget.setPalette(palette);
}

}  // namespace

// What a CalcWidget holds, and its observation of the form model: every
// change there is shown on the widgets that stand for the controls.
class CalcWidgetPrivate : public ControlObserver {
public:
    CalcWidgetPrivate(CalcWidget& q, std::unique_ptr<form::Calc> calc);
    ~CalcWidgetPrivate() override;

    // Errors go to `sink` (if any) and to handlerError.
    void forwardErrors(ErrorSink sink);
    QString listText(std::string_view listName) const;
    void pickEntry(std::string_view listName, const QString& entry);
    void buildWidgets();
    QFont fittedFont() const;
    void userPicked(DropDownList& list, const QString& entry);
    // Makes the on-screen list show exactly the model list's entries and selection.
    void showList(const DropDownList& list);
    void showCentile();
    QWidget* widgetFor(std::string_view controlName) const;

    // The model's notifications.
    void entryAppended(const DropDownList& list, std::string_view text) override;
    void entriesCleared(const DropDownList& list) override;
    void selectionChanged(const DropDownList& list) override;
    void captionChanged(const Label& label) override;

    CalcWidget& q;
    std::unique_ptr<form::Calc> calc;
    double centile;
    // The logical resolution the form is laid out at.
    Resolution resolution;
    // Which widget shows which control of the model.
    std::unordered_map<const Control*, DropDownListWidget*> lists;
    std::unordered_map<const Control*, QLabel*> labels;
    std::unordered_map<std::string_view, QWidget*> byName;
};

CalcWidgetPrivate::CalcWidgetPrivate(CalcWidget& q, std::unique_ptr<form::Calc> calc)
    : q(q)
    , calc(std::move(calc))
    , centile(std::numeric_limits<double>::quiet_NaN())
    , resolution{double(q.logicalDpiX()), double(q.logicalDpiY())}
{}

CalcWidgetPrivate::~CalcWidgetPrivate()
{
    calc->removeObserver(*this);
}

CalcWidget::CalcWidget(QWidget* parent)
    : CalcWidget(std::make_unique<form::Calc>(), parent)
{
    // Start-up has run with the default sink; from now on standard error
    // hears of an error only while no host listens to handlerError.
    const ErrorSink toStderr = form::defaultCalcErrorSink();
    d->calc->setErrorSink([this, toStderr](const RuntimeError& error, std::string_view event) {
        if (isSignalConnected(QMetaMethod::fromSignal(&CalcWidget::handlerError)))
            emit handlerError(error.code(), QString::fromUtf8(error.what()), toQString(event));
        else
            toStderr(error, event);
    });
}

CalcWidget::CalcWidget(ErrorSink errorSink, QWidget* parent)
    : CalcWidget(std::make_unique<form::Calc>(errorSink), parent)
{
    d->forwardErrors(std::move(errorSink));
}

CalcWidget::CalcWidget(std::unique_ptr<form::Calc> calc, QWidget* parent)
    : QWidget(parent)
    , d(std::make_unique<CalcWidgetPrivate>(*this, std::move(calc)))
{
    d->forwardErrors(d->calc->errorSink());
    d->showCentile();
    setObjectName(QStringLiteral("Calc"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(d->fittedFont());
    d->buildWidgets();
    d->calc->addObserver(*d);
}

CalcWidget::~CalcWidget() = default;

form::Calc& CalcWidget::calc() noexcept
{
    return *d->calc;
}

const form::Calc& CalcWidget::calc() const noexcept
{
    return *d->calc;
}

double CalcWidget::centile() const noexcept
{
    return d->centile;
}

QSize CalcWidget::sizeHint() const
{
    return pixelSize(form::kDesignedWidth, form::kDesignedHeight, d->resolution);
}

QSize CalcWidget::minimumSizeHint() const
{
    return sizeHint();
}

void CalcWidgetPrivate::forwardErrors(ErrorSink sink)
{
    calc->setErrorSink([this, sink = std::move(sink)](const RuntimeError& error, std::string_view event) {
        if (sink)
            sink(error, event);
        emit q.handlerError(error.code(), QString::fromUtf8(error.what()), toQString(event));
    });
}

// --- What hosts bind to -------------------------------------------------------------

QString CalcWidgetPrivate::listText(std::string_view listName) const
{
    const DropDownList* list = calc->list(listName);
    return list ? toQString(list->text()) : QString();
}

void CalcWidgetPrivate::pickEntry(std::string_view listName, const QString& entry)
{
    DropDownList* list = calc->list(listName);
    if (!list || entry == toQString(list->text()))
        return;
    const std::string text = entry.toStdString();
    const std::string event = std::string(listName) + " Click";
    // A text the list does not hold fails before the Click; it is still an
    // error of that pick, so it goes where the handlers' errors go.
    calc->dispatch(event, [&] { calc->selectAsUser(*list, text); });
}

QString CalcWidget::population() const
{
    return d->listText(form::names::Combobase);
}
QString CalcWidget::maternalHeight() const
{
    return d->listText(form::names::Comboht);
}
QString CalcWidget::gestationWeeks() const
{
    return d->listText(form::names::Combogw);
}
QString CalcWidget::gestationDays() const
{
    return d->listText(form::names::Combogd);
}
QString CalcWidget::bookingWeight() const
{
    return d->listText(form::names::Combowt);
}
QString CalcWidget::birthweight() const
{
    return d->listText(form::names::Combobwt);
}
QString CalcWidget::ethnicGroup() const
{
    return d->listText(form::names::Comboeth);
}
QString CalcWidget::sex() const
{
    return d->listText(form::names::Combosex);
}
QString CalcWidget::parity() const
{
    return d->listText(form::names::Combopar);
}

void CalcWidget::setPopulation(const QString& text)
{
    d->pickEntry(form::names::Combobase, text);
}
void CalcWidget::setMaternalHeight(const QString& text)
{
    d->pickEntry(form::names::Comboht, text);
}
void CalcWidget::setGestationWeeks(const QString& text)
{
    d->pickEntry(form::names::Combogw, text);
}
void CalcWidget::setGestationDays(const QString& text)
{
    d->pickEntry(form::names::Combogd, text);
}
void CalcWidget::setBookingWeight(const QString& text)
{
    d->pickEntry(form::names::Combowt, text);
}
void CalcWidget::setBirthweight(const QString& text)
{
    d->pickEntry(form::names::Combobwt, text);
}
void CalcWidget::setEthnicGroup(const QString& text)
{
    d->pickEntry(form::names::Comboeth, text);
}
void CalcWidget::setSex(const QString& text)
{
    d->pickEntry(form::names::Combosex, text);
}
void CalcWidget::setParity(const QString& text)
{
    d->pickEntry(form::names::Combopar, text);
}

void CalcWidgetPrivate::showCentile()
{
    // The caption is a whole number, or empty while no centile is shown.
    const QString caption = toQString(calc->outputLabel().caption()).trimmed();
    bool isNumber = false;
    double value = caption.toDouble(&isNumber);
    if (!isNumber)
        value = std::numeric_limits<double>::quiet_NaN();
    const bool same = value == centile || (std::isnan(value) && std::isnan(centile));
    centile = value;
    if (!same)
        emit q.centileChanged(centile);
}

QWidget* CalcWidget::widgetFor(std::string_view controlName) const
{
    return d->widgetFor(controlName);
}

QWidget* CalcWidgetPrivate::widgetFor(std::string_view controlName) const
{
    const auto found = byName.find(controlName);
    return found == byName.end() ? nullptr : found->second;
}

QFont CalcWidgetPrivate::fittedFont() const
{
    // The captions that must be read whole: the labels that name a list or
    // the result. Their text never changes.
    std::vector<CaptionBox> boxes;
    for (const auto& control : calc->controls()) {
        const ControlDescription& description = control->description();
        if (description.kind == ControlKind::Label && description.visible && !description.labelFor.empty())
            boxes.push_back({toQString(description.initialText), pixelRect(description, resolution).size()});
    }
    return fontFittingCaptions(q.font(), boxes);
}

void CalcWidgetPrivate::buildWidgets()
{
    // Frames first: the controls inside one are placed relative to it.
    std::unordered_map<std::string_view, QWidget*> frames;
    for (const auto& control : calc->controls()) {
        const ControlDescription& description = control->description();
        if (description.kind != ControlKind::Frame || !description.visible)
            continue;
        // An etched rectangle on the window background. The form's frame has
        // no caption.
        auto* frame = new QFrame(&q);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setFocusPolicy(Qt::NoFocus);
        applyColours(*frame, description, {QPalette::WindowText}, {QPalette::Window});
        frames.emplace(description.name, frame);
    }

    // The other controls in the order of their tab indexes, so that the focus
    // chain of the lists follows it from the start.
    std::vector<Control*> byTabIndex;
    for (const auto& control : calc->controls())
        byTabIndex.push_back(control.get());
    std::stable_sort(byTabIndex.begin(), byTabIndex.end(), [](const Control* a, const Control* b) {
        return a->description().tabIndex < b->description().tabIndex;
    });
    for (Control* control : byTabIndex) {
        const ControlDescription& description = control->description();
        if (!description.visible)
            continue;
        QWidget* parent = &q;
        if (!description.parent.empty())
            parent = frames.at(description.parent);

        QWidget* widget = nullptr;
        switch (description.kind) {
        case ControlKind::Frame:
            widget = frames.at(description.name);
            break;
        case ControlKind::DropDownList: {
            auto& list = static_cast<DropDownList&>(*control);
            auto* combo = new DropDownListWidget(parent);
            applyColours(*combo, description, {QPalette::Text, QPalette::ButtonText, QPalette::WindowText},
                         {QPalette::Base, QPalette::Button, QPalette::Window});
            lists.emplace(&list, combo);
            // The control passes its focus on to the first list in the tab order.
            if (!q.focusProxy())
                q.setFocusProxy(combo);
            // `activated` comes only from the user, once per pick, also of the
            // entry already selected.
            QObject::connect(combo, &QComboBox::activated, &q,
                             [this, &list, combo](int index) { userPicked(list, combo->itemText(index)); });
            widget = combo;
            break;
        }
        case ControlKind::Label: {
            auto& label = static_cast<Label&>(*control);
            auto* text = new QLabel(parent);
            text->setTextFormat(Qt::PlainText);
            text->setAlignment(toQtAlignment(description.alignment));
            applyColours(*text, description, {QPalette::WindowText}, {QPalette::Window});
            labels.emplace(&label, text);
            widget = text;
            break;
        }
        case ControlKind::TextBox:
            // The form has only a hidden text box; a visible one would need
            // an editor that writes back into the model.
            continue;
        }
        widget->setObjectName(toQString(description.name));
        widget->setGeometry(pixelRect(description, resolution));
        widget->setAccessibleDescription(toQString(description.role));
        byName.emplace(description.name, widget);
    }

    // A label that names a list is its buddy, and its caption the list's
    // accessible name (what a screen reader says for the list).
    for (const auto& [label, text] : labels) {
        const std::string_view named = label->description().labelFor;
        if (QWidget* target = named.empty() ? nullptr : widgetFor(named)) {
            text->setBuddy(target);
            target->setAccessibleName(toQString(label->description().initialText));
        }
    }

    // The result stays readable where its neighbour's box overlaps it.
    if (QWidget* result = widgetFor(form::names::OutputLabel))
        result->raise();

    for (const auto& [list, combo] : lists)
        showList(static_cast<const DropDownList&>(*list));
    for (const auto& [label, text] : labels)
        text->setText(toQString(static_cast<const Label&>(*label).caption()));
}

void CalcWidgetPrivate::userPicked(DropDownList& list, const QString& entry)
{
    const std::string text = entry.toStdString();
    try {
        // Writing a text the list no longer holds is an error of the same
        // event, so it goes to the error sink too.
        calc->dispatch(std::string(list.name()) + " Click", [&] { calc->selectAsUser(list, text); });
    } catch (const std::exception& error) {
        // Nothing but run-time errors should ever leave a handler; an
        // exception must still not unwind through the event loop.
        qCritical("%s Click: %s", std::string(list.name()).c_str(), error.what());
    }
    showList(list);
}

void CalcWidgetPrivate::showList(const DropDownList& list)
{
    const auto found = lists.find(&list);
    if (found == lists.end())
        return;
    DropDownListWidget& combo = *found->second;
    const std::vector<std::string>& entries = list.entries();

    // Keep the entries both have in common, then append or drop the rest:
    // appending one entry costs one item, a refill rebuilds the list.
    int same = 0;
    while (same < combo.count() && std::size_t(same) < entries.size() &&
           combo.itemText(same) == toQString(entries[std::size_t(same)]))
        ++same;
    while (combo.count() > same)
        combo.removeItem(combo.count() - 1);
    for (std::size_t i = std::size_t(same); i < entries.size(); ++i)
        combo.addItem(toQString(entries[i]));

    const std::optional<std::size_t> selected = list.selectedIndex();
    combo.setCurrentIndex(selected ? int(*selected) : -1);
}

void CalcWidgetPrivate::entryAppended(const DropDownList& list, std::string_view /*text*/)
{
    showList(list);
}

void CalcWidgetPrivate::entriesCleared(const DropDownList& list)
{
    showList(list);
}

void CalcWidgetPrivate::selectionChanged(const DropDownList& list)
{
    showList(list);
    if (list.name() == form::names::Combobase ||
        std::find(form::kInputLists.begin(), form::kInputLists.end(), list.name()) != form::kInputLists.end())
        emit q.inputsChanged();
}

void CalcWidgetPrivate::captionChanged(const Label& label)
{
    const auto found = labels.find(&label);
    if (found != labels.end())
        found->second->setText(toQString(label.caption()));
    if (&label == &calc->outputLabel()) {
        // updateresult sets the caption at the end of every computation.
        showCentile();
        emit q.recomputed();
    }
}

}  // namespace wrenfield::ui
