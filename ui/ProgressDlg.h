// The copy-progress dialog: the file being copied, a bar and Cancel. It pumps
// the thread's messages while the engine copies, so the windows repaint and
// Cancel is seen. A look at the queue is a round trip to the window server
// (under Wine several times a block's own work), so the reports between two
// looks are PUMP_INTERVAL_MS apart at the least; a report that asks for it
// (a new file) always looks.
#pragma once

#include "ModelessDlg.h"

const DWORD PUMP_INTERVAL_MS = 10;

class CProgressDlg : public CModelessDlg {
public:
    CProgressDlg();

    BOOL OnInitDialog() override;
    // Cancel only notes the wish; the question is asked at the next report.
    void OnCancel() override { m_bCancel = TRUE; }

    // Returns the bar's previous position.
    int SetPos(int nPos);
    BOOL TestCancel(BOOL bPumpNow = FALSE);
    void PumpMessages();

    HWND m_ctlProgress = nullptr;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    BOOL m_bCancel = FALSE;

private:
    void PumpIfDue();

    DWORD m_dwLastPump = 0;
};
