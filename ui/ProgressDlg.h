// The copy-progress dialog: the file being copied, a bar and Cancel. It pumps
// the thread's messages at every progress report, so the windows repaint and
// Cancel is seen while the engine copies.
#pragma once

#include "ModelessDlg.h"

class CProgressDlg : public CModelessDlg {
public:
    CProgressDlg();

    BOOL OnInitDialog() override;
    // Cancel only notes the wish; the question is asked at the next report.
    void OnCancel() override { m_bCancel = TRUE; }

    // Returns the bar's previous position.
    int SetPos(int nPos);
    BOOL TestCancel();
    void PumpMessages();

    HWND m_ctlProgress = nullptr;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    BOOL m_bCancel = FALSE;
};
