// While the setup changes the system, a logoff or shutdown would end the
// process midway and leave the machine half installed or half rolled back.
// Between Refuse and Accept the window given to Refuse answers the system's
// question with "no" and gives the reason where the system shows one
// (Windows Vista and later). One window that refuses keeps the session:
// the system does not end a process with a window that said "no". If the system ends the session all
// the same (a forced end asks nobody), nothing can keep the process alive.
#pragma once

#include "framework/CString.h"

class CEndSessionGuard {
public:
    CEndSessionGuard() = default;
    CEndSessionGuard(const CEndSessionGuard&) = delete;
    CEndSessionGuard& operator=(const CEndSessionGuard&) = delete;
    ~CEndSessionGuard() { Accept(); }

    // Refuses from now on; hWnd gives the reason, naming strTitle's run.
    void Refuse(HWND hWnd, const CString& strTitle);
    // Keeps the last-error value.
    void Accept();

    // That window answers WM_QUERYENDSESSION and WM_ENDSESSION through these.
    LRESULT OnQueryEndSession(WPARAM wParam, LPARAM lParam);
    LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);

private:
    BOOL m_bRefusing = FALSE;
    HWND m_hWndReason = nullptr;
};
