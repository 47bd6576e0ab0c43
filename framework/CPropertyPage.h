// One page of a property sheet: a dialog template with a message table. The
// sheet's notifications reach the virtual handlers below; their answers go
// back through the dialog's message result.
#pragma once

#include "CObject.h"
#include "CString.h"
#include "CWnd.h"

#include <commctrl.h>

class CPropertySheet;

class CPropertyPage : public CWnd, public CObject {
public:
    static const CRuntimeClass classCPropertyPage;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCPropertyPage; }

    explicit CPropertyPage(UINT nIDTemplate);

    // Sets PSP_USETITLE with a title kept by the page.
    void SetTitle(const char* pszTitle);

    // Binds control objects to the page's controls; called by OnInitDialog.
    virtual void DoDataExchange() {}
    virtual BOOL OnInitDialog();
    // TRUE lets the page be shown.
    virtual BOOL OnSetActive() { return TRUE; }
    // TRUE lets the page be left.
    virtual BOOL OnKillActive() { return TRUE; }
    // TRUE lets the wizard end with the Finish result.
    virtual BOOL OnWizardFinish() { return TRUE; }
    // TRUE lets the sheet be cancelled.
    virtual BOOL OnQueryCancel() { return TRUE; }

    BEGIN_MSG_MAP(CPropertyPage)
        MESSAGE_HANDLER(WM_NOTIFY, OnNotify)
    END_MSG_MAP()

    // The page as the sheet builds it; pszTitle points into the page.
    PROPSHEETPAGEA m_psp;

protected:
    CString GetItemText(int nId) const;

private:
    friend class CPropertySheet;

    LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    CString m_strTitle;
    CPropertySheet* m_pParentSheet = nullptr;
};
