#include "SetupDlg.h"

#include "SetupSequence.h"
#include "resource.h"

#include "engine/SetupMngr.h"
#include "framework/CWinApp.h"
#include "ui/Backdrop.h"
#include "ui/SetupCallback.h"
#include "ui/SetupLog.h"
#include "ui/resource.h"
#include "wizard/MyPropertySheet.h"

CSetupDlg::CSetupDlg(CSetupMngr& engine, HWND hParent)
    : CSingleInstanceDlg(IDD_SETUP_DIALOG, hParent), m_engine(engine)
{
    g_pSetupDlg = this;
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CSetupDlg::~CSetupDlg()
{
    if (g_pSetupDlg == this)
        g_pSetupDlg = nullptr;
}

LRESULT CSetupDlg::OnCreate(WPARAM wParam, LPARAM lParam)
{
    return CreateSingleInstance(wParam, lParam) == -1 ? -1 : 0;
}

BOOL CSetupDlg::OnInitDialog()
{
    RunSetup();
    AfxMessageBox(m_strFinalMessage, m_nFinalStyle);
    PostQuitMessage(0);
    return TRUE;
}

void CSetupDlg::RunSetup()
{
    CEngineSteps steps(m_engine);
    RunSetupSequence(steps, *this, SetupCallback, m_strFinalMessage, m_nFinalStyle);
}

int CSetupDlg::AskReadOnly(const CString& strPath)
{
    return m_dlgReadOnly.Ask(strPath);
}

LRESULT CSetupDlg::OnSize(WPARAM wParam, LPARAM lParam)
{
    DefWindowProc(WM_SIZE, wParam, lParam);
    PaintBackdrop(LOWORD(lParam), HIWORD(lParam));
    return 0;
}

// The paint context of the window serves as the reference; taking it also
// validates what was waiting to be repainted, which the sequence repaints
// explicitly after every change of size.
BOOL CSetupDlg::PaintBackdrop(int cx, int cy)
{
    PAINTSTRUCT ps;
    HDC hDC = BeginPaint(m_hWnd, &ps);
    if (!hDC)
        return TRUE;
    ::PaintBackdrop(m_memDC, hDC, cx, cy, m_engine.m_strProductName);
    EndPaint(m_hWnd, &ps);
    return TRUE;
}

LRESULT CSetupDlg::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC hDC = BeginPaint(m_hWnd, &ps);
    if (!hDC)
        return 0;
    if (IsIconic(m_hWnd)) {
        SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
        int cxIcon = GetSystemMetrics(SM_CXICON);
        int cyIcon = GetSystemMetrics(SM_CYICON);
        RECT rc;
        GetClientRect(m_hWnd, &rc);
        int x = (rc.right - rc.left - cxIcon + 1) / 2;
        int y = (rc.bottom - rc.top - cyIcon + 1) / 2;
        DrawIcon(hDC, x, y, m_hIcon);
    } else {
        SIZE size = m_memDC.GetSize();
        BitBlt(hDC, 0, 0, size.cx - 1, size.cy - 1, m_memDC.GetSafeHdc(), 0, 0, SRCCOPY);
    }
    EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CSetupDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}

void CSetupDlg::CreateStatus(const char* pszText)
{
    m_dlgStatus.Create(m_hWnd);
    m_dlgStatus.SetText(pszText);
    if (m_dlgStatus.m_hWnd)
        ShowWindow(m_dlgStatus.m_hWnd, SW_SHOW);
}

void CSetupDlg::SetStatusText(const char* pszText)
{
    m_dlgStatus.SetText(pszText);
}

void CSetupDlg::DestroyStatus()
{
    m_dlgStatus.DestroyWindow();
}

void CSetupDlg::SetIcons()
{
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

void CSetupDlg::ShowBackdrop(const CString& strCaption)
{
    SetWindowTextA(m_hWnd, strCaption);
    ShowWindow(m_hWnd, SW_SHOWMAXIMIZED);
    RepaintBackdrop();
}

void CSetupDlg::RepaintBackdrop()
{
    InvalidateRect(m_hWnd, nullptr, FALSE);
    UpdateWindow(m_hWnd);
}

// Without a parent the sheet is owned by the backdrop; it has no Help button.
INT_PTR CSetupDlg::RunWizard()
{
    LogLoaded(m_engine);
    CMyPropertySheet sheet;
    sheet.m_psh.dwFlags &= ~static_cast<DWORD>(PSH_HASHELP);
    INT_PTR nResult = sheet.DoModal();
    if (nResult == ID_WIZFINISH) {
        LogFormat("destination: %s (from the wizard)", static_cast<const char*>(m_engine.m_strDestDir));
        LogFormat("program folder: %s (from the wizard)", static_cast<const char*>(m_engine.m_strProgramFolder));
    }
    return nResult;
}

void CSetupDlg::CreateProgress()
{
    m_dlgProgress.Create(m_hWnd);
}

void CSetupDlg::DestroyProgress()
{
    m_dlgProgress.DestroyWindow();
}

int CSetupDlg::ShowMessage(const char* pszText, UINT nStyle)
{
    return AfxMessageBox(pszText, nStyle);
}

// The backdrop is there for the whole run: it gives the reason.
void CSetupDlg::RefuseSessionEnd(const CString& strTitle)
{
    m_endSession.Refuse(m_hWnd, strTitle);
}

void CSetupDlg::AcceptSessionEnd()
{
    m_endSession.Accept();
}
