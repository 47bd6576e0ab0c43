// A window handle with its message table. Derived classes declare their
// table with the macros below.
#pragma once

#include "fwdefs.h"

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    // The message table: TRUE when the message was handled, with its result.
    virtual BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

    // Centres the window over its owner, or in the work area when the owner
    // is hidden or minimized.
    void CenterWindow();

    HWND m_hWnd = nullptr;
};

#define BEGIN_MSG_MAP(theClass)                                                          \
public:                                                                                  \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,        \
                              LRESULT& lResult) override                                 \
    {                                                                                    \
        (void)hWnd;                                                                      \
        (void)wParam;                                                                    \
        (void)lParam;                                                                    \
        (void)lResult;

#define MESSAGE_HANDLER(msg, func)                                                       \
    if (uMsg == (msg)) {                                                                 \
        lResult = func(wParam, lParam);                                                  \
        return TRUE;                                                                     \
    }

#define COMMAND_ID_HANDLER(id, func)                                                     \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                  \
        func();                                                                          \
        lResult = 0;                                                                     \
        return TRUE;                                                                     \
    }

#define COMMAND_HANDLER(id, code, func)                                                  \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {      \
        func();                                                                          \
        lResult = 0;                                                                     \
        return TRUE;                                                                     \
    }

#define CHAIN_MSG_MAP(theBase)                                                           \
    if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))              \
        return TRUE;

#define END_MSG_MAP()                                                                    \
    return FALSE;                                                                        \
    }
