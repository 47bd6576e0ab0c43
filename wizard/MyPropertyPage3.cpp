#include "MyPropertyPage3.h"

#include "MyPropertySheet.h"
#include "QueryQuit.h"
#include "WizardHost.h"

#include "model/SetupChoices.h"

#include <mbstring.h>


IMPLEMENT_SERIAL(CMyPropertyPage3, CPropertyPage, 0xFFFF)

CMyPropertyPage3::CMyPropertyPage3() : CPropertyPage(IDD_FOLDER) {}

BOOL CMyPropertyPage3::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    FillGroupList();
    return TRUE;
}

BOOL CMyPropertyPage3::OnSetActive()
{
    SelectMatchingGroup();
    SetButtons();
    return CPropertyPage::OnSetActive();
}

BOOL CMyPropertyPage3::OnWizardFinish()
{
    GetWizardEngine().SetProgramFolder(MakeFolderName(GetItemText(IDC_FOLDER)));
    return CPropertyPage::OnWizardFinish();
}

BOOL CMyPropertyPage3::OnQueryCancel()
{
    return QueryQuit();
}

void CMyPropertyPage3::SetButtons()
{
    m_pSheet->SetWizardButtons(m_bNameValid ? PSWIZB_BACK | PSWIZB_FINISH : PSWIZB_DISABLEDFINISH);
}

void CMyPropertyPage3::FillGroupList()
{
    CSetupMngr& engine = GetWizardEngine();
    SetDlgItemTextA(m_hWnd, IDC_FOLDER, engine.m_strProgramFolder);
    for (int i = 0; i < engine.m_groups.GetSize(); ++i)
        SendDlgItemMessageA(m_hWnd, IDC_FOLDERLIST, LB_INSERTSTRING, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(static_cast<const char*>(engine.m_groups[i])));
    if (engine.m_groups.GetSize() > 0)
        SendDlgItemMessageA(m_hWnd, IDC_FOLDERLIST, LB_SETCURSEL, 0, 0);
}

void CMyPropertyPage3::SelectMatchingGroup()
{
    const CStringArray& groups = GetWizardEngine().m_groups;
    CString strName = MakeFolderName(GetItemText(IDC_FOLDER));
    for (int i = 0; i < groups.GetSize(); ++i) {
        if (_mbsicmp(reinterpret_cast<const unsigned char*>(static_cast<const char*>(strName)),
                     reinterpret_cast<const unsigned char*>(static_cast<const char*>(groups[i]))) == 0) {
            SendDlgItemMessageA(m_hWnd, IDC_FOLDERLIST, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
}

void CMyPropertyPage3::UpdateNameState()
{
    m_bNameValid = IsValidFolderName(GetItemText(IDC_FOLDER));
    SetButtons();
}

void CMyPropertyPage3::OnGroupPicked()
{
    const CStringArray& groups = GetWizardEngine().m_groups;
    int nIndex = static_cast<int>(SendDlgItemMessageA(m_hWnd, IDC_FOLDERLIST, LB_GETCURSEL, 0, 0));
    if (nIndex >= 0 && nIndex < groups.GetSize())
        SetDlgItemTextA(m_hWnd, IDC_FOLDER, groups[nIndex]);
}
