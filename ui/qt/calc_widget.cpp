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
#include <vector>

#include "form/calc_layout.h"
#include "ui/qt/control_font.h"
#include "ui/qt/drop_down_list_widget.h"

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

CalcWidget::CalcWidget(QWidget* parent) : CalcWidget(std::make_unique<form::Calc>(), parent)
{
    // Start-up has run with the default sink; from now on standard error
    // hears of an error only while no host listens to handlerError.
    const ErrorSink toStderr = form::defaultCalcErrorSink();
    calc_->setErrorSink([this, toStderr](const RuntimeError& error, std::string_view event) {
        if (isSignalConnected(QMetaMethod::fromSignal(&CalcWidget::handlerError)))
            emit handlerError(error.code(), QString::fromUtf8(error.what()), toQString(event));
        else
            toStderr(error, event);
    });
}

CalcWidget::CalcWidget(ErrorSink errorSink, QWidget* parent)
    : CalcWidget(std::make_unique<form::Calc>(errorSink), parent)
{
    forwardErrors(std::move(errorSink));
}

CalcWidget::CalcWidget(std::unique_ptr<form::Calc> calc, QWidget* parent)
    : QWidget(parent),
      calc_(std::move(calc)),
      centile_(std::numeric_limits<double>::quiet_NaN()),
      resolution_{double(logicalDpiX()), double(logicalDpiY())}
{
    forwardErrors(calc_->errorSink());
    showCentile();
    setObjectName(QStringLiteral("Calc"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(fittedFont());
    buildWidgets();
    calc_->addObserver(*this);
}

CalcWidget::~CalcWidget()
{
    calc_->removeObserver(*this);
}

QSize CalcWidget::sizeHint() const
{
    return pixelSize(form::kDesignedWidth, form::kDesignedHeight, resolution_);
}

QSize CalcWidget::minimumSizeHint() const
{
    return sizeHint();
}

void CalcWidget::forwardErrors(ErrorSink sink)
{
    calc_->setErrorSink([this, sink = std::move(sink)](const RuntimeError& error, std::string_view event) {
        if (sink)
            sink(error, event);
        emit handlerError(error.code(), QString::fromUtf8(error.what()), toQString(event));
    });
}

// --- What hosts bind to -------------------------------------------------------------

QString CalcWidget::listText(std::string_view listName) const
{
    const DropDownList* list = calc_->list(listName);
    return list ? toQString(list->text()) : QString();
}

void CalcWidget::pickEntry(std::string_view listName, const QString& entry)
{
    DropDownList* list = calc_->list(listName);
    if (!list || entry == toQString(list->text()))
        return;
    const std::string text = entry.toStdString();
    const std::string event = std::string(listName) + " Click";
    // A text the list does not hold fails before the Click; it is still an
    // error of that pick, so it goes where the handlers' errors go.
    calc_->dispatch(event, [&] { calc_->selectAsUser(*list, text); });
}

QString CalcWidget::population() const { return listText(form::names::Combobase); }
QString CalcWidget::height() const { return listText(form::names::Comboht); }
QString CalcWidget::gestationWeeks() const { return listText(form::names::Combogw); }
QString CalcWidget::gestationDays() const { return listText(form::names::Combogd); }
QString CalcWidget::bookingWeight() const { return listText(form::names::Combowt); }
QString CalcWidget::birthweight() const { return listText(form::names::Combobwt); }
QString CalcWidget::ethnicGroup() const { return listText(form::names::Comboeth); }
QString CalcWidget::sex() const { return listText(form::names::Combosex); }
QString CalcWidget::parity() const { return listText(form::names::Combopar); }

void CalcWidget::setPopulation(const QString& text) { pickEntry(form::names::Combobase, text); }
void CalcWidget::setHeight(const QString& text) { pickEntry(form::names::Comboht, text); }
void CalcWidget::setGestationWeeks(const QString& text) { pickEntry(form::names::Combogw, text); }
void CalcWidget::setGestationDays(const QString& text) { pickEntry(form::names::Combogd, text); }
void CalcWidget::setBookingWeight(const QString& text) { pickEntry(form::names::Combowt, text); }
void CalcWidget::setBirthweight(const QString& text) { pickEntry(form::names::Combobwt, text); }
void CalcWidget::setEthnicGroup(const QString& text) { pickEntry(form::names::Comboeth, text); }
void CalcWidget::setSex(const QString& text) { pickEntry(form::names::Combosex, text); }
void CalcWidget::setParity(const QString& text) { pickEntry(form::names::Combopar, text); }

void CalcWidget::showCentile()
{
    // The caption is a whole number, or empty while no centile is shown.
    const QString caption = toQString(calc_->outputLabel().caption()).trimmed();
    bool isNumber = false;
    double value = caption.toDouble(&isNumber);
    if (!isNumber)
        value = std::numeric_limits<double>::quiet_NaN();
    const bool same = value == centile_ || (std::isnan(value) && std::isnan(centile_));
    centile_ = value;
    if (!same)
        emit centileChanged(centile_);
}

QWidget* CalcWidget::widgetFor(std::string_view controlName) const
{
    const auto found = byName_.find(controlName);
    return found == byName_.end() ? nullptr : found->second;
}

QFont CalcWidget::fittedFont() const
{
    // The captions that must be read whole: the labels that name a list or
    // the result. Their text never changes.
    std::vector<CaptionBox> boxes;
    for (const auto& control : calc_->controls()) {
        const ControlDescription& description = control->description();
        if (description.kind == ControlKind::Label && description.visible && !description.labelFor.empty())
            boxes.push_back({toQString(description.initialText), pixelRect(description, resolution_).size()});
    }
    return fontFittingCaptions(font(), boxes);
}

void CalcWidget::buildWidgets()
{
    // Frames first: the controls inside one are placed relative to it.
    std::unordered_map<std::string_view, QWidget*> frames;
    for (const auto& control : calc_->controls()) {
        const ControlDescription& description = control->description();
        if (description.kind != ControlKind::Frame || !description.visible)
            continue;
        // An etched rectangle on the window background. The form's frame has
        // no caption.
        auto* frame = new QFrame(this);
        frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
        frame->setFocusPolicy(Qt::NoFocus);
        applyColours(*frame, description, {QPalette::WindowText}, {QPalette::Window});
        frames.emplace(description.name, frame);
    }

    // The other controls in the order of their tab indexes, so that the focus
    // chain of the lists follows it from the start.
    std::vector<Control*> byTabIndex;
    for (const auto& control : calc_->controls())
        byTabIndex.push_back(control.get());
    std::stable_sort(byTabIndex.begin(), byTabIndex.end(), [](const Control* a, const Control* b) {
        return a->description().tabIndex < b->description().tabIndex;
    });
    for (Control* control : byTabIndex) {
        const ControlDescription& description = control->description();
        if (!description.visible)
            continue;
        QWidget* parent = this;
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
            lists_.emplace(&list, combo);
            // The control passes its focus on to the first list in the tab order.
            if (!focusProxy())
                setFocusProxy(combo);
            // `activated` comes only from the user, once per pick, also of the
            // entry already selected.
            connect(combo, &QComboBox::activated, this,
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
            labels_.emplace(&label, text);
            widget = text;
            break;
        }
        case ControlKind::TextBox:
            // The form has only a hidden text box; a visible one would need
            // an editor that writes back into the model.
            continue;
        }
        widget->setObjectName(toQString(description.name));
        widget->setGeometry(pixelRect(description, resolution_));
        widget->setAccessibleDescription(toQString(description.role));
        byName_.emplace(description.name, widget);
    }

    // A label that names a list is its buddy, and its caption the list's
    // accessible name (what a screen reader says for the list).
    for (const auto& [label, text] : labels_) {
        const std::string_view named = label->description().labelFor;
        if (QWidget* target = named.empty() ? nullptr : widgetFor(named)) {
            text->setBuddy(target);
            target->setAccessibleName(toQString(label->description().initialText));
        }
    }

    // The result stays readable where its neighbour's box overlaps it.
    if (QWidget* result = widgetFor(form::names::OutputLabel))
        result->raise();

    for (const auto& [list, combo] : lists_)
        showList(static_cast<const DropDownList&>(*list));
    for (const auto& [label, text] : labels_)
        text->setText(toQString(static_cast<const Label&>(*label).caption()));
}

void CalcWidget::userPicked(DropDownList& list, const QString& entry)
{
    const std::string text = entry.toStdString();
    try {
        // Writing a text the list no longer holds is an error of the same
        // event, so it goes to the error sink too.
        calc_->dispatch(std::string(list.name()) + " Click", [&] { calc_->selectAsUser(list, text); });
    } catch (const std::exception& error) {
        // Nothing but run-time errors should ever leave a handler; an
        // exception must still not unwind through the event loop.
        qCritical("%s Click: %s", std::string(list.name()).c_str(), error.what());
    }
    showList(list);
}

void CalcWidget::showList(const DropDownList& list)
{
    const auto found = lists_.find(&list);
    if (found == lists_.end())
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

void CalcWidget::entryAppended(const DropDownList& list, std::string_view /*text*/)
{
    showList(list);
}

void CalcWidget::entriesCleared(const DropDownList& list)
{
    showList(list);
}

void CalcWidget::selectionChanged(const DropDownList& list)
{
    showList(list);
    if (list.name() == form::names::Combobase ||
        std::find(form::kInputLists.begin(), form::kInputLists.end(), list.name()) != form::kInputLists.end())
        emit inputsChanged();
}

void CalcWidget::captionChanged(const Label& label)
{
    const auto found = labels_.find(&label);
    if (found != labels_.end())
        found->second->setText(toQString(label.caption()));
    if (&label == &calc_->outputLabel()) {
        // updateresult sets the caption at the end of every computation.
        showCentile();
        emit recomputed();
    }
}

}  // namespace wrenfield::ui
