#include "appearance_proof.h"

#include <ole2.h>
#include <olectl.h>

#include <string>

#include "event_sink.h"
#include "form/calc_layout.h"
#include "form/layout_pixels.h"
#include "ole_container.h"
#include "proof_support.h"

namespace names = wrenfield::form::names;
using wrenfield::form::PixelPoint;
using wrenfield::form::PixelRect;

namespace {

constexpr COLORREF kAmbientBack = RGB(255, 255, 200);
constexpr COLORREF kAmbientFore = RGB(0, 0, 160);

PixelPoint originIn(HWND control, int dpi)
{
    RECT client{};
    GetClientRect(control, &client);
    return wrenfield::form::formOrigin({int(client.right), int(client.bottom)}, dpi, dpi);
}

RECT expectedRect(const wrenfield::ControlDescription& description, int dpi, PixelPoint origin)
{
    const PixelRect rect = wrenfield::form::formPixelRect(description, dpi, dpi);
    return {origin.x + rect.left, origin.y + rect.top, origin.x + rect.right(), origin.y + rect.bottom()};
}

std::string text(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
        std::to_string(r.bottom - r.top) + ")";
}

// The face of the font a window draws its text in, as the font mapper chose it.
std::wstring faceOf(HWND window)
{
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return face;
}

// A face the font mapper has, at any size, other than the desktop's: the
// container's ambient font.
std::wstring ambientFace()
{
    static const std::wstring face = [] {
        for (const wchar_t* candidate : {L"DejaVu Serif", L"DejaVu Sans Mono", L"Liberation Serif", L"Courier"}) {
            LOGFONTW wanted{};
            wanted.lfHeight = -20;
            lstrcpynW(wanted.lfFaceName, candidate, LF_FACESIZE);
            HFONT font = CreateFontIndirectW(&wanted);
            HDC dc = GetDC(nullptr);
            HGDIOBJ previous = SelectObject(dc, font);
            wchar_t got[LF_FACESIZE] = {};
            GetTextFaceW(dc, LF_FACESIZE, got);
            SelectObject(dc, previous);
            ReleaseDC(nullptr, dc);
            DeleteObject(font);
            if (lstrcmpiW(got, candidate) == 0)
                return std::wstring(candidate);
        }
        return std::wstring(L"Courier");
    }();
    return face;
}

std::wstring desktopFace()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    DeleteObject(font);
    return face;
}

Picture pictureOfWindow(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return pictureOfScreen(rect);
}

// The colour of the form's background beside a label: where its caption
// (right-aligned, short) leaves the label's box empty.
COLORREF backgroundBeside(HWND control)
{
    const Picture label = pictureOfWindow(childOf(control, names::Label5));
    return label.width > 2 ? label.at(2, label.height / 2) : 0xFFFFFFFF;
}

// The colour inside the result's frame, below its two labels.
COLORREF insideTheFrame(HWND control)
{
    const Picture frame = pictureOfWindow(childOf(control, names::Frame1));
    return frame.width > 8 ? frame.at(frame.width / 10, frame.height - 4) : 0xFFFFFFFF;
}

int pixelsOf(const Picture& picture, COLORREF colour)
{
    const DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    int count = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            count += picture.at(x, y) == wanted;
    return count;
}

DWORD pixelValue(COLORREF colour)
{
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

BOOL CALLBACK noteOpenList(HWND window, LPARAM found)
{
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpW(name, L"ComboLBox") == 0 && IsWindowVisible(window))
        *reinterpret_cast<bool*>(found) = true;
    return TRUE;
}

// Whether any drop-down list of any combo box is open on the screen.
bool listOpenAnywhere()
{
    bool open = false;
    EnumWindows(noteOpenList, reinterpret_cast<LPARAM>(&open));
    return open;
}

int shownControls()
{
    int count = 0;
    for (const auto& description : wrenfield::form::calcLayout())
        count += description.visible && description.kind != wrenfield::ControlKind::TextBox;
    return count;
}

bool placedAt(HWND control, std::string_view name, int dpi, PixelPoint origin)
{
    const RECT expected = expectedRect(*wrenfield::form::findInCalcLayout(name), dpi, origin);
    const RECT shown = rectIn(childOf(control, name), control);
    return shown.left == expected.left && shown.top == expected.top && shown.right == expected.right;
}

}  // namespace

void proveLayout(HWND control, int dpi)
{
    const PixelPoint origin = originIn(control, dpi);
    std::string wrong;
    for (const auto& description : wrenfield::form::calcLayout()) {
        if (!description.visible || description.kind == wrenfield::ControlKind::TextBox)
            continue;
        const RECT expected = expectedRect(description, dpi, origin);
        const RECT shown = rectIn(childOf(control, description.name), control);
        // A closed list is as tall as the table says, give or take its frame's pixel.
        const int heightSlack = description.kind == wrenfield::ControlKind::DropDownList ? 1 : 0;
        const int heightError = std::abs(int(shown.bottom - shown.top) - int(expected.bottom - expected.top));
        if (shown.left != expected.left || shown.top != expected.top || shown.right != expected.right ||
            heightError > heightSlack) {
            wrong += " " + std::string(description.name) + " " + text(shown) + " not " + text(expected);
            if (description.kind == wrenfield::ControlKind::DropDownList) {
                HWND combo = childOf(control, description.name);
                wrong += " [field " + std::to_string(SendMessageW(combo, CB_GETITEMHEIGHT, WPARAM(-1), 0)) +
                    ", entries " + std::to_string(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0)) + "]";
            }
        }
    }
    check(wrong.empty(),
          "at " + std::to_string(dpi) + " dpi every control is where the layout table puts it, " + "in pixels" + wrong);

    HWND label = childOf(control, names::Label4);
    HDC dc = GetDC(label);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE extent{};
    const std::wstring caption = windowText(label);
    GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    RECT box{};
    GetClientRect(label, &box);
    check(metrics.tmHeight <= box.bottom && metrics.tmHeight * 10 >= box.bottom * 6 && extent.cx <= box.right,
          "the font grows with the form: " + std::to_string(metrics.tmHeight) + " pixels high in a label " +
              std::to_string(box.bottom) + " high, and \"Maternal height (cm)\" fits its " + std::to_string(box.right) +
              " pixels (" + std::to_string(extent.cx) + ")");
}

void proveDesignedAppearance(HWND control)
{
    const std::wstring face = faceOf(childOf(control, names::Label1));
    check(backgroundBeside(control) == pixelValue(GetSysColor(COLOR_WINDOW)) &&
              insideTheFrame(control) == pixelValue(GetSysColor(COLOR_WINDOW)) && face == desktopFace(),
          "with no ambient font or colours, the designed ones: the desktop's font (" + narrow(face) +
              ") on the window colour, inside the frame too");
}

void proveAmbientProperties(OleContainer& site, IUnknown*, HWND control, HWND form)
{
    const Picture before = pictureOfWindow(control);
    site.setAmbientColours(kAmbientBack, kAmbientFore);
    const bool recoloured =
        pumpUntil([&] { return backgroundBeside(control) == pixelValue(kAmbientBack); }, 3000, form, &site);
    pumpUntil([] { return false; }, 200, form, &site);
    const Picture label = pictureOfWindow(childOf(control, names::Label5));
    check(recoloured && insideTheFrame(control) == pixelValue(kAmbientBack) && pixelsOf(label, kAmbientFore) > 0,
          "ambient BackColor and ForeColor: the form, its frame and its labels redrawn in the container's colours");
    const Picture result = pictureOfWindow(childOf(control, names::OutputLabel));
    check(pixelsOf(result, RGB(255, 192, 192)) > 0, "the result keeps its designed light red");

    site.setAmbientFont(ambientFace(), 10);
    const bool refonted =
        pumpUntil([&] { return faceOf(childOf(control, names::Label1)) == ambientFace(); }, 3000, form, &site);
    pumpUntil([] { return false; }, 200, form, &site);
    const Picture after = pictureOfWindow(control);
    const std::wstring labelFace = faceOf(childOf(control, names::Label1));
    const std::wstring listFace = faceOf(childOf(control, names::Combobwt));
    check(refonted && listFace == ambientFace() && !samePixels(before, {0, 0, before.width, before.height}, after),
          "ambient Font \"" + narrow(ambientFace()) + "\" 10 pt: the labels and lists redrawn in it (" +
              narrow(labelFace) + ", " + narrow(listFace) + ")");
}

void proveAmbientPropertiesGone(OleContainer& site, HWND control, HWND form)
{
    site.setAmbientColours(std::nullopt, std::nullopt);
    site.setAmbientFont(L"", 0);
    pumpUntil([&] { return backgroundBeside(control) == pixelValue(GetSysColor(COLOR_WINDOW)); }, 3000, form, &site);
    const std::wstring face = faceOf(childOf(control, names::Label1));
    check(backgroundBeside(control) == pixelValue(GetSysColor(COLOR_WINDOW)) && face == desktopFace(),
          "the ambient font and colours withdrawn: the designed ones again (" + narrow(face) + ")");
}

void proveDesignMode(HWND form, const RECT& area, int dpi, const std::function<void()>& whileDesigning)
{
    OleContainer designer(form, area);
    designer.setUserMode(false);
    EventSink events;
    const HRESULT placed = designer.placeQuickly(CLSID_Calc, &events);
    const QACONTROL& answer = designer.quickActivation();
    check(placed == S_OK && answer.dwMiscStatus == 0x20191 && answer.dwEventCookie != 0,
          "IQuickActivate::QuickActivate sites the control, connects the form's event sink (cookie " +
              std::to_string(answer.dwEventCookie) + ") and answers its status 0x20191: " + hex(placed));
    if (placed != S_OK)
        return;
    IOleInPlaceObject* inPlace = nullptr;
    HWND control = nullptr;
    designer.object()->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
    if (inPlace) {
        inPlace->GetWindow(&control);
        inPlace->Release();
    }
    pumpUntil([] { return false; }, 500, form, &designer);

    // Designing: the picture of the form, no lists.
    RECT client{};
    GetClientRect(control, &client);
    const Picture shown = pictureOfWindow(control);
    mark("the proof's own requests begin");
    const Picture drawn = drawnPicture(designer.object(), client.right, client.bottom);
    mark("the proof's own requests end");
    check(control && childCount(control) == 0 && samePixels(shown, client, drawn),
          "UserMode FALSE: the control holds no lists and shows the picture IViewObject::Draw gives, pixel for pixel");
    whileDesigning();

    const PixelPoint origin = originIn(control, dpi);
    const RECT list = expectedRect(*wrenfield::form::findInCalcLayout(names::Combobwt), dpi, origin);
    POINT centre = {(list.left + list.right) / 2, (list.top + list.bottom) / 2};
    ClientToScreen(control, &centre);
    xdotool(L"mousemove " + std::to_wstring(centre.x) + L" " + std::to_wstring(centre.y) + L" click 1");
    pumpUntil([] { return false; }, 700, form, &designer);
    check(!listOpenAnywhere() && childCount(control) == 0 && events.recomputed == 0,
          "a click where the Birthweight list is drawn opens no list and picks nothing");

    // A property set at design time shows in the picture.
    mark("the proof's own requests begin");
    _Calc2* calc = nullptr;
    designer.object()->QueryInterface(IID__Calc2, reinterpret_cast<void**>(&calc));
    BSTR weight = SysAllocString(L"3000");
    const HRESULT written = calc ? calc->put_Birthweight(weight) : E_NOINTERFACE;
    SysFreeString(weight);
    pumpUntil([] { return false; }, 300, form, &designer);
    const Picture redrawn = pictureOfWindow(control);
    const Picture drawnAgain = drawnPicture(designer.object(), client.right, client.bottom);  // the proof's own
    check(written == S_OK && samePixels(redrawn, client, drawnAgain) && !samePixels(redrawn, client, shown) &&
              events.recomputed == 1,
          "Birthweight = \"3000\" while designing: the picture shows the new result");
    if (calc)
        calc->Release();
    mark("the proof's own requests end");

    // Running: the lists appear, the form in the middle of its larger rectangle.
    designer.setUserMode(true);
    pumpUntil([&] { return childCount(control) == shownControls(); }, 3000, form, &designer);
    check(childCount(control) == shownControls() && origin.x > 0 && origin.y > 0 &&
              placedAt(control, names::Combobwt, dpi, origin) && placedAt(control, names::Label4, dpi, origin),
          "UserMode TRUE: the lists appear, the form centred in a rectangle " + std::to_string(client.right) + " x " +
              std::to_string(client.bottom) + " (at " + std::to_string(origin.x) + ", " + std::to_string(origin.y) +
              ")");

    // A smaller rectangle: the form stays at the corner, cut off at the edge.
    const wrenfield::form::PixelSize designed = wrenfield::form::designedPixelSize(dpi, dpi);
    const RECT smaller = {area.left, area.top, area.left + designed.width - MulDiv(100, dpi, 96),
                          area.top + designed.height - MulDiv(50, dpi, 96)};
    designer.moveTo(smaller);
    pumpUntil([] { return false; }, 300, form, &designer);
    RECT cut{};
    GetClientRect(control, &cut);
    const RECT birthweight = rectIn(childOf(control, names::Combobwt), control);
    check(cut.right == smaller.right - smaller.left && cut.bottom == smaller.bottom - smaller.top &&
              placedAt(control, names::Combobwt, dpi, {0, 0}) && birthweight.right > cut.right - MulDiv(40, dpi, 96),
          "a smaller rectangle " + std::to_string(cut.right) + " x " + std::to_string(cut.bottom) +
              ": the form stays at the corner, unscaled, cut off at the edge");

    disconnectSink(designer.object(), answer.dwEventCookie);
    designer.remove();
    check(events.references == 1, "the form's sink was let go");
}
