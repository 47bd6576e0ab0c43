#include "CPropertySheet.h"

#include "CWinApp.h"

const CRuntimeClass CPropertySheet::classCPropertySheet = {"CPropertySheet", 0xFFFF, nullptr, RUNTIME_CLASS(CObject)};

CPropertySheet::CPropertySheet(UINT nIDCaption, HWND hParent, UINT nSelectPage) : m_psh()
{
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_HASHELP;
    m_psh.hwndParent = hParent;
    m_psh.hInstance = AfxGetInstanceHandle();
    m_psh.pszCaption = MAKEINTRESOURCEA(nIDCaption);
    m_psh.nStartPage = nSelectPage;
}

void CPropertySheet::AddPage(CPropertyPage* pPage)
{
    pPage->m_pParentSheet = this;
    m_pages.push_back(pPage);
}

void CPropertySheet::SetWizardButtons(DWORD dwFlags)
{
    if (m_hWnd)
        SendMessageA(m_hWnd, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(dwFlags));
}

// The first page is created while the sheet initialises, with the sheet
// already at its size: the sheet learns its window and is centred then.
void CPropertySheet::Attach(HWND hPage)
{
    if (m_hWnd)
        return;
    m_hWnd = GetParent(hPage);
    CenterWindow();
}

BOOL CPropertySheet::MayCancel(CPropertyPage* pPage)
{
    return m_bEnding || pPage->OnQueryCancel();
}

// The page handles live only for one run: the sheet destroys what it made.
INT_PTR CPropertySheet::DoModal()
{
    std::vector<HPROPSHEETPAGE> handles;
    for (CPropertyPage* pPage : m_pages) {
        HPROPSHEETPAGE hPage = CreatePropertySheetPageA(&pPage->m_psp);
        if (!hPage) {
            for (HPROPSHEETPAGE hMade : handles)
                DestroyPropertySheetPage(hMade);
            return -1;
        }
        handles.push_back(hPage);
    }
    PROPSHEETHEADERA psh = m_psh;
    psh.dwFlags &= ~static_cast<DWORD>(PSH_PROPSHEETPAGE);
    if (!psh.hwndParent)
        psh.hwndParent = AfxGetDefaultOwner();
    psh.nPages = static_cast<UINT>(handles.size());
    psh.phpage = handles.data();
    m_nResult = IDCANCEL;
    m_bEnding = FALSE;
    INT_PTR nRun = PropertySheetA(&psh);
    m_hWnd = nullptr;
    return nRun < 0 ? -1 : m_nResult;
}

void CPropertySheet::EndWizard(INT_PTR nResult)
{
    if (!m_hWnd)
        return;
    m_nResult = nResult;
    m_bEnding = TRUE;
    PostMessageA(m_hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}
