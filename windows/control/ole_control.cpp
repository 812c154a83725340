#include "windows/control/ole_control.h"

#include "form/calc.h"
#include "form/calc_layout.h"
#include "shell/calc_object_base.h"
#include "shell/project_description.h"
#include "shell/wrenfield515uk.h"
#include "windows/control/ambient_properties.h"
#include "windows/control/calc_drawing.h"
#include "windows/control/library_windows.h"
#include "windows/control/control_geometry.h"
#include "windows/control/control_persistence.h"

namespace wrenfield::windows {

namespace {

template <typename Interface> void releaseAndClear(Interface*& pointer)
{
    if (pointer) {
        Interface* held = pointer;
        pointer = nullptr;
        held->Release();
    }
}

// The name the control gives its active object (what a frame may show).
constexpr wchar_t kObjectName[] = L"Calc";

}  // namespace

OleControl::OleControl(shell::CalcObjectBase& object, form::Calc& calc)
    : object_(object)
    , outer_(*static_cast<_Calc2*>(&object))
    , calc_(calc)
    , window_(calc, *this)
    , extent_(designedHimetricExtent())
{
    calc_.addObserver(*this);
}

OleControl::~OleControl()
{
    calc_.removeObserver(*this);
    // A container that let the object go without closing it: the windows go
    // now, and every reference the control holds.
    window_.destroy();
    releaseSites();
    releaseAndClear(clientSite_);
    releaseAndClear(adviseHolder_);
    releaseAndClear(viewSink_);
}

HRESULT OleControl::query(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    void* found = nullptr;
    if (IsEqualIID(riid, IID_IOleObject))
        found = static_cast<IOleObject*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceObject))
        found = static_cast<IOleInPlaceObject*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceActiveObject))
        found = static_cast<IOleInPlaceActiveObject*>(this);
    else if (IsEqualIID(riid, IID_IViewObject) || IsEqualIID(riid, IID_IViewObject2))
        found = static_cast<IViewObject2*>(this);
    else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit))
        found = static_cast<IPersistStreamInit*>(this);
    else if (IsEqualIID(riid, IID_IPersistStorage))
        found = static_cast<IPersistStorage*>(this);
    else if (IsEqualIID(riid, IID_IPersistPropertyBag))
        found = static_cast<IPersistPropertyBag*>(this);
    else if (IsEqualIID(riid, IID_IOleControl))
        found = static_cast<IOleControl*>(this);
    else if (IsEqualIID(riid, IID_IProvideClassInfo) || IsEqualIID(riid, IID_IProvideClassInfo2))
        found = static_cast<IProvideClassInfo2*>(this);
    else if (IsEqualIID(riid, IID_IQuickActivate))
        found = static_cast<IQuickActivate*>(this);
    *ppv = found;
    if (!found)
        return E_NOINTERFACE;
    outer_.AddRef();
    return S_OK;
}

HRESULT OleControl::QueryInterface(REFIID riid, void** ppv)
{
    return outer_.QueryInterface(riid, ppv);
}

ULONG OleControl::AddRef()
{
    return outer_.AddRef();
}

ULONG OleControl::Release()
{
    return outer_.Release();
}

// --- Siting and activation -------------------------------------------------

HRESULT OleControl::SetClientSite(IOleClientSite* site)
{
    if (site == clientSite_)
        return S_OK;
    if (!site)
        InPlaceDeactivate();
    if (site)
        site->AddRef();
    releaseAndClear(clientSite_);
    clientSite_ = site;
    // The container's font, colours and mode, or the design's own without a site.
    applyAppearance(readAmbientProperties(clientSite_, window_.appearance(), DISPID_UNKNOWN));
    return S_OK;
}

HRESULT OleControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = clientSite_;
    if (clientSite_)
        clientSite_->AddRef();
    return S_OK;
}

HRESULT OleControl::SetHostNames(LPCOLESTR, LPCOLESTR)
{
    return S_OK;
}

HRESULT OleControl::Close(DWORD saveOption)
{
    // The control has nothing unsaved, so no save option saves anything.
    if (saveOption > OLECLOSE_PROMPTSAVE)
        return E_INVALIDARG;
    InPlaceDeactivate();
    if (adviseHolder_)
        adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT OleControl::SetMoniker(DWORD, IMoniker*)
{
    return E_NOTIMPL;
}

HRESULT OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT OleControl::InitFromData(IDataObject*, BOOL, DWORD)
{
    return E_NOTIMPL;
}

HRESULT OleControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT)
{
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_UIACTIVATE:
        return activate(activeSite, true);
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
        return activate(activeSite, false);
    case OLEIVERB_HIDE:
        UIDeactivate();
        window_.show(false);
        return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;  // nothing to undo
    default:
        break;
    }
    if (verb > 0) {
        // A verb the control does not have: its primary verb instead.
        const HRESULT hr = activate(activeSite, true);
        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
    }
    return E_NOTIMPL;  // OLEIVERB_OPEN and other verbs: no window of its own
}

HRESULT OleControl::activate(IOleClientSite* activeSite, bool userInterface)
{
    if (!inPlaceSite_) {
        IOleClientSite* site = clientSite_ ? clientSite_ : activeSite;
        if (!site)
            return E_UNEXPECTED;
        IOleInPlaceSite* inPlaceSite = nullptr;
        if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite))) || !inPlaceSite)
            return OLE_E_NOT_INPLACEACTIVE;  // a container that cannot host a window in place
        if (inPlaceSite->CanInPlaceActivate() != S_OK) {
            inPlaceSite->Release();
            return OLE_E_NOT_INPLACEACTIVE;
        }
        inPlaceSite_ = inPlaceSite;
        inPlaceSite_->OnInPlaceActivate();

        HWND parent = nullptr;
        RECT position{};
        RECT clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        HRESULT hr = inPlaceSite_->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = inPlaceSite_->GetWindowContext(&frame_, &documentWindow_, &position, &clip, &frameInfo);
        if (SUCCEEDED(hr))
            hr = window_.create(parent, position);
        if (FAILED(hr)) {
            IOleInPlaceSite* failed = inPlaceSite_;
            inPlaceSite_ = nullptr;
            releaseAndClear(frame_);
            releaseAndClear(documentWindow_);
            failed->OnInPlaceDeactivate();
            failed->Release();
            return hr;
        }
        window_.place(position, clip);
    }
    window_.show(true);
    if (userInterface)
        activateUserInterface();
    return S_OK;
}

void OleControl::activateUserInterface()
{
    if (userInterfaceActive_ || !inPlaceSite_)
        return;
    userInterfaceActive_ = true;
    inPlaceSite_->OnUIActivate();
    // The control has no menus or tool bars: it takes no border space, and
    // the frame hands it the keys it does not handle itself.
    if (frame_) {
        frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), kObjectName);
        frame_->SetBorderSpace(nullptr);
    }
    if (documentWindow_) {
        documentWindow_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), kObjectName);
        documentWindow_->SetBorderSpace(nullptr);
    }
    window_.takeFocus();
}

HRESULT OleControl::InPlaceDeactivate()
{
    if (!inPlaceSite_)
        return S_OK;
    UIDeactivate();
    window_.destroy();
    releaseAndClear(frame_);
    releaseAndClear(documentWindow_);
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
    return S_OK;
}

HRESULT OleControl::UIDeactivate()
{
    if (!userInterfaceActive_)
        return S_OK;
    userInterfaceActive_ = false;
    if (frame_)
        frame_->SetActiveObject(nullptr, nullptr);
    if (documentWindow_)
        documentWindow_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_)
        inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

void OleControl::releaseSites()
{
    releaseAndClear(frame_);
    releaseAndClear(documentWindow_);
    releaseAndClear(inPlaceSite_);
}

HRESULT OleControl::SetObjectRects(LPCRECT position, LPCRECT clip)
{
    if (!position)
        return E_POINTER;
    // The control takes the size the container gives it here (its extent is
    // what it asks for, not what it gets).
    window_.place(*position, clip ? *clip : *position);
    return S_OK;
}

HRESULT OleControl::ReactivateAndUndo()
{
    return INPLACE_E_NOTUNDOABLE;
}

HRESULT OleControl::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = window_.handle();
    return *window ? S_OK : E_FAIL;
}

HRESULT OleControl::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

// --- Keyboard and focus -------------------------------------------------------

HRESULT OleControl::TranslateAccelerator(LPMSG message)
{
    if (!message)
        return E_INVALIDARG;
    // Tab and Shift+Tab move through the lists in the form's tab order; from
    // the last (first) list the container moves the focus on.
    if (message->message == WM_KEYDOWN && message->wParam == VK_TAB && !(GetKeyState(VK_CONTROL) & 0x8000) &&
        !(GetKeyState(VK_MENU) & 0x8000)) {
        const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        if (window_.moveFocus(backwards))
            return S_OK;
    }
    return S_FALSE;
}

HRESULT OleControl::OnFrameWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT OleControl::OnDocWindowActivate(BOOL)
{
    return S_OK;
}

HRESULT OleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL)
{
    return S_OK;  // no tool bars
}

HRESULT OleControl::EnableModeless(BOOL)
{
    return S_OK;  // no dialogs of its own
}

void OleControl::focusEntered()
{
    // A click or Tab into a list makes the control the active one.
    activateUserInterface();
    notifyFocus(true);
}

void OleControl::focusLeft()
{
    notifyFocus(false);
}

void OleControl::pickBegins()
{
    outer_.AddRef();
}

void OleControl::pickEnds()
{
    outer_.Release();
}

void OleControl::notifyFocus(bool entered)
{
    if (!clientSite_)
        return;
    IOleControlSite* controlSite = nullptr;
    if (SUCCEEDED(clientSite_->QueryInterface(IID_IOleControlSite, reinterpret_cast<void**>(&controlSite))) &&
        controlSite) {
        controlSite->OnFocus(entered ? TRUE : FALSE);
        controlSite->Release();
    }
}

// --- Size, status, verbs, advises ----------------------------------------------

HRESULT OleControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    return OleRegEnumVerbs(CLSID_Calc, verbs);
}

HRESULT OleControl::Update()
{
    return S_OK;
}

HRESULT OleControl::IsUpToDate()
{
    return S_OK;
}

HRESULT OleControl::GetUserClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Calc;
    return S_OK;
}

HRESULT OleControl::GetUserType(DWORD form, LPOLESTR* userType)
{
    return OleRegGetUserType(CLSID_Calc, form, userType);
}

HRESULT OleControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    extent_ = *size;
    return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT OleControl::Advise(IAdviseSink* sink, DWORD* connection)
{
    if (!adviseHolder_) {
        const HRESULT hr = CreateOleAdviseHolder(&adviseHolder_);
        if (FAILED(hr))
            return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

HRESULT OleControl::Unadvise(DWORD connection)
{
    if (!adviseHolder_)
        return OLE_E_NOCONNECTION;
    return adviseHolder_->Unadvise(connection);
}

HRESULT OleControl::EnumAdvise(IEnumSTATDATA** advises)
{
    if (!advises)
        return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : S_OK;
}

HRESULT OleControl::GetMiscStatus(DWORD aspect, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? shell::kRegistration.miscStatus : 0;
    return S_OK;
}

HRESULT OleControl::SetColorScheme(LOGPALETTE*)
{
    return E_NOTIMPL;
}

// --- Drawing -----------------------------------------------------------------

HRESULT OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                         BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR)
{
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_DOCPRINT)
        return DV_E_DVASPECT;
    if (!dc)
        return E_INVALIDARG;
    RECT area{};
    if (bounds) {
        area = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (window_.handle()) {
        GetClientRect(window_.handle(), &area);  // an active control may be drawn where it is
    } else {
        return E_INVALIDARG;
    }
    drawCalc(dc, area, calc_, window_.appearance());
    return S_OK;
}

HRESULT OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours)
{
    if (colours)
        *colours = nullptr;
    return S_FALSE;  // no palette of its own
}

HRESULT OleControl::Freeze(DWORD, LONG, void*, DWORD*)
{
    return E_NOTIMPL;
}

HRESULT OleControl::Unfreeze(DWORD)
{
    return E_NOTIMPL;
}

HRESULT OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    if (sink)
        sink->AddRef();
    releaseAndClear(viewSink_);
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

HRESULT OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = viewAspects_;
    if (flags)
        *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_)
            viewSink_->AddRef();
    }
    return S_OK;
}

HRESULT OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

void OleControl::captionChanged(const Label&)
{
    viewChanged();
}

void OleControl::viewChanged()
{
    if (viewSink_ && (viewAspects_ & DVASPECT_CONTENT)) {
        IAdviseSink* sink = viewSink_;
        sink->AddRef();
        sink->OnViewChange(DVASPECT_CONTENT, -1);
        if (viewFlags_ & ADVF_ONLYONCE)
            releaseAndClear(viewSink_);
        sink->Release();
    }
}

// --- Persistence ---------------------------------------------------------------

HRESULT OleControl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_Calc;
    return S_OK;
}

HRESULT OleControl::IsDirty()
{
    return S_FALSE;  // no properties that could change
}

HRESULT OleControl::InitNew()
{
    return S_OK;
}

HRESULT OleControl::Load(IStream* stream)
{
    return loadFromStream(stream);
}

HRESULT OleControl::Save(IStream* stream, BOOL)
{
    return saveToStream(stream);
}

HRESULT OleControl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = kSavedRecordSize;
    return S_OK;
}

HRESULT OleControl::InitNew(IStorage* storage)
{
    return storage ? S_OK : E_POINTER;
}

HRESULT OleControl::Load(IStorage* storage)
{
    return loadFromStorage(storage);
}

HRESULT OleControl::Save(IStorage* storage, BOOL)
{
    return saveToStorage(storage);
}

HRESULT OleControl::SaveCompleted(IStorage*)
{
    return S_OK;
}

HRESULT OleControl::HandsOffStorage()
{
    return S_OK;  // the control keeps no storage open
}

HRESULT OleControl::Load(IPropertyBag* bag, IErrorLog* errorLog)
{
    return loadFromPropertyBag(bag, errorLog);
}

HRESULT OleControl::Save(IPropertyBag* bag, BOOL, BOOL)
{
    return saveToPropertyBag(bag);
}

// --- The control protocol, class information, events ---------------------------

HRESULT OleControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    if (info->cb < sizeof(CONTROLINFO))
        return E_INVALIDARG;
    // No mnemonics; Tab reaches the control through TranslateAccelerator.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT OleControl::OnMnemonic(MSG*)
{
    return S_OK;
}

HRESULT OleControl::OnAmbientPropertyChange(DISPID property)
{
    applyAppearance(readAmbientProperties(clientSite_, window_.appearance(), property));
    return S_OK;
}

void OleControl::applyAppearance(const ControlAppearance& appearance)
{
    if (appearance == window_.appearance())
        return;
    window_.setAppearance(appearance);
    viewChanged();
}

HRESULT OleControl::FreezeEvents(BOOL freeze)
{
    object_.freezeEvents(freeze != FALSE);
    return S_OK;
}

HRESULT OleControl::GetClassInfo(ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    ITypeLib* library = nullptr;
    HRESULT hr = shell::loadTypeLibrary(&library);
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(CLSID_Calc, info);
    library->Release();
    return hr;
}

HRESULT OleControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___Calc2;
    return S_OK;
}

// --- Quick activation ------------------------------------------------------------------

HRESULT OleControl::QuickActivate(QACONTAINER* container, QACONTROL* control)
{
    if (!container || !control)
        return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    const ULONG controlSize = control->cbSize;
    ZeroMemory(control, controlSize);
    control->cbSize = controlSize;

    // The ambient properties first, so that siting draws in them at once.
    window_.setAppearance(ambientPropertiesOf(*container));
    if (container->pClientSite && clientSite_ != container->pClientSite) {
        container->pClientSite->AddRef();
        releaseAndClear(clientSite_);
        clientSite_ = container->pClientSite;
    }
    if (container->pAdviseSink)
        SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    // The container's sink of the default event interface, connected as if it
    // had called Advise itself; the cookie lets it disconnect.
    if (container->pUnkEventSink) {
        IConnectionPoint* events = nullptr;
        if (object_.FindConnectionPoint(DIID___Calc2, &events) == S_OK) {
            events->Advise(container->pUnkEventSink, &control->dwEventCookie);
            events->Release();
        }
    }
    // No property notifications: the control's properties are the form's
    // lists, which the container reads when it wants them.
    control->dwPropNotifyCookie = 0;
    control->dwMiscStatus = shell::kRegistration.miscStatus;
    control->dwViewStatus = VIEWSTATUS_OPAQUE;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
}

HRESULT OleControl::SetContentExtent(LPSIZEL size)
{
    return SetExtent(DVASPECT_CONTENT, size);
}

HRESULT OleControl::GetContentExtent(LPSIZEL size)
{
    return GetExtent(DVASPECT_CONTENT, size);
}

}  // namespace wrenfield::windows
