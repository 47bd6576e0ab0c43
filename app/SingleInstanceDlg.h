// A dialog that keeps a second copy of the program from running. The first
// copy holds the instance mutex for its life, taken by the application
// before anything else; a copy that found it taken refuses to be created,
// however busy the first is. At its creation every copy also
// asks, through the registered message "MessageCode", whether an older copy
// is there: an older copy answers (a copy that knows no mutex decides by
// that) and comes to the front.
#pragma once

#include "framework/CDialog.h"

// The id of the registered message "MessageCode".
extern UINT g_nMessageCode;

class CSingleInstanceDlg : public CDialog {
public:
    explicit CSingleInstanceDlg(UINT nIDTemplate, HWND hParent = nullptr);

    BOOL m_bFirstInstance = FALSE;
    // Set by the application when another copy holds the instance mutex.
    BOOL m_bMutexHeldElsewhere = FALSE;

protected:
    LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    // The creation step for the derived class's WM_CREATE handler: 0 to go
    // on, -1 when another copy is running.
    LRESULT CreateSingleInstance(WPARAM wParam, LPARAM lParam);

private:
    void OnMessageCode(WPARAM wParam, LPARAM lParam);
};
