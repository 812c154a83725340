#include "ole_container.h"

OleContainer::OleContainer(HWND form, const RECT& area)
    : form_(form)
    , area_(area)
{}

OleContainer::~OleContainer()
{
    remove();
}

HRESULT OleContainer::place(REFCLSID clsid)
{
    if (object_)
        return E_UNEXPECTED;
    // The control's storage lives in memory; a container that keeps its
    // forms in a file would use a substorage of its document instead.
    ILockBytes* bytes = nullptr;
    HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes);
    if (FAILED(hr))
        return hr;
    hr = StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage_);
    bytes->Release();
    if (FAILED(hr))
        return hr;
    hr = OleCreate(clsid, IID_IOleObject, OLERENDER_NONE, nullptr, static_cast<IOleClientSite*>(this), storage_,
                   reinterpret_cast<void**>(&object_));
    if (FAILED(hr))
        return hr;
    object_->SetHostNames(L"OleContainer", L"Form");
    // The control keeps its own window inside the form's.
    OleSetContainedObject(object_, TRUE);
    return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, form_, &area_);
}

HRESULT OleContainer::placeQuickly(REFCLSID clsid, IUnknown* eventSink)
{
    if (object_)
        return E_UNEXPECTED;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, reinterpret_cast<void**>(&object_));
    if (FAILED(hr))
        return hr;
    IQuickActivate* quick = nullptr;
    hr = object_->QueryInterface(IID_IQuickActivate, reinterpret_cast<void**>(&quick));
    if (FAILED(hr))
        return hr;
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = static_cast<IOleClientSite*>(this);
    container.pUnkEventSink = eventSink;
    container.dwAmbientFlags = userMode_ ? QACONTAINER_USERMODE : 0;
    container.colorBack = background_ ? *background_ : (0x80000000 | COLOR_WINDOW);
    container.colorFore = foreground_ ? *foreground_ : (0x80000000 | COLOR_WINDOWTEXT);
    IFontDisp* font = fontFace_.empty() ? nullptr : newAmbientFont();
    container.pFont = reinterpret_cast<IFont*>(font);
    container.lcid = GetUserDefaultLCID();
    quick_ = {};
    quick_.cbSize = sizeof quick_;
    hr = quick->QuickActivate(&container, &quick_);
    quick->Release();
    if (font)
        font->Release();
    if (FAILED(hr))
        return hr;
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        persist->InitNew();
        persist->Release();
    }
    OleSetContainedObject(object_, TRUE);
    return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(this), 0, form_, &area_);
}

HRESULT OleContainer::moveTo(const RECT& area)
{
    area_ = area;
    IOleInPlaceObject* inPlace = nullptr;
    if (!object_ || FAILED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace))))
        return E_UNEXPECTED;
    const HRESULT hr = inPlace->SetObjectRects(&area_, &area_);
    inPlace->Release();
    return hr;
}

// --- The ambient properties ------------------------------------------------------

void OleContainer::ambientChanged(DISPID id)
{
    IOleControl* control = nullptr;
    if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&control)))) {
        control->OnAmbientPropertyChange(id);
        control->Release();
    }
}

void OleContainer::setUserMode(bool userMode)
{
    userMode_ = userMode;
    ambientChanged(DISPID_AMBIENT_USERMODE);
}

void OleContainer::setAmbientFont(const std::wstring& face, double points)
{
    fontFace_ = face;
    fontPoints_ = points;
    ambientChanged(DISPID_AMBIENT_FONT);
}

void OleContainer::setAmbientColours(std::optional<COLORREF> background, std::optional<COLORREF> foreground)
{
    background_ = background;
    foreground_ = foreground;
    ambientChanged(DISPID_AMBIENT_BACKCOLOR);
    ambientChanged(DISPID_AMBIENT_FORECOLOR);
}

IFontDisp* OleContainer::newAmbientFont() const
{
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(fontFace_.c_str());
    description.cySize.int64 = static_cast<LONGLONG>(fontPoints_ * 10000);
    description.sWeight = FW_NORMAL;
    description.sCharset = DEFAULT_CHARSET;
    IFontDisp* font = nullptr;
    OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(&font));
    return font;
}

HRESULT OleContainer::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT OleContainer::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT OleContainer::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT OleContainer::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
{
    if (!(flags & DISPATCH_PROPERTYGET) || !result)
        return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    switch (id) {
    case DISPID_AMBIENT_USERMODE:
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = userMode_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case DISPID_AMBIENT_FONT:
        if (fontFace_.empty())
            break;
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = newAmbientFont();
        return V_DISPATCH(result) ? S_OK : E_OUTOFMEMORY;
    case DISPID_AMBIENT_BACKCOLOR:
    case DISPID_AMBIENT_FORECOLOR: {
        const std::optional<COLORREF>& colour = id == DISPID_AMBIENT_BACKCOLOR ? background_ : foreground_;
        if (!colour)
            break;
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(*colour);
        return S_OK;
    }
    default:
        break;
    }
    return DISP_E_MEMBERNOTFOUND;
}

bool OleContainer::translateAccelerator(MSG& message)
{
    if (!active_ || message.message < WM_KEYFIRST || message.message > WM_KEYLAST)
        return false;
    return active_->TranslateAccelerator(&message) == S_OK;
}

void OleContainer::remove()
{
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_->Release();
        object_ = nullptr;
    }
    if (active_) {
        active_->Release();
        active_ = nullptr;
    }
    if (storage_) {
        storage_->Release();
        storage_ = nullptr;
    }
}

HRESULT OleContainer::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(riid, IID_IOleControlSite))
        *ppv = static_cast<IOleControlSite*>(this);
    else if (IsEqualIID(riid, IID_IDispatch))
        *ppv = static_cast<IDispatch*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG OleContainer::AddRef()
{
    return InterlockedIncrement(&references_);
}

ULONG OleContainer::Release()
{
    // The site lives as long as its owner (on the stack of the form); the
    // count only tells whether the control let every reference go.
    return InterlockedDecrement(&references_);
}

HRESULT OleContainer::SaveObject()
{
    return S_OK;
}

HRESULT OleContainer::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT OleContainer::GetContainer(IOleContainer** container)
{
    if (container)
        *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT OleContainer::ShowObject()
{
    return S_OK;
}

HRESULT OleContainer::OnShowWindow(BOOL)
{
    return S_OK;
}

HRESULT OleContainer::RequestNewObjectLayout()
{
    return E_NOTIMPL;
}

HRESULT OleContainer::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = form_;
    return S_OK;
}

HRESULT OleContainer::ContextSensitiveHelp(BOOL)
{
    return E_NOTIMPL;
}

HRESULT OleContainer::CanInPlaceActivate()
{
    return S_OK;
}

HRESULT OleContainer::OnInPlaceActivate()
{
    return S_OK;
}

HRESULT OleContainer::OnUIActivate()
{
    return S_OK;
}

HRESULT OleContainer::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                       LPRECT clip, LPOLEINPLACEFRAMEINFO info)
{
    if (!frame || !document || !position || !clip || !info)
        return E_POINTER;
    // The form is frame and document at once.
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = area_;
    *clip = area_;
    info->fMDIApp = FALSE;
    info->hwndFrame = form_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT OleContainer::Scroll(SIZE)
{
    return E_NOTIMPL;
}

HRESULT OleContainer::OnUIDeactivate(BOOL)
{
    return S_OK;
}

HRESULT OleContainer::OnInPlaceDeactivate()
{
    return S_OK;
}

HRESULT OleContainer::DiscardUndoState()
{
    return S_OK;
}

HRESULT OleContainer::DeactivateAndUndo()
{
    return S_OK;
}

HRESULT OleContainer::OnPosRectChange(LPCRECT position)
{
    if (!position)
        return E_POINTER;
    area_ = *position;
    IOleInPlaceObject* inPlace = nullptr;
    if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->SetObjectRects(&area_, &area_);
        inPlace->Release();
    }
    return S_OK;
}

HRESULT OleContainer::GetBorder(LPRECT)
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT OleContainer::RequestBorderSpace(LPCBORDERWIDTHS)
{
    return INPLACE_E_NOTOOLSPACE;
}

HRESULT OleContainer::SetBorderSpace(LPCBORDERWIDTHS widths)
{
    return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

HRESULT OleContainer::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR)
{
    if (object)
        object->AddRef();
    if (active_)
        active_->Release();
    active_ = object;
    return S_OK;
}

HRESULT OleContainer::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS)
{
    return E_NOTIMPL;
}

HRESULT OleContainer::SetMenu(HMENU, HOLEMENU, HWND)
{
    return S_OK;
}

HRESULT OleContainer::RemoveMenus(HMENU)
{
    return E_NOTIMPL;
}

HRESULT OleContainer::SetStatusText(LPCOLESTR)
{
    return S_OK;
}

HRESULT OleContainer::EnableModeless(BOOL)
{
    return S_OK;
}

HRESULT OleContainer::TranslateAccelerator(LPMSG, WORD)
{
    return S_FALSE;
}

HRESULT OleContainer::OnControlInfoChanged()
{
    return S_OK;
}

HRESULT OleContainer::LockInPlaceActive(BOOL)
{
    return S_OK;
}

HRESULT OleContainer::GetExtendedControl(IDispatch** control)
{
    if (control)
        *control = nullptr;
    return E_NOTIMPL;
}

HRESULT OleContainer::TransformCoords(POINTL*, POINTF*, DWORD)
{
    return E_NOTIMPL;
}

HRESULT OleContainer::TranslateAccelerator(MSG*, DWORD)
{
    return S_FALSE;
}

HRESULT OleContainer::OnFocus(BOOL gotFocus)
{
    focus_ = gotFocus != FALSE;
    return S_OK;
}

HRESULT OleContainer::ShowPropertyFrame()
{
    return E_NOTIMPL;
}
