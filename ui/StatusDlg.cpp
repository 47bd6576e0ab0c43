#include "StatusDlg.h"

#include "ui/resource.h"

CStatusDlg::CStatusDlg() : CModelessDlg(IDD_STATUS) {}

BOOL CStatusDlg::OnInitDialog()
{
    CenterWindow();
    return TRUE;
}
