#include "ModelessDlg.h"

#include "ui/resource.h"

CModelessDlg::~CModelessDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

BOOL CModelessDlg::Create(HWND hOwner)
{
    HWND hTop = hOwner;
    while (hTop && (GetWindowLongA(hTop, GWL_STYLE) & WS_CHILD))
        hTop = GetParent(hTop);
    m_hWndDisabled = hTop;
    if (hTop && IsWindowEnabled(hTop)) {
        EnableWindow(hTop, FALSE);
        m_bParentDisabled = TRUE;
    }
    if (!CDialog::Create(hOwner)) {
        EnableOwner();
        return FALSE;
    }
    return TRUE;
}

BOOL CModelessDlg::DestroyWindow()
{
    EnableOwner();
    return CDialog::DestroyWindow();
}

void CModelessDlg::EnableOwner()
{
    if (m_bParentDisabled && m_hWndDisabled)
        EnableWindow(m_hWndDisabled, TRUE);
    m_bParentDisabled = FALSE;
}

void CModelessDlg::SetText(const char* pszText)
{
    if (m_hWnd)
        SetDlgItemTextA(m_hWnd, IDC_STATUSTEXT, pszText);
}
