// Standard controls: drop-down list, label, text box and frame, and the user
// control that holds them, raises their events and reports errors that escape
// an event handler.
//
// A control holds its state and nothing else: it does not draw. A renderer
// (an on-screen widget, a text dump) reads the state and learns of every
// change through a ControlObserver, so it never keeps a copy of its own.
//
// Every operation reports failure by throwing RuntimeError at the call that
// failed; nothing fails silently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime_error.h"

namespace wrenfield {

// ---------------------------------------------------------------------------
// Description of a control: what a form designer stores for each control.

enum class ControlKind : std::uint8_t { DropDownList, Label, TextBox, Frame };

std::string_view controlKindName(ControlKind kind);  // "list", "label", "textbox", "frame"

enum class Alignment : std::uint8_t { Left, Right, Centre };

std::string_view alignmentName(Alignment alignment);  // "left", "right", "centre"

// The system colours a control may use instead of a fixed one; a renderer maps
// them to its own palette.
enum class SystemColour : std::uint8_t { WindowBackground, WindowText };

// A fixed red/green/blue colour or one of the system colours.
struct Colour {
    bool isSystem = false;
    SystemColour system = SystemColour::WindowBackground;  // when isSystem
    std::uint8_t red = 0, green = 0, blue = 0;             // otherwise

    static constexpr Colour rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {false, {}, r, g, b}; }
    static constexpr Colour systemColour(SystemColour c) { return {true, c, 0, 0, 0}; }

    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

// "#c0c0ff" for a fixed colour, "system:window" / "system:windowtext" otherwise.
std::string colourText(const Colour& colour);

// Twips: 1/1440 inch; 15 twips make one pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixelAt96Dpi = 15;

struct ControlDescription {
    std::string_view name;  // "Combobwt"; unique within its form
    ControlKind kind;
    // The design-time caption of a label or frame, or the text of a text box;
    // empty for a list (lists start with no entries) and a frame without caption.
    std::string_view initialText;
    // Position and size in twips, from the top left corner of the form, or of
    // the parent frame for a control inside one.
    int left, top, width, height;
    int tabIndex;
    bool visible;
    Colour foreground;
    Colour background;
    Alignment alignment;
    // The frame that holds this control; empty for a control placed on the form.
    std::string_view parent;
    // For a label that names another control (a list): that control's name.
    std::string_view labelFor;
    // What the control holds, in the user's words ("birthweight, grams").
    std::string_view role;
};

// ---------------------------------------------------------------------------
// Controls.

class Control;
class DropDownList;
class Label;
class TextBox;

// Told of every change of a control's state, after the change. Each function
// has an empty default, so an observer overrides only what it needs. The
// control passed in is fully updated: read its state from it.
//
// An observer may throw RuntimeError; the operation that caused the
// notification then fails with that error (its change has already been made).
class ControlObserver {
public:
    virtual ~ControlObserver() = default;

    // AddItem appended `text` as the list's last entry.
    virtual void entryAppended(const DropDownList& /*list*/, std::string_view /*text*/) {}
    // Clear removed every entry (and the selection).
    virtual void entriesCleared(const DropDownList& /*list*/) {}
    // A write of the list's text selected an entry; called for every write,
    // also when the same entry was selected before.
    virtual void selectionChanged(const DropDownList& /*list*/) {}
    // The caption of a label was written; called for every write, also when
    // the text is the same.
    virtual void captionChanged(const Label& /*label*/) {}
    // The text of a text box was written; called for every write.
    virtual void textChanged(const TextBox& /*textBox*/) {}
};

class Control {
public:
    explicit Control(const ControlDescription& description);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const ControlDescription& description() const noexcept { return description_; }
    std::string_view name() const noexcept { return description_.name; }
    ControlKind kind() const noexcept { return description_.kind; }
    bool visible() const noexcept { return description_.visible; }

protected:
    ControlObserver* observer() const noexcept { return observer_; }

private:
    // The user control that holds this control is told of each change and
    // passes it on to all of its observers; add observers there.
    friend class UserControl;
    void setObserver(ControlObserver* observer) noexcept { observer_ = observer; }

    ControlDescription description_;
    ControlObserver* observer_ = nullptr;
};

// A drop-down list of texts: the user can only pick one of its entries.
// Entries keep the order in which they were appended; entries are selected and
// read by their text, never by a position.
class DropDownList : public Control {
public:
    explicit DropDownList(const ControlDescription& description);

    // AddItem: appends an entry with this text at the end.
    void addItem(std::string_view text);
    // Clear: removes every entry; afterwards nothing is selected.
    void clear();

    // Read Text: the selected entry's text, or the zero-length text while
    // nothing is selected.
    const std::string& text() const noexcept;
    // Write Text: selects the first entry that holds exactly this text (same
    // characters and case, whole text). A text that no entry holds is a
    // failure: RuntimeError InvalidPropertyValue naming the list and the text,
    // and the selection stays as it was. Writing from code raises no Click.
    void setText(std::string_view text);

    // Whether an entry holds exactly this text.
    bool holds(std::string_view text) const noexcept;

    const std::vector<std::string>& entries() const noexcept { return entries_; }
    std::size_t entryCount() const noexcept { return entries_.size(); }
    // Which entry is selected. For renderers that show the list by position;
    // the form itself never reads or sets a position.
    std::optional<std::size_t> selectedIndex() const noexcept { return selected_; }

    // The Click event: raised when the user selects an entry (also the one
    // already selected). Handlers run in the order they were bound; an error
    // thrown by a handler ends the event there and passes to the caller of
    // raiseClick. Raise it through UserControl::raiseClick or
    // UserControl::selectAsUser so that such an error reaches the form's
    // error sink instead of the caller.
    void bindClick(std::function<void()> handler);
    void raiseClick();

private:
    std::vector<std::string> entries_;
    std::optional<std::size_t> selected_;
    std::vector<std::function<void()>> clickHandlers_;
};

class Label : public Control {
public:
    explicit Label(const ControlDescription& description);  // caption = initialText

    const std::string& caption() const noexcept { return caption_; }
    void setCaption(std::string_view caption);

private:
    std::string caption_;
};

class TextBox : public Control {
public:
    explicit TextBox(const ControlDescription& description);  // text = initialText

    const std::string& text() const noexcept { return text_; }
    void setText(std::string_view text);

private:
    std::string text_;
};

// A frame groups the controls whose `parent` names it. Its caption is fixed.
class Frame : public Control {
public:
    explicit Frame(const ControlDescription& description);

    std::string_view caption() const noexcept { return description().initialText; }
};

// ---------------------------------------------------------------------------
// The user control: a form of controls built from a description table, with
// the platform's event dispatch.

// Receives a run-time error that escaped an event handler, with the name of
// the event that ran it ("Initialize", "Combobwt Click").
using ErrorSink = std::function<void(const RuntimeError& error, std::string_view event)>;

// Writes one line on standard error: "<prefix>: <event>: run-time error <n>: <what>".
ErrorSink errorLineOnStderr(std::string prefix);

class UserControl {
public:
    // Creates one control per row of `layout`, in that order. Names must be
    // unique and a `parent` must name a frame of the table (checked:
    // std::invalid_argument otherwise). The table must outlive the control.
    UserControl(std::span<const ControlDescription> layout, ErrorSink errorSink);
    virtual ~UserControl();
    UserControl(const UserControl&) = delete;
    UserControl& operator=(const UserControl&) = delete;

    // Every control, in the order of the layout table.
    const std::vector<std::unique_ptr<Control>>& controls() const noexcept { return controls_; }

    // The control with exactly this name, or nullptr; the typed forms also give
    // nullptr when the control is of another kind.
    Control* control(std::string_view name) noexcept;
    const Control* control(std::string_view name) const noexcept;
    DropDownList* list(std::string_view name) noexcept;
    const DropDownList* list(std::string_view name) const noexcept;
    Label* label(std::string_view name) noexcept;
    const Label* label(std::string_view name) const noexcept;
    TextBox* textBox(std::string_view name) noexcept;
    const TextBox* textBox(std::string_view name) const noexcept;
    Frame* frame(std::string_view name) noexcept;
    const Frame* frame(std::string_view name) const noexcept;

    // Observers are told of every change of every control, in the order they
    // were added. The observer must stay alive until removed or until the user
    // control is destroyed. Adding one twice has no effect.
    void addObserver(ControlObserver& observer);
    void removeObserver(ControlObserver& observer) noexcept;

    // Where errors escaping an event handler go. An empty sink drops them.
    void setErrorSink(ErrorSink errorSink);
    const ErrorSink& errorSink() const noexcept { return errorSink_; }

    // Runs an event handler as the platform delivers an event: a RuntimeError
    // that escapes it goes to the error sink and does not pass to the caller.
    // Returns whether the handler ran to its end.
    bool dispatch(std::string_view event, const std::function<void()>& handler);

    // Raises the list's Click event through dispatch ("<list> Click").
    bool raiseClick(DropDownList& list);

    // What a user's selection does: writes the list's text, then raises its
    // Click event through dispatch. A text that no entry holds throws
    // RuntimeError InvalidPropertyValue from here and raises no event (a user
    // can only pick an entry the list holds). Returns whether the Click
    // handlers ran to their end (false: their error went to the error sink).
    bool selectAsUser(DropDownList& list, std::string_view text);

private:
    // Every control reports its changes here; this passes them on to each
    // observer of the user control.
    class Fanout : public ControlObserver {
    public:
        explicit Fanout(UserControl& owner)
            : owner_(owner)
        {}
        void entryAppended(const DropDownList& list, std::string_view text) override;
        void entriesCleared(const DropDownList& list) override;
        void selectionChanged(const DropDownList& list) override;
        void captionChanged(const Label& label) override;
        void textChanged(const TextBox& textBox) override;

    private:
        template <typename Notify> void notifyAll(Notify notify);
        UserControl& owner_;
    };

    Fanout fanout_{*this};
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<ControlObserver*> observers_;
    ErrorSink errorSink_;
};

}  // namespace wrenfield
