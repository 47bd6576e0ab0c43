#include "SessionWnd.h"

#include "EndSessionGuard.h"
#include "ProgressDlg.h"

#include "framework/CWinApp.h"

namespace {
const char SESSION_WND_CLASS[] = "SetupSessionWindow";

LRESULT CALLBACK SessionWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE) {
        auto pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
    }
    auto pGuard = reinterpret_cast<CEndSessionGuard*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (pGuard && uMsg == WM_QUERYENDSESSION)
        return pGuard->OnQueryEndSession(wParam, lParam);
    if (pGuard && uMsg == WM_ENDSESSION)
        return pGuard->OnEndSession(wParam, lParam);
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}
}

BOOL CSessionWnd::Create(const char* pszTitle, CEndSessionGuard& guard)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SessionWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.lpszClassName = SESSION_WND_CLASS;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return FALSE;
    m_hWnd = CreateWindowExA(0, SESSION_WND_CLASS, pszTitle, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                             AfxGetInstanceHandle(), &guard);
    return m_hWnd != nullptr;
}

void CSessionWnd::Destroy()
{
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

void CSessionWnd::PumpIfDue()
{
    if (!m_hWnd || GetTickCount() - m_dwLastPump < PUMP_INTERVAL_MS)
        return;
    m_dwLastPump = GetTickCount();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
