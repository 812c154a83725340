// The proof of the Calc control on a Windows form, run under Wine on a
// virtual screen: a container places the control on a form, and the proof
// drives it with real mouse and keyboard input (xdotool), reads the result
// back from the screen and counts the control's events, draws the control
// into a memory bitmap and a metafile, saves and loads it, reads and writes
// its properties as form code does, and tears it down. In our own container
// it also changes the ambient font and colours, and places a second control
// by quick activation while the form is being designed.
//
//   control_proof.exe atl    FOLDER DPI   Wine's ATL host (a window of class "AtlAxWin")
//   control_proof.exe ole    FOLDER DPI   our own OLE container (ole_container.h)
//   control_proof.exe layout FOLDER DPI   the layout alone, in our container (form-DPI.png)
//
// FOLDER is a Linux folder holding run.sh, through which the proof runs
// xdotool and ImageMagick's import; the container "ole" leaves pictures of
// the screen with the form and the control on it there (form.png at start,
// form-design.png with the ambient font and colours and a second control in
// design mode). DPI is the logical resolution the screen must have (the
// Wine prefix's LogPixels); the whole form is laid out for it.
// Prints one line per check and "proof: N checks passed, M failed"; the exit
// code is the number of failed checks. The expected texts come from the
// form model itself, driven the same way.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "wrenfield515uk_idl.h"
#include "appearance_proof.h"
#include "event_sink.h"
#include "form/calc.h"
#include "form/calc_layout.h"
#include "form/layout_pixels.h"
#include "form_code_proof.h"
#include "ole_container.h"
#include "proof_support.h"
#include "windows/control/child_windows.h"

namespace {

using wrenfield::windows::kCalcWindowClass;
namespace names = wrenfield::form::names;

constexpr wchar_t kProgId[] = L"Wrenfield515UK.Calc";
constexpr int kEditId = 10;
constexpr int kOkId = 11;
constexpr int kHostId = 12;

// The form, laid out for the screen's resolution: a "Patient:" edit box, the
// control at its designed size, the OK button below it, and below that room
// for a second control in a rectangle larger than designed.
struct FormLayout {
    int dpi = 96;
    int scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi, 96); }
    SIZE control() const
    {
        const wrenfield::form::PixelSize size = wrenfield::form::designedPixelSize(dpi, dpi);
        return {size.width, size.height};
    }
    RECT controlArea() const { return {scaled(10), scaled(44), scaled(10) + control().cx, scaled(44) + control().cy}; }
    RECT okButton() const
    {
        const RECT area = controlArea();
        return {area.right - scaled(80), area.bottom + scaled(8), area.right, area.bottom + scaled(34)};
    }
    // Larger than designed by 60 x 30 pixels at 96 dpi: the control centres its form in it.
    RECT secondArea() const
    {
        const RECT ok = okButton();
        return {scaled(10), ok.bottom + scaled(10), scaled(10) + control().cx + scaled(60),
                ok.bottom + scaled(10) + control().cy + scaled(30)};
    }
    SIZE client() const
    {
        const RECT second = secondArea();
        return {second.right + scaled(10), second.bottom + scaled(10)};
    }
};

FormLayout gForm;

// The lists shown, in the order of their tab indexes.
std::vector<std::string_view> listsInTabOrder()
{
    std::vector<const wrenfield::ControlDescription*> lists;
    for (const auto& description : wrenfield::form::calcLayout())
        if (description.kind == wrenfield::ControlKind::DropDownList && description.visible)
            lists.push_back(&description);
    std::stable_sort(lists.begin(), lists.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::string_view> order;
    for (auto* description : lists)
        order.push_back(description->name);
    return order;
}

// Every window of the control class in the process, with all its descendants.
void collectControlWindows(HWND parent, std::vector<HWND>& found, bool inside)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        const bool ours = inside || lstrcmpW(className, kCalcWindowClass) == 0;
        if (ours)
            found.push_back(child);
        collectControlWindows(child, found, ours);
    }
}

std::vector<HWND> controlWindowsAnywhere()
{
    std::vector<HWND> found;
    collectControlWindows(GetDesktopWindow(), found, false);
    return found;
}

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeForm(const wchar_t* title)
{
    WNDCLASSW formClass{};
    formClass.lpfnWndProc = formProcedure;
    formClass.hInstance = GetModuleHandleW(nullptr);
    formClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    formClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    formClass.lpszClassName = L"ProofForm";
    RegisterClassW(&formClass);
    RECT frame = {0, 0, gForm.client().cx, gForm.client().cy};
    AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_CONTROLPARENT);
    HWND form = CreateWindowExW(WS_EX_CONTROLPARENT, L"ProofForm", title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 20,
                                20, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    // The form's own font at the screen's resolution.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    const int s10 = gForm.scaled(10);
    HWND label = CreateWindowExW(0, L"STATIC", L"Patient:", WS_CHILD | WS_VISIBLE, s10, gForm.scaled(14),
                                 gForm.scaled(60), gForm.scaled(20), form, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, gForm.scaled(74),
                                s10, gForm.scaled(200), gForm.scaled(24), form,
                                reinterpret_cast<HMENU>(INT_PTR(kEditId)), nullptr, nullptr);
    // The control's place comes between the two in the tab order.
    const RECT okArea = gForm.okButton();
    HWND ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, okArea.left,
                              okArea.top, okArea.right - okArea.left, okArea.bottom - okArea.top, form,
                              reinterpret_cast<HMENU>(INT_PTR(kOkId)), nullptr, nullptr);
    for (HWND child : {label, edit, ok})
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return form;
}

// Counts the control's view changes: one for every new result it shows.
class ViewSink final : public IAdviseSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAdviseSink)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override { ++changes; }
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}
    int changes = 0;
};

// Asks for view changes (sink) or stops asking (nullptr).
void adviseView(IUnknown* control, IAdviseSink* sink)
{
    IViewObject* view = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)))) {
        view->SetAdvise(DVASPECT_CONTENT, 0, sink);
        view->Release();
    }
}

// A property bag in memory, as a host that saves its forms as text keeps one.
class PropertyBag final : public IPropertyBag {
public:
    ~PropertyBag()
    {
        for (auto& [name, value] : values)
            VariantClear(&value);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override
    {
        const auto found = values.find(name);
        if (found == values.end())
            return E_INVALIDARG;
        VariantInit(value);
        return VariantCopy(value, &found->second);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override
    {
        VARIANT copy;
        VariantInit(&copy);
        VariantCopy(&copy, value);
        VariantClear(&values[name]);
        values[name] = copy;
        return S_OK;
    }
    std::map<std::wstring, VARIANT> values;
};

IStream* streamOf(const BYTE* bytes, ULONG size)
{
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    stream->Write(bytes, size, &written);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

// The centile of the proof's default births, through a slot of _Calc.
double defaultCentile(IUnknown* control)
{
    _Calc* calc = nullptr;
    if (FAILED(control->QueryInterface(IID__Calc, reinterpret_cast<void**>(&calc))))
        return -1;
    double bwt = 3400, gest = 280, wt = 64, ht = 163;
    SHORT sex = 1, eth = 1, par = 0;
    VARIANT a[7], result;
    double* doubles[4] = {&bwt, &gest, &wt, &ht};
    SHORT* shorts[3] = {&sex, &eth, &par};
    for (int i = 0; i < 4; ++i) {
        VariantInit(&a[i]);
        V_VT(&a[i]) = VT_BYREF | VT_R8;
        V_R8REF(&a[i]) = doubles[i];
    }
    for (int i = 0; i < 3; ++i) {
        VariantInit(&a[4 + i]);
        V_VT(&a[4 + i]) = VT_BYREF | VT_I2;
        V_I2REF(&a[4 + i]) = shorts[i];
    }
    VariantInit(&result);
    const HRESULT hr = calc->custcentukn(&a[0], &a[1], &a[2], &a[3], &a[4], &a[5], &a[6], &result);
    calc->Release();
    return SUCCEEDED(hr) && V_VT(&result) == VT_R8 ? V_R8(&result) : -1;
}

// ---- What the proof asks of the control itself --------------------------------

// Collects the texts a metafile writes.
int CALLBACK collectText(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM texts)
{
    if (record->iType == EMR_EXTTEXTOUTW) {
        const auto* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* chars =
            reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(record) + text->emrtext.offString);
        reinterpret_cast<std::vector<std::wstring>*>(texts)->emplace_back(chars, text->emrtext.nChars);
    }
    return 1;
}

void proveDrawing(IUnknown* control, HWND controlWindow, const Picture& drawnAtStart)
{
    IViewObject* view = nullptr;
    check(SUCCEEDED(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view))), "IViewObject");
    if (!view)
        return;
    RECT client{};
    GetClientRect(controlWindow, &client);
    const RECTL bounds = {0, 0, client.right, client.bottom};

    // Into a memory bitmap, with no window: the result reads as on the screen.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const HRESULT hr =
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0);
    SelectObject(memory, previous);
    const Picture drawn = pictureOfBitmap(memory, bitmap, client.right, client.bottom);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    check(hr == S_OK, "IViewObject::Draw into a memory bitmap: " + hex(hr));

    HWND result = childOf(controlWindow, names::OutputLabel);
    RECT onScreen{};
    GetWindowRect(result, &onScreen);
    RECT inControl = onScreen;
    MapWindowPoints(nullptr, controlWindow, reinterpret_cast<POINT*>(&inControl), 2);
    const Picture shown = pictureOfScreen(onScreen);
    check(samePixels(drawn, inControl, shown),
          "the drawn result is pixel for pixel the result on the screen (\"" + narrow(windowText(result)) + "\")");
    check(!samePixels(drawnAtStart, inControl, shown), "the drawing made before the picks shows another result");

    // Into a metafile, as a container prints: the texts are those of the form.
    HDC reference = GetDC(nullptr);
    const RECT frame = {0, 0, MulDiv(client.right, 2540, GetDeviceCaps(reference, LOGPIXELSX)),
                        MulDiv(client.bottom, 2540, GetDeviceCaps(reference, LOGPIXELSY))};
    HDC recording = CreateEnhMetaFileW(reference, nullptr, &frame, nullptr);
    ReleaseDC(nullptr, reference);
    const HRESULT recorded =
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, recording, &bounds, nullptr, nullptr, 0);
    HENHMETAFILE metafile = CloseEnhMetaFile(recording);
    std::vector<std::wstring> texts;
    EnumEnhMetaFile(nullptr, metafile, collectText, &texts, nullptr);
    DeleteEnhMetaFile(metafile);
    const auto has = [&](const std::wstring& wanted) {
        return std::find(texts.begin(), texts.end(), wanted) != texts.end();
    };
    check(recorded == S_OK && has(windowText(result)) && has(L"Customised centile =") && has(L"Over 5000"),
          "IViewObject::Draw into a metafile writes the result, the captions and the picked entries");
    view->Release();
}

void proveObject(IUnknown* control, bool checkExtent)
{
    IOleObject* object = nullptr;
    control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object));
    DWORD status = 0;
    object->GetMiscStatus(DVASPECT_CONTENT, &status);
    check(status == 0x20191, "GetMiscStatus: 0x20191");
    if (checkExtent) {
        SIZEL extent{};
        object->GetExtent(DVASPECT_CONTENT, &extent);
        check(extent.cx == 11509 && extent.cy == 3863, "GetExtent: 11509 x 3863 HIMETRIC (6525 x 2190 twips)");
    }
    object->Release();

    IProvideClassInfo2* classInfo = nullptr;
    control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&classInfo));
    GUID source{};
    ITypeInfo* info = nullptr;
    TYPEATTR* attributes = nullptr;
    const bool sourceOk = classInfo && classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source) == S_OK &&
        IsEqualGUID(source, DIID___Calc2);
    const bool classOk = classInfo && classInfo->GetClassInfo(&info) == S_OK &&
        info->GetTypeAttr(&attributes) == S_OK && attributes->typekind == TKIND_COCLASS &&
        IsEqualGUID(attributes->guid, CLSID_Calc);
    if (attributes)
        info->ReleaseTypeAttr(attributes);
    if (info)
        info->Release();
    if (classInfo)
        classInfo->Release();
    check(sourceOk && classOk, "IProvideClassInfo2: the coclass Calc, default source __Calc2");

    IConnectionPointContainer* points = nullptr;
    control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    IConnectionPoint* point = nullptr;
    IConnectionPoint* none = nullptr;
    // A sink of the first version's event interface still connects.
    EventSink sink(DIID___Calc);
    DWORD cookie = 0;
    bool listed = false;
    HRESULT again = S_OK;
    if (points && points->FindConnectionPoint(DIID___Calc, &point) == S_OK && point->Advise(&sink, &cookie) == S_OK) {
        IEnumConnections* connections = nullptr;
        CONNECTDATA data{};
        ULONG fetched = 0;
        if (point->EnumConnections(&connections) == S_OK) {
            listed = connections->Next(1, &data, &fetched) == S_OK && fetched == 1 && data.dwCookie == cookie;
            if (data.pUnk)
                data.pUnk->Release();
            connections->Release();
        }
        listed = listed && point->Unadvise(cookie) == S_OK;
        again = point->Unadvise(cookie);
    }
    IEnumConnectionPoints* all = nullptr;
    ULONG count = 0;
    IID firstPoint{};
    if (points && points->EnumConnectionPoints(&all) == S_OK) {
        IConnectionPoint* item[3] = {};
        all->Next(3, item, &count);
        if (count > 0)
            item[0]->GetConnectionInterface(&firstPoint);
        for (ULONG i = 0; i < count; ++i)
            item[i]->Release();
        all->Release();
    }
    const HRESULT other = points ? points->FindConnectionPoint(IID_IPropertyNotifySink, &none) : E_FAIL;
    if (point)
        point->Release();
    if (points)
        points->Release();
    check(listed && again == CONNECT_E_NOCONNECTION && count == 2 && IsEqualIID(firstPoint, DIID___Calc2) &&
              other == CONNECT_E_NOCONNECTION && sink.references == 1 && sink.recomputed == 0,
          "IConnectionPointContainer: two points, __Calc2 and the first version's __Calc; a sink of __Calc "
          "connects, is listed and disconnects");

    const double centile = defaultCentile(control);
    check(centile > 38.2216 && centile < 38.2217, "the sited control answers _Calc::custcentukn: 38.2216...");
}

void provePersistence(IUnknown* control)
{
    // A stream: what Save wrote loads into a new control; nothing else does.
    IPersistStreamInit* persist = nullptr;
    control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist));
    IStream* saved = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &saved);
    const HRESULT savedHr = persist->Save(saved, TRUE);
    persist->Release();
    const LARGE_INTEGER start{};
    saved->Seek(start, STREAM_SEEK_SET, nullptr);

    IPersistStreamInit* other = nullptr;
    CoCreateInstance(CLSID_Calc, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit,
                     reinterpret_cast<void**>(&other));
    check(other && savedHr == S_OK && other->Load(saved) == S_OK,
          "IPersistStreamInit: Save, then Load into a new control");
    saved->Release();
    const BYTE foreign[] = {'N', 'O', 'T', 'C', 'A', 'L', 'C', '!'};
    const BYTE cut[] = {'W', 'R', 'F', 'C'};
    const BYTE later[] = {'W', 'R', 'F', 'C', 2, 0, 0, 0};
    struct Case {
        const BYTE* bytes;
        ULONG size;
        HRESULT expected;
        const char* what;
    };
    for (const Case& c : {Case{foreign, sizeof foreign, CTL_E_INVALIDFILEFORMAT, "a foreign stream"},
                          Case{cut, sizeof cut, CTL_E_INVALIDFILEFORMAT, "a stream cut short"},
                          Case{later, sizeof later, STG_E_OLDDLL, "a later format"}}) {
        IStream* stream = streamOf(c.bytes, c.size);
        const HRESULT hr = other ? other->Load(stream) : E_FAIL;
        stream->Release();
        check(hr == c.expected, std::string("IPersistStreamInit::Load refuses ") + c.what + ": " + hex(hr));
    }

    // A storage, as OleSave and OleLoad keep it.
    IPersistStorage* storagePersist = nullptr;
    control->QueryInterface(IID_IPersistStorage, reinterpret_cast<void**>(&storagePersist));
    ILockBytes* bytes = nullptr;
    IStorage* storage = nullptr;
    CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
    StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage);
    HRESULT hr = OleSave(storagePersist, storage, FALSE);
    storagePersist->SaveCompleted(nullptr);
    storagePersist->Release();
    IOleObject* loaded = nullptr;
    if (SUCCEEDED(hr))
        hr = OleLoad(storage, IID_IOleObject, nullptr, reinterpret_cast<void**>(&loaded));
    check(hr == S_OK && loaded, "IPersistStorage: OleSave, then OleLoad makes the control again: " + hex(hr));
    if (loaded) {
        check(defaultCentile(loaded) > 38.2216, "a loaded control that was never sited answers its methods");
        loaded->Release();
    }
    storage->Release();
    bytes->Release();

    // A property bag.
    IPersistPropertyBag* bagPersist = nullptr;
    control->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bagPersist));
    PropertyBag bag;
    const HRESULT bagSaved = bagPersist->Save(&bag, TRUE, TRUE);
    bagPersist->Release();
    IPersistPropertyBag* fromBag = nullptr;
    if (other)
        other->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&fromBag));
    PropertyBag empty;
    PropertyBag later7;
    VARIANT seven;
    VariantInit(&seven);
    V_VT(&seven) = VT_I4;
    V_I4(&seven) = 7;
    later7.Write(L"Version", &seven);
    check(bagSaved == S_OK && bag.values.size() == 1 && fromBag && fromBag->Load(&bag, nullptr) == S_OK &&
              fromBag->Load(&empty, nullptr) == CTL_E_INVALIDFILEFORMAT &&
              fromBag->Load(&later7, nullptr) == STG_E_OLDDLL,
          "IPersistPropertyBag: Save, Load; an empty bag and a later format are refused");
    if (fromBag)
        fromBag->Release();
    if (other)
        other->Release();
}

// ---- The user's part: mouse and keyboard --------------------------------------

// Opens a list with a click, scrolls its entries with the mouse wheel until
// `entry` shows, and clicks it. False when the list did not open or the
// entry never showed.
bool pickWithMouse(HWND combo, const wchar_t* entry, HWND form, OleContainer* site)
{
    const POINT listCentre = screenCentre(combo);
    xdotool(L"mousemove " + std::to_wstring(listCentre.x) + L" " + std::to_wstring(listCentre.y) + L" click 1");
    if (!pumpUntil([&] { return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 5000, form, site))
        return false;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(combo, &info);
    const LRESULT wanted = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(entry));
    for (int attempt = 0; info.hwndList && wanted != CB_ERR && attempt < 40; ++attempt) {
        RECT item{};
        RECT client{};
        SendMessageW(info.hwndList, LB_GETITEMRECT, WPARAM(wanted), reinterpret_cast<LPARAM>(&item));
        GetClientRect(info.hwndList, &client);
        if (item.top >= 0 && item.bottom <= client.bottom) {
            POINT centre = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
            ClientToScreen(info.hwndList, &centre);
            xdotool(L"mousemove " + std::to_wstring(centre.x) + L" " + std::to_wstring(centre.y) + L" click 1");
            return true;
        }
        const LRESULT top = SendMessageW(info.hwndList, LB_GETTOPINDEX, 0, 0);
        const POINT centre = screenCentre(info.hwndList);
        xdotool(L"mousemove " + std::to_wstring(centre.x) + L" " + std::to_wstring(centre.y) + L" click --repeat 5 5");
        pumpUntil([&] { return SendMessageW(info.hwndList, LB_GETTOPINDEX, 0, 0) != top; }, 2000, form, site);
    }
    return false;
}

// `model` is a new form model, driven the same way as the control.
void proveInput(HWND form, HWND control, OleContainer* site, const ViewSink& views, const EventSink& events,
                wrenfield::form::Calc& model)
{
    HWND result = childOf(control, names::OutputLabel);
    check(windowText(result) == wide(model.outputLabel().caption()),
          "the form shows the start-up result \"" + model.outputLabel().caption() + "\"");

    bool shownAsTable = true;
    for (const auto& description : wrenfield::form::calcLayout()) {
        const bool shown = description.visible && description.kind != wrenfield::ControlKind::TextBox;
        if ((childOf(control, description.name) != nullptr) != shown)
            shownAsTable = false;
    }
    check(shownAsTable, "one child window for every control the table shows, none for the hidden ones");

    // Keyboard: the pointer over the form (xdotool's keys go where it is),
    // a click in the form's own edit box, then Tab into the control.
    HWND edit = GetDlgItem(form, kEditId);
    const POINT editCentre = screenCentre(edit);
    xdotool(L"mousemove " + std::to_wstring(editCentre.x) + L" " + std::to_wstring(editCentre.y) + L" click 1");
    check(pumpUntil([&] { return GetFocus() == edit; }, 5000, form, site),
          "a click puts the focus in the form's edit box");

    const std::vector<std::string_view> order = listsInTabOrder();
    xdotool(L"key Tab");
    check(pumpUntil([&] { return GetFocus() == childOf(control, order[0]); }, 5000, form, site),
          "Tab from the form enters the control at its first list, " + std::string(order[0]));
    // Tab through the other lists; Down in the first one where the next
    // entry gives another result: one pick, one recomputation.
    bool inOrder = true;
    bool pickedByKey = false;
    for (std::size_t i = 1; i < order.size() && inOrder; ++i) {
        xdotool(L"key Tab");
        if (!pumpUntil([&] { return GetFocus() == childOf(control, order[i]); }, 5000, form, site)) {
            inOrder = false;
            std::printf("     focus did not reach %s\n", std::string(order[i]).c_str());
            break;
        }
        wrenfield::DropDownList& list = *model.list(order[i]);
        const std::size_t index = *list.selectedIndex();
        if (pickedByKey || index + 1 >= list.entryCount())
            continue;
        const std::string before = model.outputLabel().caption();
        wrenfield::form::Calc trial;
        trial.selectAsUser(order[i], list.entries()[index + 1]);
        if (trial.outputLabel().caption() == before)
            continue;
        const std::string next = list.entries()[index + 1];
        model.selectAsUser(list, next);
        const std::wstring expected = wide(model.outputLabel().caption());
        const int changesBefore = views.changes;
        const int recomputedBefore = events.recomputed;
        const int changedBefore = events.changed;
        xdotool(L"key Down");
        check(pumpUntil([&] { return windowText(result) == expected; }, 5000, form, site) &&
                  windowText(childOf(control, order[i])) == wide(next) && views.changes == changesBefore + 1,
              "Down in " + std::string(order[i]) + " picks \"" + next + "\": the result reads \"" + narrow(expected) +
                  "\" (was \"" + before + "\")");
        check(events.recomputed == recomputedBefore + 1 && events.changed == changedBefore + 1 &&
                  events.lastChanged == std::stod(model.outputLabel().caption()) &&
                  events.lastRecomputed == events.lastChanged,
              "the key's pick raised one CentileChanged and one Recomputed, with " + model.outputLabel().caption());
        pickedByKey = true;
    }
    check(pickedByKey, "a key press picked an entry");
    check(inOrder, "Tab goes through every list in the order of the table");
    HWND ok = GetDlgItem(form, kOkId);
    xdotool(L"key Tab");
    check(pumpUntil([&] { return GetFocus() == ok; }, 5000, form, site), "Tab from the last list leaves the control");
    xdotool(L"key shift+Tab");
    check(pumpUntil([&] { return GetFocus() == childOf(control, order.back()); }, 5000, form, site),
          "Shift+Tab comes back to the last list, " + std::string(order.back()));

    // Mouse: open the Birthweight list, scroll it with the wheel and click
    // "Over 5000"; then the same entry once more, which is a pick as well.
    HWND birthweight = childOf(control, names::Combobwt);
    int before = views.changes;
    int recomputedBefore = events.recomputed;
    const int changedBefore = events.changed;
    const bool clicked = pickWithMouse(birthweight, L"Over 5000", form, site);
    model.selectAsUser("Combobwt", "Over 5000");
    check(clicked && pumpUntil([&] { return windowText(result) == L"100"; }, 5000, form, site) &&
              model.outputLabel().caption() == "100" && windowText(birthweight) == L"Over 5000",
          "the mouse picks \"Over 5000\": the result reads \"100\"");
    pumpUntil([&] { return SendMessageW(birthweight, CB_GETDROPPEDSTATE, 0, 0) == 0; }, 2000, form, site);
    check(views.changes == before + 1,
          "one pick, one new result: one view change (" + std::to_string(views.changes - before) + ")");
    check(events.recomputed == recomputedBefore + 1 && events.changed == changedBefore + 1 &&
              events.lastChanged == 100 && events.lastRecomputed == 100,
          "the mouse's pick raised one CentileChanged(100) and one Recomputed(100) (" +
              std::to_string(events.changed - changedBefore) + ", " +
              std::to_string(events.recomputed - recomputedBefore) + ")");
    before = views.changes;
    recomputedBefore = events.recomputed;
    const bool again = pickWithMouse(birthweight, L"Over 5000", form, site);
    check(again && pumpUntil([&] { return views.changes == before + 1; }, 5000, form, site) &&
              windowText(result) == L"100",
          "picking the selected entry again computes again: one view change");
    pumpUntil([&] { return SendMessageW(birthweight, CB_GETDROPPEDSTATE, 0, 0) == 0; }, 2000, form, site);
    check(views.changes == before + 1, "and only one");
    check(events.recomputed == recomputedBefore + 1 && events.changed == changedBefore + 1,
          "the same entry again: one Recomputed, no CentileChanged (the number stayed 100)");
}

std::vector<HWND> windowsOfControl(HWND control)
{
    std::vector<HWND> windows = {control};
    collectControlWindows(control, windows, true);
    for (HWND child = GetWindow(control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(child, &info) && info.hwndList)
            windows.push_back(info.hwndList);
    }
    return windows;
}

bool noneLeft(const std::vector<HWND>& windows)
{
    for (HWND window : windows)
        if (IsWindow(window))
            return false;
    return controlWindowsAnywhere().empty();
}

Picture drawNow(IUnknown* control, HWND controlWindow)
{
    RECT client{};
    GetClientRect(controlWindow, &client);
    return drawnPicture(control, client.right, client.bottom);
}

// ---- The two containers ----------------------------------------------------------

int runAtlHost()
{
    HMODULE atl = LoadLibraryW(L"atl.dll");
    using AtlAxWinInitFunction = BOOL(WINAPI*)();
    using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);
    auto atlAxWinInit =
        reinterpret_cast<AtlAxWinInitFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
    auto atlAxGetControl =
        reinterpret_cast<AtlAxGetControlFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    check(atlAxWinInit && atlAxGetControl && atlAxWinInit(), "Wine's ATL host: AtlAxWinInit");
    if (!atlAxWinInit || !atlAxGetControl)
        return 1;

    HWND form = makeForm(L"Wrenfield515UK in Wine's ATL host");
    mark("container A places the control");
    // The host window takes part in the form's dialog navigation, so that Tab
    // reaches the control's lists (the ATL host passes no keys on itself).
    const RECT area = gForm.controlArea();
    HWND host = CreateWindowExW(WS_EX_CONTROLPARENT, L"AtlAxWin", kProgId, WS_CHILD | WS_VISIBLE, area.left, area.top,
                                area.right - area.left, area.bottom - area.top, form,
                                reinterpret_cast<HMENU>(INT_PTR(kHostId)), GetModuleHandleW(nullptr), nullptr);
    SetWindowPos(host, GetDlgItem(form, kEditId), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(form, SW_SHOW);
    UpdateWindow(form);
    HWND control = FindWindowExW(host, nullptr, kCalcWindowClass, nullptr);
    check(host && control && IsWindowVisible(control), "the ATL host places the control on the form");
    if (!control)
        return 1;
    mark("container A has placed the control");

    mark("the proof's own requests begin");
    IUnknown* unknown = nullptr;
    atlAxGetControl(host, &unknown);
    proveLayout(control, gForm.dpi);
    // The ATL host offers no ambient properties: the designed font and colours.
    proveDesignedAppearance(control);
    const Picture drawnAtStart = drawNow(unknown, control);
    proveObject(unknown, false);
    ViewSink views;
    adviseView(unknown, &views);
    // The form's code listens to the control's events.
    EventSink events;
    const DWORD cookie = connectSink(unknown, &events);
    check(cookie != 0, "an event sink connects to __Calc2 through IConnectionPoint::Advise");
    mark("the proof's own requests end");

    mark("container A under input");
    pumpUntil([] { return false; }, 300, form, nullptr);
    wrenfield::form::Calc model;  // the same model, driven the same way
    proveInput(form, control, nullptr, views, events, model);

    mark("the proof's own requests begin");
    adviseView(unknown, nullptr);
    proveDrawing(unknown, control, drawnAtStart);
    proveProperties(unknown, control, model, events, form, nullptr);
    disconnectSink(unknown, cookie);
    check(events.references == 1 && events.other == 0, "the sink heard only the two events and was let go");
    unknown->Release();
    mark("the proof's own requests end");

    mark("container A tears down");
    const std::vector<HWND> windows = windowsOfControl(control);
    DestroyWindow(form);
    pumpUntil([] { return false; }, 200, nullptr, nullptr);
    check(noneLeft(windows),
          "closing the form leaves no window of the control (" + std::to_string(windows.size()) +
              " windows, with the open lists)");
    mark("container A done");
    return 0;
}

int runOleContainer()
{
    HWND form = makeForm(L"Wrenfield515UK in an OLE container");
    OleContainer site(form, gForm.controlArea());
    mark("container B places the control");
    const HRESULT placed = site.place(CLSID_Calc);
    ShowWindow(form, SW_SHOW);
    UpdateWindow(form);
    HWND control = FindWindowExW(form, nullptr, kCalcWindowClass, nullptr);
    check(placed == S_OK && control && IsWindowVisible(control),
          "OleCreate and DoVerb(OLEIVERB_INPLACEACTIVATE) place the control on the form: " + hex(placed));
    if (!control)
        return 1;
    // In the tab order after the edit box, before the button.
    SetWindowPos(control, GetDlgItem(form, kEditId), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    mark("container B has placed the control");
    RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpUntil([] { return false; }, 1000, form, &site);
    // The form down to its button: the room for the second control is empty yet.
    savePictureOfWindow(form, L"form.png", gForm.okButton().bottom + gForm.scaled(10));

    mark("the proof's own requests begin");
    IUnknown* unknown = nullptr;
    site.object()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    proveLayout(control, gForm.dpi);
    // The site has ambient properties but none set yet: the designed ones.
    proveDesignedAppearance(control);
    const Picture drawnAtStart = drawNow(unknown, control);
    proveObject(unknown, true);
    provePersistence(unknown);
    ViewSink views;
    adviseView(unknown, &views);
    EventSink events;
    const DWORD cookie = connectSink(unknown, &events);
    check(cookie != 0, "an event sink connects to __Calc2 through IConnectionPoint::Advise");
    mark("the proof's own requests end");

    mark("container B under input");
    wrenfield::form::Calc model;  // the same model, driven the same way
    proveInput(form, control, &site, views, events, model);
    check(site.controlHasFocus(), "the control told its site (IOleControlSite::OnFocus) that it has the focus");

    mark("the proof's own requests begin");
    adviseView(unknown, nullptr);
    proveDrawing(unknown, control, drawnAtStart);
    proveProperties(unknown, control, model, events, form, &site);
    mark("the proof's own requests end");

    mark("container B changes its ambient properties");
    proveAmbientProperties(site, unknown, control, form);
    mark("container B places a second control while its form is designed");
    proveDesignMode(form, gForm.secondArea(), gForm.dpi, [&] { savePictureOfWindow(form, L"form-design.png"); });
    proveAmbientPropertiesGone(site, control, form);

    mark("the proof's own requests begin");
    disconnectSink(unknown, cookie);
    check(events.references == 1 && events.other == 0, "the sink heard only the two events and was let go");
    unknown->Release();
    mark("the proof's own requests end");

    mark("container B tears down");
    const std::vector<HWND> windows = windowsOfControl(control);
    IOleObject* object = site.object();
    object->AddRef();
    object->Close(OLECLOSE_NOSAVE);
    check(noneLeft(windows),
          "IOleObject::Close destroys every window of the control (" + std::to_string(windows.size()) +
              " windows, with the open lists)");
    object->Release();
    site.remove();
    // The site's own reference is all that is left: the control let go of it.
    check(site.AddRef() == 2 && site.Release() == 1, "the control holds no reference to the site after teardown");
    DestroyWindow(form);
    pumpUntil([] { return false; }, 200, nullptr, nullptr);
    mark("container B done");
    return 0;
}

// The layout alone, at another resolution: our container places the control,
// every control sits where the table puts it with a font to match, a picture
// of the form, and the control goes again.
int runLayoutOnly()
{
    HWND form = makeForm(L"Wrenfield515UK in an OLE container");
    OleContainer site(form, gForm.controlArea());
    const HRESULT placed = site.place(CLSID_Calc);
    ShowWindow(form, SW_SHOW);
    UpdateWindow(form);
    HWND control = FindWindowExW(form, nullptr, kCalcWindowClass, nullptr);
    check(placed == S_OK && control, "the control placed on the form: " + hex(placed));
    if (!control)
        return 1;
    pumpUntil([] { return false; }, 500, form, &site);
    proveLayout(control, gForm.dpi);
    savePictureOfWindow(form, L"form-" + std::to_wstring(gForm.dpi) + L".png",
                        gForm.okButton().bottom + gForm.scaled(10));
    site.remove();
    DestroyWindow(form);
    pumpUntil([] { return false; }, 200, nullptr, nullptr);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: control_proof.exe atl|ole|layout FOLDER DPI\n");
        return 2;
    }
    const std::wstring container = argv[1];
    setLinuxFolder(argv[2]);
    // A form that lays itself out for the screen's resolution, as a form
    // designer's forms do: the system does not stretch its pictures.
    SetProcessDPIAware();
    HDC screen = GetDC(nullptr);
    gForm.dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const int wanted = _wtoi(argv[3]);
    check(gForm.dpi == wanted,
          "the screen's logical resolution is " + std::to_string(wanted) + " dpi (" + std::to_string(gForm.dpi) + ")");
    OleInitialize(nullptr);
    if (container == L"atl")
        runAtlHost();
    else if (container == L"layout")
        runLayoutOnly();
    else
        runOleContainer();

    // Everything released: the library can go.
    HMODULE library = GetModuleHandleW(L"Wrenfield515UK.ocx");
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = library
        ? reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")))
        : nullptr;
    check(canUnload && canUnload() == S_OK, "DllCanUnloadNow: S_OK once the container let the control go");
    OleUninitialize();
    std::printf("proof: %d checks passed, %d failed\n", passedChecks(), failedChecks());
    return failedChecks();
}
