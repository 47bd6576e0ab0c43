// A hidden top-level window for a run that shows none: the system asks
// top-level windows whether the session may end (a message-only window is
// never asked), so the run needs one to refuse. The run's thread answers
// only while it looks at its messages, which PumpIfDue does between the
// engine's reports.
#pragma once

#include "EndSessionGuard.h"

#include "framework/fwdefs.h"

class CSessionWnd {
public:
    CSessionWnd() = default;
    CSessionWnd(const CSessionWnd&) = delete;
    CSessionWnd& operator=(const CSessionWnd&) = delete;
    ~CSessionWnd() { Destroy(); }

    // The window answers the system through guard, which outlives it.
    // FALSE with the system's code in the last-error value.
    BOOL Create(const char* pszTitle, CEndSessionGuard& guard);
    void Destroy();
    // Dispatches the thread's messages, at most every PUMP_INTERVAL_MS.
    void PumpIfDue();

    HWND m_hWnd = nullptr;

private:
    DWORD m_dwLastPump = 0;
};
