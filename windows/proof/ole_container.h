// A small OLE container: the reference for hosting the Calc control on a
// form of one's own. One site holds one control in a rectangle of a form
// window and gives it what a control needs from its container: the client
// site, the in-place site, the frame (which is also the document window),
// the control site, and the form's ambient properties (through the site's
// IDispatch: UserMode, Font, BackColor, ForeColor).
//
//   OleContainer site(form, area);
//   site.place(CLSID_Calc);                 // OleCreate + DoVerb(OLEIVERB_INPLACEACTIVATE)
//   ... in the form's message loop, before IsDialogMessage:
//   if (site.translateAccelerator(msg)) continue;
//   site.remove();                          // Close, SetClientSite(NULL), Release
//
// or, as form designers place a control, in one call that also connects the
// form's event sink and hands over the ambient properties:
//   site.placeQuickly(CLSID_Calc, sink);    // IQuickActivate::QuickActivate, InitNew, DoVerb
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>
#include <string>

class OleContainer final : public IOleClientSite,
                           public IOleInPlaceSite,
                           public IOleInPlaceFrame,
                           public IOleControlSite,
                           public IDispatch {
public:
    OleContainer(HWND form, const RECT& area);
    ~OleContainer();
    OleContainer(const OleContainer&) = delete;
    OleContainer& operator=(const OleContainer&) = delete;

    // Creates the control in an in-memory storage (OleCreate: the control is
    // sited, initialised with IPersistStorage::InitNew) and activates it in
    // place in the area of the form.
    HRESULT place(REFCLSID clsid);
    // Creates the control (CoCreateInstance), hands it the site, the event
    // sink (of its default event interface; may be null) and the ambient
    // properties through IQuickActivate, initialises it (InitNew) and
    // activates it in place. E_NOINTERFACE for a control without quick
    // activation.
    HRESULT placeQuickly(REFCLSID clsid, IUnknown* eventSink);
    // What the control answered in QACONTROL.
    const QACONTROL& quickActivation() const noexcept { return quick_; }
    // Moves the control to another rectangle of the form
    // (IOleInPlaceObject::SetObjectRects).
    HRESULT moveTo(const RECT& area);

    // The form's ambient properties; each change is told to the control
    // (IOleControl::OnAmbientPropertyChange). Unset ones the site does not
    // have (DISP_E_MEMBERNOTFOUND), except UserMode, which is TRUE.
    void setUserMode(bool userMode);
    void setAmbientFont(const std::wstring& face, double points);
    void setAmbientColours(std::optional<COLORREF> background, std::optional<COLORREF> foreground);
    // Offers a keyboard message to the active control first (Tab within the
    // control). True when the control used it.
    bool translateAccelerator(MSG& message);
    // Closes the control, takes the site away and lets it go.
    void remove();

    IOleObject* object() const noexcept { return object_; }
    // Whether the control last told its site that it has the focus.
    bool controlHasFocus() const noexcept { return focus_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;
    // IOleWindow (of the in-place site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override;
    // IOleInPlaceUIWindow and IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND object) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message, WORD id) override;
    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) override;
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override;
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message, DWORD modifiers) override;
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL gotFocus) override;
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;
    // IDispatch: the ambient properties.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override;

private:
    void ambientChanged(DISPID id);
    IFontDisp* newAmbientFont() const;

    HWND form_;
    RECT area_;
    IStorage* storage_ = nullptr;
    IOleObject* object_ = nullptr;
    IOleInPlaceActiveObject* active_ = nullptr;
    bool focus_ = false;
    LONG references_ = 1;  // the owner's
    bool userMode_ = true;
    std::wstring fontFace_;
    double fontPoints_ = 0;
    std::optional<COLORREF> background_;
    std::optional<COLORREF> foreground_;
    QACONTROL quick_{};
};
