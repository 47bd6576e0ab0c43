#include "SingleInstanceDlg.h"

UINT g_nMessageCode = 0;

namespace {
// A synchronous broadcast that a hung window of the desktop cannot stall:
// each window gets this long to answer.
const UINT BROADCAST_TIMEOUT_MS = 5000;
}

CSingleInstanceDlg::CSingleInstanceDlg(UINT nIDTemplate, HWND hParent) : CDialog(nIDTemplate, hParent)
{
    g_nMessageCode = RegisterWindowMessageA("MessageCode");
}

// A first copy that goes seconds without pumping messages (registering a
// library, saving) cannot answer the broadcast in time: the mutex decides.
// Should it not have been made at all, the broadcast's answer alone decides.
LRESULT CSingleInstanceDlg::CreateSingleInstance(WPARAM wParam, LPARAM lParam)
{
    if (DefWindowProc(WM_CREATE, wParam, lParam) == -1)
        return -1;
    m_bFirstInstance = !m_bMutexHeldElsewhere;
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(HWND_BROADCAST, g_nMessageCode, 1, reinterpret_cast<LPARAM>(m_hWnd),
                        SMTO_ABORTIFHUNG, BROADCAST_TIMEOUT_MS, &dwResult);
    return m_bFirstInstance ? 0 : -1;
}

LRESULT CSingleInstanceDlg::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (g_nMessageCode != 0 && uMsg == g_nMessageCode)
        OnMessageCode(wParam, lParam);
    return CDialog::WindowProc(uMsg, wParam, lParam);
}

void CSingleInstanceDlg::OnMessageCode(WPARAM wParam, LPARAM lParam)
{
    HWND hAsking = reinterpret_cast<HWND>(lParam);
    if (wParam == 0) {
        m_bFirstInstance = FALSE;
        return;
    }
    if (hAsking == m_hWnd)
        return;
    HWND hPopup = GetLastActivePopup(m_hWnd);
    if (IsIconic(m_hWnd))
        ShowWindow(m_hWnd, SW_RESTORE);
    SetForegroundWindow(hPopup);
    SendMessageA(hAsking, g_nMessageCode, 0, 0);
}
