#include "CWinApp.h"

#include "CWnd.h"

namespace {
// The one application object of the program, registered by its constructor.
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp(void (*pfnTerm)()) : m_hInstance(GetModuleHandleA(nullptr)), m_pfnTerm(pfnTerm)
{
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (m_pfnTerm)
        m_pfnTerm();
    g_pApp = nullptr;
}

BOOL CWinApp::OnCmdMsg(UINT)
{
    return FALSE;
}

void CWinApp::OnHelp()
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(m_hInstance, szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 4)
        return;
    char* pDot = strrchr(szPath, '.');
    if (pDot)
        *pDot = '\0';
    lstrcatA(szPath, ".hlp");
    HWND hOwner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    WinHelpA(hOwner, szPath, HELP_FINDER, 0);
}

int CWinApp::DoMessageBox(const char* pszText, UINT nType)
{
    HWND hOwner = AfxGetDefaultOwner();
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    char szTitle[256];
    const char* pszTitle = nullptr;
    if (LoadStringA(m_hInstance, AFX_IDS_APP_TITLE, szTitle, sizeof szTitle) > 0)
        pszTitle = szTitle;
    return MessageBoxA(hOwner, pszText, pszTitle, nType);
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_pApp ? g_pApp->m_hInstance : GetModuleHandleA(nullptr);
}

HWND AfxGetDefaultOwner()
{
    if (g_pApp && g_pApp->m_pMainWnd && IsWindow(g_pApp->m_pMainWnd->m_hWnd))
        return GetLastActivePopup(g_pApp->m_pMainWnd->m_hWnd);
    return nullptr;
}

int AfxMessageBox(const char* pszText, UINT nType)
{
    if (g_pApp)
        return g_pApp->DoMessageBox(pszText, nType);
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    return MessageBoxA(nullptr, pszText, nullptr, nType);
}
