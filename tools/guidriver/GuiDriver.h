// Drives the installer's real windows from another process under Wine:
// finds windows, reads their texts and presses buttons by posting commands
// (a sent press that opens a modal box would not return until it closes).
#pragma once

#include "framework/CString.h"

#include <vector>

struct WindowQuery {
    DWORD dwProcessId = 0;          // 0: any process
    const char* pszClass = nullptr; // null: any class
    const char* pszTitle = nullptr; // null: any title
    bool bNeedButton = false;       // only windows with a push button child
};

HWND FindTopWindow(const WindowQuery& query);
HWND WaitForTopWindow(const WindowQuery& query, DWORD dwTimeoutMs);
// A message box captioned pszTitle ("Setup" for the installer's boxes).
HWND WaitForMessageBox(DWORD dwProcessId, const char* pszTitle, DWORD dwTimeoutMs);
// Waits until the window is gone; TRUE when it went in time.
BOOL WaitForWindowGone(HWND hWnd, DWORD dwTimeoutMs);

CString GetWindowTextString(HWND hWnd);
CString GetControlText(HWND hDlg, int nId);
// The text of a message box: its one non-empty static control that is not an icon.
CString GetMessageBoxText(HWND hBox);
// The icon style a message box shows: MB_ICONHAND, MB_ICONQUESTION,
// MB_ICONEXCLAMATION, MB_ICONASTERISK, or 0.
UINT GetMessageBoxIcon(HWND hBox);
BOOL PressButton(HWND hDlg, int nId);
// Clicks a control as the mouse would, so a check box also changes state.
BOOL ClickButton(HWND hDlg, int nId);

// The visible top-level windows of a process, in z-order.
std::vector<HWND> ListTopWindows(DWORD dwProcessId);
