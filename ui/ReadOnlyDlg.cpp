#include "ReadOnlyDlg.h"

#include "QuitQuestion.h"


CReadOnlyDlg::CReadOnlyDlg() : CDialog(IDD_READONLY) {}

int CReadOnlyDlg::Ask(const CString& strPath)
{
    if (m_bDontShow && m_nRememberedAnswer)
        return m_nRememberedAnswer;
    m_strFile = strPath;
    int nAnswer = static_cast<int>(DoModal());
    if (m_bDontShow && (nAnswer == SCBR_OVERWRITE || nAnswer == SCBR_SKIP))
        m_nRememberedAnswer = nAnswer;
    return nAnswer;
}

BOOL CReadOnlyDlg::OnInitDialog()
{
    CString strMessage;
    strMessage.Format("Setup has detected the Read-Only-File\r\n%s.\r\nOverwrite this file ?",
                      static_cast<const char*>(m_strFile));
    SetDlgItemTextA(m_hWnd, IDC_MESSAGE, strMessage);
    CheckDlgButton(m_hWnd, IDC_DONTSHOW, m_bDontShow ? BST_CHECKED : BST_UNCHECKED);
    CenterWindow();
    return TRUE;
}

void CReadOnlyDlg::OnCancel()
{
    if (AskQuitSetup(MB_YESNO | MB_ICONQUESTION))
        EndDialog(SCBR_QUIT);
}

void CReadOnlyDlg::OnDontShowClicked()
{
    m_bDontShow = IsDlgButtonChecked(m_hWnd, IDC_DONTSHOW) == BST_CHECKED;
}
