#include "windows/control/calc_window.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>

#include "form/calc.h"
#include "form/calc_layout.h"
#include "windows/control/calc_drawing.h"
#include "windows/control/child_windows.h"
#include "windows/control/control_geometry.h"
#include "windows/control/wide_text.h"

namespace wrenfield::windows {

namespace {

// Posted to the control's window after a list reports a pick: the
// notifications of one pick (CBN_SELCHANGE, CBN_SELENDOK) arrive in an order
// that differs between platforms, and together they make one selection.
constexpr UINT kCommitPick = WM_APP + 1;
// How many entries an open list shows at once.
constexpr int kVisibleEntries = 12;

// Windows of the class alive in the process (each apartment thread has its own).
std::atomic<int> gLiveWindows{0};

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

std::size_t rowOf(const ControlDescription& description)
{
    const auto layout = form::calcLayout();
    for (std::size_t row = 0; row < layout.size(); ++row)
        if (layout[row].name == description.name)
            return row;
    return layout.size();
}

DWORD labelStyle(Alignment alignment)
{
    switch (alignment) {
    case Alignment::Right:
        return SS_RIGHT;
    case Alignment::Centre:
        return SS_CENTER;
    case Alignment::Left:
        break;
    }
    return SS_LEFT;
}

}  // namespace

CalcWindow::CalcWindow(form::Calc& calc, CalcWindowEvents& events)
    : calc_(calc)
    , events_(events)
{}

CalcWindow::~CalcWindow()
{
    destroy();
}

int CalcWindow::liveWindows() noexcept
{
    return gLiveWindows;
}

HRESULT CalcWindow::create(HWND parent, const RECT& position)
{
    if (window_)
        return S_OK;
    const HINSTANCE module = thisModule();
    if (gLiveWindows == 0) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &CalcWindow::windowProcedure;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kCalcWindowClass;
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return HRESULT_FROM_WIN32(GetLastError());
    }

    // The container's logical resolution decides the size of a twip.
    HDC parentDc = GetDC(parent);
    dotsX_ = GetDeviceCaps(parentDc, LOGPIXELSX);
    dotsY_ = GetDeviceCaps(parentDc, LOGPIXELSY);
    const LOGFONTW font = fittedFont(parentDc, dotsX_, dotsY_, appearance_);
    ReleaseDC(parent, parentDc);
    font_ = CreateFontIndirectW(&font);

    // The control's window takes part in the container's dialog navigation:
    // Tab moves through its lists as through the container's own controls.
    window_ = CreateWindowExW(
        WS_EX_CONTROLPARENT, kCalcWindowClass, L"Calc", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, position.left,
        position.top, position.right - position.left, position.bottom - position.top, parent, nullptr, module, this);
    if (!window_) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        DeleteObject(font_);
        font_ = nullptr;
        if (gLiveWindows == 0)
            UnregisterClassW(kCalcWindowClass, module);
        return FAILED(hr) ? hr : E_FAIL;
    }
    if (appearance_.userMode)
        createControls();
    calc_.addObserver(*this);
    observing_ = true;
    return S_OK;
}

RECT CalcWindow::controlRect(const ControlDescription& description) const
{
    RECT client{};
    GetClientRect(window_, &client);
    return FormGeometry::inPixels(client, dotsX_, dotsY_).controlRect(description);
}

void CalcWindow::createControls()
{
    const HINSTANCE module = thisModule();

    // In the order of the tab indexes: the dialog manager moves the focus
    // through the children in the order in which they were made.
    std::vector<Control*> byTabIndex;
    for (const auto& control : calc_.controls())
        byTabIndex.push_back(control.get());
    std::stable_sort(byTabIndex.begin(), byTabIndex.end(), [](const Control* a, const Control* b) {
        return a->description().tabIndex < b->description().tabIndex;
    });

    HWND frame = nullptr;
    HWND result = nullptr;
    for (Control* control : byTabIndex) {
        const ControlDescription& description = control->description();
        // The hidden controls (the population list, the version and
        // population labels, the text box) exist only in the model.
        if (!description.visible || description.kind == ControlKind::TextBox)
            continue;
        const RECT rect = controlRect(description);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(childWindowId(rowOf(description))));
        const DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        HWND child = nullptr;
        switch (description.kind) {
        case ControlKind::DropDownList: {
            child =
                CreateWindowExW(0, L"COMBOBOX", nullptr, common | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, rect.left,
                                rect.top, width, height * (kVisibleEntries + 1), window_, id, module, nullptr);
            if (!child)
                break;
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            HWND dropDown = GetComboBoxInfo(child, &info) ? info.hwndList : nullptr;
            lists_.push_back({static_cast<DropDownList*>(control), child, dropDown, false});
            fitListHeight(lists_.back(), height);
            if (dropDown)
                described_[dropDown] = &description;
            break;
        }
        case ControlKind::Label: {
            auto* label = static_cast<Label*>(control);
            child = CreateWindowExW(0, L"STATIC", wideText(label->caption()).c_str(),
                                    common | SS_NOPREFIX | labelStyle(description.alignment), rect.left, rect.top,
                                    width, height, window_, id, module, nullptr);
            if (child)
                labels_[label] = child;
            if (description.name == form::names::OutputLabel)
                result = child;
            break;
        }
        case ControlKind::Frame:
            // An etched box without caption, behind the labels it holds,
            // drawn by the control itself (WM_DRAWITEM): a group box leaves
            // its inside to whatever was on the screen before.
            child = CreateWindowExW(0, L"STATIC", nullptr, common | SS_OWNERDRAW, rect.left, rect.top, width, height,
                                    window_, id, module, nullptr);
            frame = child;
            break;
        case ControlKind::TextBox:
            break;
        }
        if (!child)
            continue;
        // A list has its font already: setting it again would undo the
        // height of its closed field.
        if (description.kind != ControlKind::DropDownList)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        described_[child] = &description;
    }
    // The labels are no tab stops, so their stacking does not change the tab
    // order: the result above its neighbour, whose box overlaps it, and the
    // frame below all.
    if (result)
        SetWindowPos(result, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (frame)
        SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (const ListWindow& list : lists_)
        showList(*list.list);
}

void CalcWindow::fitListHeight(const ListWindow& list, int height)
{
    // The closed list is exactly as tall as the table says, whatever its
    // font: its field's height is set, measured, and set again by the
    // difference. The height asked for is the reference, not the one the
    // box reports (some platforms report more than they were asked for).
    LRESULT field = SendMessageW(list.combo, CB_GETITEMHEIGHT, WPARAM(-1), 0);
    for (int attempt = 0; field > 0 && attempt < 3; ++attempt) {
        SendMessageW(list.combo, CB_SETITEMHEIGHT, WPARAM(-1), field);
        RECT closed{};
        GetWindowRect(list.combo, &closed);
        const int error = height - int(closed.bottom - closed.top);
        if (error == 0)
            return;
        field += error;
    }
}

void CalcWindow::destroyControls()
{
    for (const auto& [child, description] : described_)
        if (IsWindow(child) && GetParent(child) == window_)
            DestroyWindow(child);
    lists_.clear();
    labels_.clear();
    described_.clear();
}

void CalcWindow::layOutControls()
{
    for (const auto& [child, description] : described_) {
        if (GetParent(child) != window_)
            continue;  // a combo box's own list of entries
        const RECT rect = controlRect(*description);
        int height = rect.bottom - rect.top;
        if (description->kind == ControlKind::DropDownList)
            height *= kVisibleEntries + 1;  // with room for the open list
        SetWindowPos(child, nullptr, rect.left, rect.top, rect.right - rect.left, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CalcWindow::applyFont()
{
    HDC dc = GetDC(window_);
    const LOGFONTW font = fittedFont(dc, dotsX_, dotsY_, appearance_);
    ReleaseDC(window_, dc);
    HFONT previous = font_;
    font_ = CreateFontIndirectW(&font);
    for (const auto& [child, description] : described_)
        if (GetParent(child) == window_)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    for (const ListWindow& list : lists_) {
        const RECT rect = controlRect(list.list->description());
        fitListHeight(list, rect.bottom - rect.top);
    }
    if (previous)
        DeleteObject(previous);
}

void CalcWindow::setAppearance(const ControlAppearance& appearance)
{
    if (appearance == appearance_)
        return;
    const bool fontChanged = !(appearance.font == appearance_.font);
    const bool modeChanged = appearance.userMode != appearance_.userMode;
    appearance_ = appearance;
    if (!window_)
        return;
    if (fontChanged)
        applyFont();
    if (modeChanged) {
        // Designing: the picture alone. Running: the lists the user picks in.
        if (appearance_.userMode)
            createControls();
        else
            destroyControls();
    }
    for (const auto& [colour, brush] : brushes_)
        DeleteObject(brush);
    brushes_.clear();
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CalcWindow::paintPicture()
{
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    RECT client{};
    GetClientRect(window_, &client);
    drawCalc(dc, client, calc_, appearance_);
    EndPaint(window_, &paint);
}

void CalcWindow::pictureChanged()
{
    if (window_ && !appearance_.userMode)
        InvalidateRect(window_, nullptr, FALSE);
}

void CalcWindow::destroy()
{
    if (observing_) {
        calc_.removeObserver(*this);
        observing_ = false;
    }
    if (window_) {
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);  // and with it every child
    }
    // The class goes with the last window, so that the library can be
    // unloaded and loaded again.
    if (gLiveWindows == 0)
        UnregisterClassW(kCalcWindowClass, thisModule());
    lists_.clear();
    labels_.clear();
    described_.clear();
    if (font_) {
        DeleteObject(font_);
        font_ = nullptr;
    }
    for (const auto& [colour, brush] : brushes_)
        DeleteObject(brush);
    brushes_.clear();
}

void CalcWindow::place(const RECT& position, const RECT& clip)
{
    if (!window_)
        return;
    RECT before{};
    GetClientRect(window_, &before);
    MoveWindow(window_, position.left, position.top, position.right - position.left, position.bottom - position.top,
               TRUE);
    if (before.right != position.right - position.left || before.bottom != position.bottom - position.top) {
        layOutControls();
        InvalidateRect(window_, nullptr, TRUE);
    }
    RECT visible{};
    if (IntersectRect(&visible, &position, &clip) && !EqualRect(&visible, &position)) {
        OffsetRect(&visible, -position.left, -position.top);
        SetWindowRgn(window_, CreateRectRgnIndirect(&visible), TRUE);
    } else {
        SetWindowRgn(window_, nullptr, TRUE);
    }
}

void CalcWindow::show(bool visible)
{
    if (window_)
        ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
}

bool CalcWindow::listHasFocus() const
{
    const HWND focus = GetFocus();
    for (const ListWindow& list : lists_)
        if (focus && (focus == list.combo || IsChild(list.combo, focus)))
            return true;
    return false;
}

bool CalcWindow::hasFocus() const
{
    const HWND focus = GetFocus();
    return window_ && focus && (focus == window_ || IsChild(window_, focus));
}

void CalcWindow::takeFocus()
{
    if (!window_ || listHasFocus() || lists_.empty())
        return;
    SetFocus(lists_.front().combo);
}

bool CalcWindow::moveFocus(bool backwards)
{
    const HWND focus = GetFocus();
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        if (focus != lists_[i].combo && !IsChild(lists_[i].combo, focus))
            continue;
        if (backwards ? i == 0 : i + 1 == lists_.size())
            return false;
        SetFocus(lists_[backwards ? i - 1 : i + 1].combo);
        return true;
    }
    return false;
}

LRESULT CALLBACK CalcWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CalcWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ++gLiveWindows;
    }
    auto* self = reinterpret_cast<CalcWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        --gLiveWindows;
        // Destroyed with its parent, before the control let it go: the
        // children are gone too.
        if (self && self->window_ == window) {
            self->window_ = nullptr;
            self->lists_.clear();
            self->labels_.clear();
            self->described_.clear();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (!self || self->window_ != window)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT CalcWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const auto child = reinterpret_cast<HWND>(lParam);
        for (ListWindow& list : lists_)
            if (list.combo == child) {
                onListCommand(list, HIWORD(wParam));
                return 0;
            }
        break;
    }
    case kCommitPick:
        commitPick(static_cast<std::size_t>(wParam));
        return 0;
    case WM_DRAWITEM: {
        // The frame: the form's background inside an etched edge.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const auto found = described_.find(item->hwndItem);
        if (found == described_.end() || found->second->kind != ControlKind::Frame)
            break;
        RECT box = item->rcItem;
        FillRect(item->hDC, &box, brushFor(colourRef(found->second->background, appearance_)));
        DrawEdge(item->hDC, &box, EDGE_ETCHED, BF_RECT);
        return TRUE;
    }
    // The lists' colours: the closed list's face (which some platforms ask
    // for as an edit field's) and its open list of entries.
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        if (HBRUSH brush = colourFor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_ERASEBKGND: {
        // The form's background, the container's where it gives one.
        RECT client{};
        GetClientRect(window_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brushFor(formBackground(appearance_)));
        return 1;
    }
    case WM_PAINT:
        if (!appearance_.userMode) {
            paintPicture();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        // The focus given to the control goes to its first list.
        takeFocus();
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void CalcWindow::onListCommand(ListWindow& list, WORD code)
{
    switch (code) {
    case CBN_SELCHANGE:
    case CBN_SELENDOK:
        // One selection, however many notifications report it; also a pick
        // of the entry already selected, which reports only CBN_SELENDOK.
        if (!list.pickPending) {
            list.pickPending = true;
            PostMessageW(window_, kCommitPick, static_cast<WPARAM>(&list - lists_.data()), 0);
        }
        break;
    case CBN_SETFOCUS:
        events_.focusEntered();
        break;
    case CBN_KILLFOCUS:
        if (!hasFocus())
            events_.focusLeft();
        break;
    default:
        break;
    }
}

void CalcWindow::commitPick(std::size_t index)
{
    if (index >= lists_.size())
        return;
    ListWindow& window = lists_[index];
    window.pickPending = false;
    DropDownList& list = *window.list;
    const LRESULT selected = SendMessageW(window.combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR || std::size_t(selected) >= list.entryCount())
        return;
    const std::string text = list.entries()[std::size_t(selected)];
    events_.pickBegins();
    try {
        // A user's selection: the list's text, then its Click, which
        // recomputes. An error of the handlers goes to the form's error sink.
        calc_.dispatch(std::string(list.name()) + " Click", [&] { calc_.selectAsUser(list, text); });
    } catch (const std::exception& error) {
        // Nothing but run-time errors should leave a handler; an exception
        // must still not unwind through the container's message loop.
        OutputDebugStringA(("Wrenfield515UK: " + std::string(list.name()) + " Click: " + error.what()).c_str());
    }
    // An event's sink may have closed the control: its window, and this
    // list, may be gone.
    if (window_ && index < lists_.size() && lists_[index].list == &list)
        showList(list);
    events_.pickEnds();
}

CalcWindow::ListWindow* CalcWindow::listFor(const DropDownList& list)
{
    for (ListWindow& window : lists_)
        if (window.list == &list)
            return &window;
    return nullptr;
}

void CalcWindow::showList(const DropDownList& list)
{
    ListWindow* window = listFor(list);
    if (!window)
        return;
    const std::vector<std::string>& entries = list.entries();
    // Keep the entries both have in common, then append or drop the rest.
    const LRESULT count = SendMessageW(window->combo, CB_GETCOUNT, 0, 0);
    std::size_t same = 0;
    std::wstring shown;
    while (same < std::size_t(std::max<LRESULT>(count, 0)) && same < entries.size()) {
        const LRESULT length = SendMessageW(window->combo, CB_GETLBTEXTLEN, same, 0);
        shown.assign(std::size_t(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(window->combo, CB_GETLBTEXT, same, reinterpret_cast<LPARAM>(shown.data()));
        shown.resize(std::size_t(std::max<LRESULT>(length, 0)));
        if (shown != wideText(entries[same]))
            break;
        ++same;
    }
    for (LRESULT i = count - 1; i >= LRESULT(same); --i)
        SendMessageW(window->combo, CB_DELETESTRING, WPARAM(i), 0);
    for (std::size_t i = same; i < entries.size(); ++i)
        SendMessageW(window->combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideText(entries[i]).c_str()));
    const std::optional<std::size_t> selected = list.selectedIndex();
    SendMessageW(window->combo, CB_SETCURSEL, selected ? WPARAM(*selected) : WPARAM(-1), 0);
}

HBRUSH CalcWindow::brushFor(COLORREF colour)
{
    auto found = brushes_.find(colour);
    if (found == brushes_.end())
        found = brushes_.emplace(colour, CreateSolidBrush(colour)).first;
    return found->second;
}

HBRUSH CalcWindow::colourFor(HDC dc, HWND child)
{
    const auto found = described_.find(child);
    if (found == described_.end())
        return nullptr;
    const ControlDescription& description = *found->second;
    const COLORREF background = colourRef(description.background, appearance_);
    SetTextColor(dc, colourRef(description.foreground, appearance_));
    SetBkColor(dc, background);
    return brushFor(background);
}

void CalcWindow::entryAppended(const DropDownList& list, std::string_view)
{
    showList(list);
}

void CalcWindow::entriesCleared(const DropDownList& list)
{
    showList(list);
}

void CalcWindow::selectionChanged(const DropDownList& list)
{
    showList(list);
    pictureChanged();
}

void CalcWindow::captionChanged(const Label& label)
{
    const auto found = labels_.find(&label);
    if (found != labels_.end())
        SetWindowTextW(found->second, wideText(label.caption()).c_str());
    pictureChanged();
}

}  // namespace wrenfield::windows
