#include "form/controls.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace wrenfield {

std::string_view controlKindName(ControlKind kind)
{
    switch (kind) {
    case ControlKind::DropDownList:
        return "list";
    case ControlKind::Label:
        return "label";
    case ControlKind::TextBox:
        return "textbox";
    case ControlKind::Frame:
        return "frame";
    }
    return "control";
}

std::string_view alignmentName(Alignment alignment)
{
    switch (alignment) {
    case Alignment::Left:
        return "left";
    case Alignment::Right:
        return "right";
    case Alignment::Centre:
        return "centre";
    }
    return "left";
}

std::string colourText(const Colour& colour)
{
    if (colour.isSystem)
        return colour.system == SystemColour::WindowBackground ? "system:window" : "system:windowtext";
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

// --- Control ------------------------------------------------------------------

Control::Control(const ControlDescription& description)
    : description_(description)
{}

// --- DropDownList ---------------------------------------------------------------

DropDownList::DropDownList(const ControlDescription& description)
    : Control(description)
{}

void DropDownList::addItem(std::string_view text)
{
    entries_.emplace_back(text);
    if (ControlObserver* o = observer())
        o->entryAppended(*this, entries_.back());
}

void DropDownList::clear()
{
    entries_.clear();
    selected_.reset();
    if (ControlObserver* o = observer())
        o->entriesCleared(*this);
}

const std::string& DropDownList::text() const noexcept
{
    static const std::string kNothingSelected;
    return selected_ ? entries_[*selected_] : kNothingSelected;
}

void DropDownList::setText(std::string_view text)
{
    auto it = std::find(entries_.begin(), entries_.end(), text);
    if (it == entries_.end())
        raise(ErrorNumber::InvalidPropertyValue,
              std::string(name()) + ": no entry holds the text \"" + std::string(text) + "\"");
    selected_ = static_cast<std::size_t>(it - entries_.begin());
    if (ControlObserver* o = observer())
        o->selectionChanged(*this);
}

bool DropDownList::holds(std::string_view text) const noexcept
{
    return std::find(entries_.begin(), entries_.end(), text) != entries_.end();
}

void DropDownList::bindClick(std::function<void()> handler)
{
    clickHandlers_.push_back(std::move(handler));
}

void DropDownList::raiseClick()
{
    // By index: a handler may bind another (the vector may grow meanwhile).
    for (std::size_t i = 0; i < clickHandlers_.size(); ++i) {
        std::function<void()> handler = clickHandlers_[i];
        handler();
    }
}

// --- Label, TextBox, Frame -------------------------------------------------------

Label::Label(const ControlDescription& description)
    : Control(description)
    , caption_(description.initialText)
{}

void Label::setCaption(std::string_view caption)
{
    caption_.assign(caption);
    if (ControlObserver* o = observer())
        o->captionChanged(*this);
}

TextBox::TextBox(const ControlDescription& description)
    : Control(description)
    , text_(description.initialText)
{}

void TextBox::setText(std::string_view text)
{
    text_.assign(text);
    if (ControlObserver* o = observer())
        o->textChanged(*this);
}

Frame::Frame(const ControlDescription& description)
    : Control(description)
{}

// --- UserControl -----------------------------------------------------------------

ErrorSink errorLineOnStderr(std::string prefix)
{
    return [prefix = std::move(prefix)](const RuntimeError& error, std::string_view event) {
        std::cerr << prefix << ": " << event << ": run-time error " << error.code() << ": " << error.what() << '\n';
    };
}

namespace {

std::unique_ptr<Control> makeControl(const ControlDescription& description)
{
    switch (description.kind) {
    case ControlKind::DropDownList:
        return std::make_unique<DropDownList>(description);
    case ControlKind::Label:
        return std::make_unique<Label>(description);
    case ControlKind::TextBox:
        return std::make_unique<TextBox>(description);
    case ControlKind::Frame:
        return std::make_unique<Frame>(description);
    }
    throw std::invalid_argument("control " + std::string(description.name) + " has an unknown kind");
}

}  // namespace

UserControl::UserControl(std::span<const ControlDescription> layout, ErrorSink errorSink)
    : errorSink_(std::move(errorSink))
{
    controls_.reserve(layout.size());
    for (const ControlDescription& description : layout) {
        if (control(description.name))
            throw std::invalid_argument("two controls are named " + std::string(description.name));
        controls_.push_back(makeControl(description));
        controls_.back()->setObserver(&fanout_);
    }
    for (const ControlDescription& description : layout)
        if (!description.parent.empty() && !frame(description.parent))
            throw std::invalid_argument("control " + std::string(description.name) + " is placed in " +
                                        std::string(description.parent) + ", which is not a frame");
}

UserControl::~UserControl() = default;

Control* UserControl::control(std::string_view name) noexcept
{
    for (const auto& c : controls_)
        if (c->name() == name)
            return c.get();
    return nullptr;
}

const Control* UserControl::control(std::string_view name) const noexcept
{
    return const_cast<UserControl*>(this)->control(name);
}

namespace {

template <typename T> T* ofKind(Control* control, ControlKind kind) noexcept
{
    return control && control->kind() == kind ? static_cast<T*>(control) : nullptr;
}

}  // namespace

DropDownList* UserControl::list(std::string_view name) noexcept
{
    return ofKind<DropDownList>(control(name), ControlKind::DropDownList);
}
const DropDownList* UserControl::list(std::string_view name) const noexcept
{
    return const_cast<UserControl*>(this)->list(name);
}
Label* UserControl::label(std::string_view name) noexcept
{
    return ofKind<Label>(control(name), ControlKind::Label);
}
const Label* UserControl::label(std::string_view name) const noexcept
{
    return const_cast<UserControl*>(this)->label(name);
}
TextBox* UserControl::textBox(std::string_view name) noexcept
{
    return ofKind<TextBox>(control(name), ControlKind::TextBox);
}
const TextBox* UserControl::textBox(std::string_view name) const noexcept
{
    return const_cast<UserControl*>(this)->textBox(name);
}
Frame* UserControl::frame(std::string_view name) noexcept
{
    return ofKind<Frame>(control(name), ControlKind::Frame);
}
const Frame* UserControl::frame(std::string_view name) const noexcept
{
    return const_cast<UserControl*>(this)->frame(name);
}

void UserControl::addObserver(ControlObserver& observer)
{
    if (std::find(observers_.begin(), observers_.end(), &observer) == observers_.end())
        observers_.push_back(&observer);
}

void UserControl::removeObserver(ControlObserver& observer) noexcept
{
    std::erase(observers_, &observer);
}

void UserControl::setErrorSink(ErrorSink errorSink)
{
    errorSink_ = std::move(errorSink);
}

bool UserControl::dispatch(std::string_view event, const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const RuntimeError& error) {
        if (errorSink_)
            errorSink_(error, event);
        return false;
    }
}

bool UserControl::raiseClick(DropDownList& list)
{
    return dispatch(std::string(list.name()) + " Click", [&list] { list.raiseClick(); });
}

bool UserControl::selectAsUser(DropDownList& list, std::string_view text)
{
    list.setText(text);
    return raiseClick(list);
}

template <typename Notify> void UserControl::Fanout::notifyAll(Notify notify)
{
    // A copy: an observer may add or remove observers while it is told; one
    // removed meanwhile is not told any more.
    const std::vector<ControlObserver*> observers = owner_.observers_;
    for (ControlObserver* observer : observers)
        if (std::find(owner_.observers_.begin(), owner_.observers_.end(), observer) != owner_.observers_.end())
            notify(*observer);
}

void UserControl::Fanout::entryAppended(const DropDownList& list, std::string_view text)
{
    notifyAll([&](ControlObserver& o) { o.entryAppended(list, text); });
}

void UserControl::Fanout::entriesCleared(const DropDownList& list)
{
    notifyAll([&](ControlObserver& o) { o.entriesCleared(list); });
}

void UserControl::Fanout::selectionChanged(const DropDownList& list)
{
    notifyAll([&](ControlObserver& o) { o.selectionChanged(list); });
}

void UserControl::Fanout::captionChanged(const Label& label)
{
    notifyAll([&](ControlObserver& o) { o.captionChanged(label); });
}

void UserControl::Fanout::textChanged(const TextBox& textBox)
{
    notifyAll([&](ControlObserver& o) { o.textChanged(textBox); });
}

}  // namespace wrenfield
