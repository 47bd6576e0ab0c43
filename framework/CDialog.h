// Modal and modeless dialogs from resource templates. The dialog window is
// subclassed the moment it is created (through a CBT hook), so the dialog
// object sees every message, WM_CREATE included.
#pragma once

#include "CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, HWND hParent = nullptr);
    ~CDialog() override;

    // Without a parent, the dialog is owned by the main window's last active popup.
    INT_PTR DoModal();
    // Creates the dialog modeless, owned by hParent (or the constructor's parent).
    BOOL Create(HWND hParent);
    virtual BOOL DestroyWindow();
    void EndDialog(INT_PTR nResult);

    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    BEGIN_MSG_MAP(CDialog)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
        MESSAGE_HANDLER(WM_COMMAND, OnUnhandledCommand)
    END_MSG_MAP()

protected:
    // Every message of the window; the default runs the message table and
    // then the dialog manager's own processing.
    virtual LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    HWND m_hWndParent;

private:
    LRESULT OnUnhandledCommand(WPARAM wParam, LPARAM lParam);
    void HookCreation();
    void UnhookCreation();
    static LRESULT CALLBACK CbtHook(int nCode, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
};
