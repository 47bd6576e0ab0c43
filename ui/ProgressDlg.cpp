#include "ProgressDlg.h"

#include "ui/resource.h"

#include <commctrl.h>

CProgressDlg::CProgressDlg() : CModelessDlg(IDD_PROGRESS) {}

BOOL CProgressDlg::OnInitDialog()
{
    m_bCancel = FALSE;
    m_ctlProgress = GetDlgItem(m_hWnd, IDC_PROGRESS);
    SendMessageA(m_ctlProgress, PBM_SETRANGE, 0, MAKELPARAM(m_nLower, m_nUpper));
    SendMessageA(m_ctlProgress, PBM_SETSTEP, static_cast<WPARAM>(m_nStep), 0);
    SendMessageA(m_ctlProgress, PBM_SETPOS, static_cast<WPARAM>(m_nLower), 0);
    CenterWindow();
    return TRUE;
}

int CProgressDlg::SetPos(int nPos)
{
    PumpIfDue();
    LRESULT lPrev = SendMessageA(m_ctlProgress, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
    return LOWORD(lPrev);
}

BOOL CProgressDlg::TestCancel()
{
    PumpIfDue();
    BOOL bCancel = m_bCancel;
    m_bCancel = FALSE;
    return bCancel;
}

void CProgressDlg::PumpIfDue()
{
    if (GetTickCount() - m_dwLastPump >= PUMP_INTERVAL_MS)
        PumpMessages();
}

void CProgressDlg::SetPendingText(const CString& strText)
{
    m_strPendingText = strText;
    m_bTextPending = TRUE;
}

void CProgressDlg::ShowPendingText()
{
    if (!m_bTextPending)
        return;
    m_bTextPending = FALSE;
    SetText(m_strPendingText);
}

void CProgressDlg::PumpMessages()
{
    m_dwLastPump = GetTickCount();
    ShowPendingText();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (m_hWnd && IsDialogMessageA(m_hWnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
