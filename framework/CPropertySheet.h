// A property sheet over the common controls' PropertySheetA, modal, in
// normal or wizard mode. DoModal answers ID_WIZFINISH when a wizard was
// finished with Finish, IDOK when a normal sheet was closed with OK,
// IDCANCEL otherwise, and -1 when the sheet could not be made. The answer
// comes from the pages' notifications, not from PropertySheetA, which
// gives 1 for Finish and 0 for Cancel under Wine.
#pragma once

#include "CPropertyPage.h"

#include <vector>

class CPropertySheet : public CWnd, public CObject {
public:
    static const CRuntimeClass classCPropertySheet;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCPropertySheet; }

    // The result of a wizard finished with Finish: the Finish button's id.
    static const INT_PTR ID_WIZFINISH = 12325;

    // The caption is a string resource of the program's module.
    explicit CPropertySheet(UINT nIDCaption, HWND hParent = nullptr, UINT nSelectPage = 0);

    void AddPage(CPropertyPage* pPage);
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    void SetWizardButtons(DWORD dwFlags);
    // Without a parent, the sheet is owned by the main window's last active
    // popup. The sheet is centred over its owner.
    INT_PTR DoModal();
    // Closes the running sheet with nResult, without asking the pages.
    void EndWizard(INT_PTR nResult);

    // The header as DoModal passes it; the pages are filled in there.
    PROPSHEETHEADERA m_psh;

private:
    friend class CPropertyPage;

    void Attach(HWND hPage);
    BOOL MayCancel(CPropertyPage* pPage);
    void OnFinished() { m_nResult = ID_WIZFINISH; }
    void OnApplied() { m_nResult = IDOK; }

    std::vector<CPropertyPage*> m_pages;
    INT_PTR m_nResult = IDCANCEL;
    BOOL m_bEnding = FALSE;
};
