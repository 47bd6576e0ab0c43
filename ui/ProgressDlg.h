// The copy-progress dialog: the file being copied, a bar and Cancel. It pumps
// the thread's messages while the engine copies, so the windows repaint and
// Cancel is seen. A look at the queue, like a new text in the status line,
// is a round trip to the window server (under Wine several times the work
// of a small file), so looks are PUMP_INTERVAL_MS apart at the least and
// the name of the file being copied goes on the screen at the next look.
#pragma once

#include "ModelessDlg.h"

#include "framework/CString.h"

const DWORD PUMP_INTERVAL_MS = 10;

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
    // The status line's next text, shown at the next look at the queue.
    void SetPendingText(const CString& strText);
    // Puts a pending text on the screen now, before a box asks about it.
    void ShowPendingText();

    HWND m_ctlProgress = nullptr;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 10;
    BOOL m_bCancel = FALSE;

private:
    void PumpIfDue();

    DWORD m_dwLastPump = 0;
    CString m_strPendingText;
    BOOL m_bTextPending = FALSE;
};
