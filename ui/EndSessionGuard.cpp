#include "EndSessionGuard.h"

#include "SetupLog.h"

#include <vector>

namespace {
typedef BOOL(WINAPI* PFNSHUTDOWNBLOCKREASONCREATE)(HWND, LPCWSTR);
typedef BOOL(WINAPI* PFNSHUTDOWNBLOCKREASONDESTROY)(HWND);
typedef void (*PFNFUNCTION)();

// The reason functions exist from Windows Vista on; the headers of this
// build target older systems. Null with the system's code when missing.
PFNFUNCTION User32Function(const char* pszName)
{
    HMODULE hUser32 = GetModuleHandleA("user32.dll");
    return hUser32 ? reinterpret_cast<PFNFUNCTION>(GetProcAddress(hUser32, pszName)) : nullptr;
}

BOOL CreateReason(HWND hWnd, const CString& strText)
{
    auto pfnCreate = reinterpret_cast<PFNSHUTDOWNBLOCKREASONCREATE>(User32Function("ShutdownBlockReasonCreate"));
    if (!pfnCreate)
        return FALSE;
    int nChars = MultiByteToWideChar(CP_ACP, 0, strText, -1, nullptr, 0);
    if (nChars == 0)
        return FALSE;
    std::vector<WCHAR> text(static_cast<size_t>(nChars));
    if (!MultiByteToWideChar(CP_ACP, 0, strText, -1, text.data(), nChars))
        return FALSE;
    return pfnCreate(hWnd, text.data());
}

BOOL DestroyReason(HWND hWnd)
{
    auto pfnDestroy = reinterpret_cast<PFNSHUTDOWNBLOCKREASONDESTROY>(User32Function("ShutdownBlockReasonDestroy"));
    return pfnDestroy && pfnDestroy(hWnd);
}
}

void CEndSessionGuard::Refuse(HWND hWnd, const CString& strTitle)
{
    m_bRefusing = TRUE;
    if (CreateReason(hWnd, strTitle + " is installing. Please wait until it has finished."))
        m_hWndReason = hWnd;
    else
        LogLine("session end: refused without a reason the system shows", GetLastError());
}

// The last-error value stays as it was: the failure a rollback left may be
// reported next.
void CEndSessionGuard::Accept()
{
    DWORD dwError = GetLastError();
    if (m_hWndReason && !DestroyReason(m_hWndReason))
        LogLine("session end: the reason stays registered", GetLastError());
    m_hWndReason = nullptr;
    m_bRefusing = FALSE;
    SetLastError(dwError);
}

LRESULT CEndSessionGuard::OnQueryEndSession(WPARAM, LPARAM)
{
    if (!m_bRefusing)
        return TRUE;
    LogLine("session end: refused while the setup changes the system");
    return FALSE;
}

LRESULT CEndSessionGuard::OnEndSession(WPARAM wParam, LPARAM)
{
    if (wParam && m_bRefusing)
        LogLine("session end: forced while the setup changes the system; the run ends unfinished");
    return 0;
}
