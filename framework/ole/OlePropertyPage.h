#pragma once
// Base of a property page: a child dialog from the module's resources shown
// in the container's property frame.

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "ComPtr.h"

#include <vector>

class COlePropertyPage : public IPropertyPage {
public:
    COlePropertyPage(UINT idTemplate, UINT idCaption);
    virtual ~COlePropertyPage();
    COlePropertyPage(const COlePropertyPage&) = delete;
    COlePropertyPage& operator=(const COlePropertyPage&) = delete;

    // Moves values between the dialog and the objects: to the objects when
    // bSaveAndValidate (Apply), to the dialog when the page opens.
    virtual void DoDataExchange(bool bSaveAndValidate);

    HWND GetSafeHwnd() const { return m_hDlg; }
    void SetModifiedFlag(bool modified);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IPropertyPage
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* pPageSite) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
    HRESULT STDMETHODCALLTYPE Show(UINT nCmdShow) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT pRect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR pszHelpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

    LONG m_refs = 0;
    UINT m_idTemplate;
    UINT m_idCaption;
    HWND m_hDlg = nullptr;
    com_ptr<IPropertyPageSite> m_pPageSite;
    std::vector<com_ptr<IUnknown>> m_objects;
    bool m_bDirty = false;
};
