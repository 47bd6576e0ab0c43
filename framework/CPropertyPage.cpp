#include "CPropertyPage.h"

#include "CPropertySheet.h"
#include "CWinApp.h"

const CRuntimeClass CPropertyPage::classCPropertyPage = {"CPropertyPage", 0xFFFF, nullptr, RUNTIME_CLASS(CObject)};

CPropertyPage::CPropertyPage(UINT nIDTemplate) : m_psp()
{
    m_psp.dwSize = sizeof m_psp;
    m_psp.dwFlags = PSP_HASHELP;
    m_psp.hInstance = AfxGetInstanceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEA(nIDTemplate);
    m_psp.pfnDlgProc = DialogProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

void CPropertyPage::SetTitle(const char* pszTitle)
{
    m_strTitle = pszTitle;
    m_psp.pszTitle = m_strTitle;
    m_psp.dwFlags |= PSP_USETITLE;
}

BOOL CPropertyPage::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

CString CPropertyPage::GetItemText(int nId) const
{
    CString strText;
    HWND hItem = GetDlgItem(m_hWnd, nId);
    if (!hItem)
        return strText;
    int nLength = GetWindowTextLengthA(hItem);
    char* pszBuffer = strText.GetBuffer(nLength);
    int nCopied = GetWindowTextA(hItem, pszBuffer, nLength + 1);
    strText.ReleaseBuffer(nCopied);
    return strText;
}

// Results as the sheet reads them: PSN_SETACTIVE 0 shows the page,
// PSN_KILLACTIVE TRUE keeps it, PSN_WIZFINISH TRUE keeps the wizard open,
// PSN_QUERYCANCEL TRUE refuses the cancel.
LRESULT CPropertyPage::OnNotify(WPARAM, LPARAM lParam)
{
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    switch (pHdr->code) {
    case PSN_SETACTIVE:
        return OnSetActive() ? 0 : -1;
    case PSN_KILLACTIVE:
        return OnKillActive() ? FALSE : TRUE;
    case PSN_WIZFINISH:
        if (!OnWizardFinish())
            return TRUE;
        if (m_pParentSheet)
            m_pParentSheet->OnFinished();
        return FALSE;
    case PSN_APPLY:
        if (m_pParentSheet)
            m_pParentSheet->OnApplied();
        return PSNRET_NOERROR;
    case PSN_QUERYCANCEL:
        return m_pParentSheet && m_pParentSheet->MayCancel(this) ? FALSE : TRUE;
    default:
        return 0;
    }
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        const PROPSHEETPAGEA* pPsp = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        CPropertyPage* pPage = reinterpret_cast<CPropertyPage*>(pPsp->lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pPage));
        pPage->m_hWnd = hWnd;
        if (pPage->m_pParentSheet)
            pPage->m_pParentSheet->Attach(hWnd);
        return pPage->OnInitDialog();
    }
    CPropertyPage* pPage = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!pPage)
        return FALSE;
    if (uMsg == WM_NCDESTROY) {
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        pPage->m_hWnd = nullptr;
        return FALSE;
    }
    LRESULT lResult = 0;
    if (!pPage->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))
        return FALSE;
    SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}
