#include "MyPropertyPage1.h"

#include "MyPropertySheet.h"
#include "QueryQuit.h"
#include "WizardHost.h"
#include "resource.h"

IMPLEMENT_SERIAL(CMyPropertyPage1, CPropertyPage, 0xFFFF)

CMyPropertyPage1::CMyPropertyPage1() : CPropertyPage(IDD_README) {}

void CMyPropertyPage1::DoDataExchange()
{
    m_editReadMe.m_hWnd = GetDlgItem(m_hWnd, IDC_README);
}

BOOL CMyPropertyPage1::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    const char* pszReadMe = GetWizardEngine().m_pszReadMe;
    SetWindowTextA(m_editReadMe.m_hWnd, pszReadMe ? pszReadMe : "");
    return TRUE;
}

BOOL CMyPropertyPage1::OnSetActive()
{
    m_pSheet->SetWizardButtons(PSWIZB_NEXT);
    return CPropertyPage::OnSetActive();
}

BOOL CMyPropertyPage1::OnQueryCancel()
{
    return QueryQuit();
}
