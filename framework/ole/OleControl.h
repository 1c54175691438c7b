#pragma once
// Base of an ActiveX control: the OLE interfaces a page or form container
// asks a windowed control for, built on a few virtual operations that the
// control class supplies (drawing, persistent properties, its class and
// type information, and its dispatch table).

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <objsafe.h>
#include <olectl.h>

#include "ComPtr.h"

#include <string>
#include <vector>

class CPropExchange;
class COleControl;

// One scripted method: arguments arrive as ANSI text in declaration order.
struct CDispatchEntry {
    DISPID dispid;
    const wchar_t* name;
    UINT params;
    bool hasResult; // a long result; otherwise the method returns nothing
    long (*call)(COleControl& control, const char* const* args);
};

class COleControl : public IDispatch,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public IViewObject2,
                    public IPersistStreamInit,
                    public IPersistPropertyBag,
                    public IProvideClassInfo2,
                    public ISpecifyPropertyPages,
                    public IObjectSafety,
                    public IObjectWithSite,
                    public IConnectionPointContainer {
public:
    COleControl();
    virtual ~COleControl();
    COleControl(const COleControl&) = delete;
    COleControl& operator=(const COleControl&) = delete;

    // The dispinterface answered as IDispatch, and the (empty) event one.
    void InitializeIIDs(const IID* piidPrimary, const IID* piidEvents);

    HWND GetSafeHwnd() const { return m_hWnd; }
    // Owner for modal dialogs: the control's window, else the container's.
    HWND GetOwnerWindow() const;
    void OnProperties();
    void InvalidateControl();

    // Whether a host has ever asked for the control to be safe for untrusted
    // callers, as a browser does before page script may call it.
    bool IsSafeForUntrustedCaller() const;
    // Every address the sites tell of the page, in this order: the document
    // the control is on (a frame's own) from either site's container, the
    // top-level page of the browser behind either site, the container's
    // moniker. False when one that is there tells none (an empty address
    // too); urls may be empty when nothing is there.
    struct PageUrl {
        std::wstring url;
        bool topLevel; // a browser's
    };
    bool GetPageUrls(std::vector<PageUrl>& urls) const;

    // The control class's part.
    virtual const CDispatchEntry* GetDispatchTable(UINT& count) const = 0;
    // Runs one method of the table with its arguments as text; a control may
    // check or record the call around it.
    virtual long CallMethod(const CDispatchEntry& entry, const char* const* args);
    virtual HRESULT GetTypeLib(LCID lcid, ITypeLib** ppTypeLib) = 0;
    virtual void DoPropExchange(CPropExchange* pPX);
    virtual void OnResetState();
    virtual void OnDraw(HDC hdc, const RECT& rcBounds, const RECT& rcInvalid) = 0;
    virtual const CLSID* GetPropPageIDs(ULONG& count) const;
    virtual UINT GetUserTypeNameID() const = 0;
    virtual DWORD GetMiscStatus() const = 0;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR szContainerApp,
                                           LPCOLESTR szContainerObj) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker,
                                         IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* pDataObject, BOOL fCreation,
                                           DWORD dwReserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD dwReserved,
                                               IDataObject** ppDataObject) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite,
                                     LONG lindex, HWND hwndParent, LPCRECT lprcPosRect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwConnection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* pLogpal) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow,
                                           BOOL fFrameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* pCI) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* pMsg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispID) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL bFreeze) override;

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect,
                                   DVTARGETDEVICE* ptd, HDC hdcTargetDev, HDC hdcDraw,
                                   LPCRECTL lprcBounds, LPCRECTL lprcWBounds,
                                   BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR dwContinue),
                                   ULONG_PTR dwContinue) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect,
                                          DVTARGETDEVICE* ptd, HDC hicTargetDev,
                                          LOGPALETTE** ppColorSet) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect,
                                     DWORD* pdwFreeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD dwFreeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* pAspects, DWORD* pAdvf,
                                        IAdviseSink** ppAdvSink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd,
                                        LPSIZEL lpsizel) override;

    // IPersistStreamInit, IPersistPropertyBag (GetClassID is the control's)
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* pPropBag, BOOL fClearDirty,
                                   BOOL fSaveAllProperties) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD dwGuidKind, GUID* pGUID) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) override;

    // IObjectSafety
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                        DWORD* pdwEnabledOptions) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                        DWORD dwEnabledOptions) override;

    // IObjectWithSite: the site a script engine gives an object it creates.
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* pUnkSite) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** ppvSite) override;

    // IConnectionPointContainer: the control fires no events.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // The window procedure's entry into the object.
    LRESULT WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    HRESULT LoadTypeInfo();
    HRESULT InPlaceActivate(LONG iVerb);
    HRESULT UIActivate();
    bool CreateControlWindow(HWND hWndParent, const RECT& rcPos);
    void DestroyControlWindow();
    void SendViewChange();
    HRESULT EnsureAdviseHolder();
    bool IsSafetyInterface(REFIID riid) const;

    LONG m_refs = 0;
    const IID* m_piidPrimary = nullptr;
    const IID* m_piidEvents = nullptr;
    com_ptr<ITypeLib> m_pTypeLib;
    com_ptr<ITypeInfo> m_pDispInfo;

    com_ptr<IOleClientSite> m_pClientSite;
    com_ptr<IUnknown> m_pSite;
    com_ptr<IOleAdviseHolder> m_pOleAdviseHolder;
    com_ptr<IAdviseSink> m_pViewAdviseSink;
    DWORD m_viewAdviseAspects = 0;
    DWORD m_viewAdviseFlags = 0;

    com_ptr<IOleInPlaceSite> m_pInPlaceSite;
    com_ptr<IOleInPlaceFrame> m_pInPlaceFrame;
    com_ptr<IOleInPlaceUIWindow> m_pInPlaceDoc;
    bool m_bUIActive = false;
    HWND m_hWnd = nullptr;
    RECT m_rcPos = {};

    SIZEL m_sizeExtent;
    bool m_bDirty = false;
    DWORD m_safetyOptions = 0;
    bool m_bUntrustedCallerAsked = false;
};

// Registers the control window class of this module once; the DLL removes
// it again when it unloads.
ATOM AfxRegisterControlWindowClass();
void AfxUnregisterControlWindowClass();
