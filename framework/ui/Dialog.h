#pragma once
// Modal dialog from a template, with its messages routed through a table of
// handlers, and a modal loop that gives the application's PreTranslateMessage
// the first look at every message of the thread.

#include "WinApp.h"
#include "Wnd.h"

class CDialog;

// One handler: receives wParam and lParam and gives the message result.
// Calling Default() inside it hands the message on to the default dialog
// processing instead.
typedef LRESULT (CDialog::*AFX_PMSG)(WPARAM, LPARAM);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP_ENTRY* entries;
    size_t count;
};

#define ON_MESSAGE(message, handler)                                                               \
    { message, static_cast<AFX_PMSG>(handler) }

class CDialog : public CWnd, public CMessageFilter {
public:
    CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    virtual BOOL OnInitDialog();
    virtual void DoDataExchange() {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual const AFX_MSGMAP* GetMessageMap() const;

    // CMessageFilter: the dialog's keyboard handling (Tab, Esc, Enter, mnemonics).
    BOOL PreTranslateMessage(MSG* pMsg) override;
    HWND FilterWindow() const override { return m_hWnd; }

    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, msg, wParam, lParam);
    }

protected:
    // Inside a handler: let the default dialog processing have the message.
    LRESULT Default() {
        m_bDefault = true;
        return 0;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    CWnd* m_pParentWnd;
    bool m_bEnded = false;
    bool m_bDefault = false;
    INT_PTR m_nResult = -1;
};

// The class library's default handling of a dialog's message table.
#define DECLARE_MESSAGE_MAP() const AFX_MSGMAP* GetMessageMap() const override;
#define BEGIN_MESSAGE_MAP(theClass)                                                                \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                                          \
    { 0, nullptr }                                                                                 \
    }                                                                                              \
    ;                                                                                              \
    static const AFX_MSGMAP map = {entries, sizeof(entries) / sizeof(entries[0]) - 1};             \
    return &map;                                                                                   \
    }

// Binds a member control to the dialog's control with this ID.
inline void DDX_Control(HWND hDialog, int id, CWnd& control) {
    control.BindToItem(hDialog, id);
}
