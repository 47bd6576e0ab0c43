#include "CDialog.h"

#include "CWinApp.h"

namespace {
// The dialog whose window is about to be created, and the hook waiting for
// it. Set just before a create call and cleared by the first creation seen.
CDialog* g_pCreating = nullptr;
HHOOK g_hCbtHook = nullptr;
}

CDialog::CDialog(UINT nIDTemplate, HWND hParent) : m_nIDTemplate(nIDTemplate), m_hWndParent(hParent) {}

CDialog::~CDialog()
{
    if (m_hWnd && IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

void CDialog::HookCreation()
{
    g_pCreating = this;
    g_hCbtHook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
}

// A create call that failed before its window existed leaves the hook set.
void CDialog::UnhookCreation()
{
    if (g_pCreating == this) {
        UnhookWindowsHookEx(g_hCbtHook);
        g_pCreating = nullptr;
        g_hCbtHook = nullptr;
    }
}

LRESULT CALLBACK CDialog::CbtHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    HHOOK hHook = g_hCbtHook;
    if (nCode == HCBT_CREATEWND && g_pCreating) {
        CDialog* pDlg = g_pCreating;
        g_pCreating = nullptr;
        g_hCbtHook = nullptr;
        UnhookWindowsHookEx(hHook);
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        pDlg->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pDlg));
        pDlg->m_pfnSuper = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
        return 0;
    }
    return CallNextHookEx(hHook, nCode, wParam, lParam);
}

LRESULT CALLBACK CDialog::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CDialog* pDlg = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (!pDlg)
        return DefDlgProcA(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) {
        WNDPROC pfnSuper = pDlg->m_pfnSuper;
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnSuper));
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
        pDlg->m_hWnd = nullptr;
        return CallWindowProcA(pfnSuper, hWnd, uMsg, wParam, lParam);
    }
    return pDlg->WindowProc(uMsg, wParam, lParam);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT uMsg, WPARAM, LPARAM)
{
    if (uMsg != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    return pDlg ? pDlg->OnInitDialog() : TRUE;
}

LRESULT CDialog::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (ProcessWindowMessage(m_hWnd, uMsg, wParam, lParam, lResult))
        return lResult;
    return DefWindowProc(uMsg, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(m_pfnSuper, m_hWnd, uMsg, wParam, lParam);
}

LRESULT CDialog::OnUnhandledCommand(WPARAM wParam, LPARAM lParam)
{
    CWinApp* pApp = AfxGetApp();
    if (lParam == 0 && pApp && pApp->OnCmdMsg(LOWORD(wParam)))
        return 0;
    return DefWindowProc(WM_COMMAND, wParam, lParam);
}

INT_PTR CDialog::DoModal()
{
    HookCreation();
    HWND hParent = m_hWndParent ? m_hWndParent : AfxGetDefaultOwner();
    INT_PTR nResult = DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                      hParent, DialogProc, 0);
    UnhookCreation();
    return nResult;
}

BOOL CDialog::Create(HWND hParent)
{
    if (hParent)
        m_hWndParent = hParent;
    HookCreation();
    HWND hWnd = CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
                                   m_hWndParent, DialogProc, 0);
    UnhookCreation();
    return hWnd != nullptr;
}

BOOL CDialog::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(INT_PTR nResult)
{
    ::EndDialog(m_hWnd, nResult);
}

