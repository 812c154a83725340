// The Calc control on the screen: a child window of the container holding
// real Win32 controls (drop-down-list combo boxes, static labels, the
// frame), laid out from the form's layout table at the container's logical
// resolution and placed in the control's rectangle by the form's rule
// (centred where there is room to spare, cut off where there is not), in the
// table's colours and alignment and its tab order, with the container's
// ambient font and colours where it gives them. It shows the model's state
// and follows every change of it as an observer; a pick in a list, by mouse
// or keyboard, is a user's selection in the model.
//
// While the container's form is being designed (its ambient UserMode is
// false) the window holds no controls: it shows the picture of the form that
// IViewObject::Draw gives, and nothing opens.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "form/controls.h"
#include "windows/control/control_palette.h"

namespace wrenfield::form {
class Calc;
}

namespace wrenfield::windows {

// What the window tells the object that owns it.
class CalcWindowEvents {
public:
    virtual ~CalcWindowEvents() = default;
    // One of the control's lists received the keyboard focus (a click or Tab
    // from the container): the control becomes the active one.
    virtual void focusEntered() = 0;
    // The focus left the control's windows.
    virtual void focusLeft() = 0;
    // A user's pick is about to run the form's handlers (and raise the
    // control's events), and has run them: the object stays alive between
    // the two, whatever an event's sink does.
    virtual void pickBegins() = 0;
    virtual void pickEnds() = 0;
};

class CalcWindow final : private ControlObserver {
public:
    CalcWindow(form::Calc& calc, CalcWindowEvents& events);
    ~CalcWindow() override;
    CalcWindow(const CalcWindow&) = delete;
    CalcWindow& operator=(const CalcWindow&) = delete;

    // Creates the window (hidden) as a child of `parent` at `position` (the
    // parent's client coordinates) with all its controls. Fails with the
    // platform's error as an HRESULT.
    HRESULT create(HWND parent, const RECT& position);
    // Destroys the window and every control in it. Nothing is left.
    void destroy();

    HWND handle() const noexcept { return window_; }

    // Moves the window to `position`, showing only the part inside `clip`
    // (both in the parent's client coordinates), and lays the form out in
    // its new size.
    void place(const RECT& position, const RECT& clip);
    void show(bool visible);

    // The container's font, colours and mode; the window follows a change at
    // once (a new font, new colours, controls made or taken away) and draws
    // itself again.
    void setAppearance(const ControlAppearance& appearance);
    const ControlAppearance& appearance() const noexcept { return appearance_; }

    // Puts the focus on the first list in the tab order, unless a list of
    // the control has it already.
    void takeFocus();
    // Tab (or Shift+Tab): moves the focus to the next (previous) list in the
    // tab order. False when the focus is not in the control or is on its
    // last (first) list: the container moves it on.
    bool moveFocus(bool backwards);
    bool hasFocus() const;
    bool listHasFocus() const;

    // How many windows of this class exist in the process (for the proof of teardown).
    static int liveWindows() noexcept;

private:
    struct ListWindow {
        DropDownList* list;
        HWND combo;
        HWND dropDown;  // the combo box's own list of entries, when it has one
        bool pickPending;
    };

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    void destroyControls();
    void layOutControls();
    void applyFont();
    void fitListHeight(const ListWindow& list, int height);
    void paintPicture();
    void onListCommand(ListWindow& list, WORD code);
    void commitPick(std::size_t index);
    void showList(const DropDownList& list);
    ListWindow* listFor(const DropDownList& list);
    HBRUSH colourFor(HDC dc, HWND child);
    HBRUSH brushFor(COLORREF colour);
    RECT controlRect(const ControlDescription& description) const;
    // In design mode every change of the model shows in the picture.
    void pictureChanged();

    // ControlObserver
    void entryAppended(const DropDownList& list, std::string_view text) override;
    void entriesCleared(const DropDownList& list) override;
    void selectionChanged(const DropDownList& list) override;
    void captionChanged(const Label& label) override;

    form::Calc& calc_;
    CalcWindowEvents& events_;
    ControlAppearance appearance_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    int dotsX_ = 96;
    int dotsY_ = 96;
    std::vector<ListWindow> lists_;  // in tab order
    std::map<const Label*, HWND> labels_;
    std::map<HWND, const ControlDescription*> described_;  // every child (and drop-down) by window
    std::map<COLORREF, HBRUSH> brushes_;
    bool observing_ = false;
};

}  // namespace wrenfield::windows
