// The prompt before a read-only file is replaced: overwrite, keep, or quit.
// A ticked "Don't show this message anymore" makes the answer that closed
// the prompt stand for every later read-only file of the run.
#pragma once

#include "framework/CDialog.h"
#include "framework/CString.h"
#include "model/SetupCallback.h"
#include "ui/resource.h"

class CReadOnlyDlg : public CDialog {
public:
    CReadOnlyDlg();

    // The answer for the file: SCBR_OVERWRITE, SCBR_SKIP or SCBR_QUIT.
    int Ask(const CString& strPath);

    BOOL OnInitDialog() override;
    void OnOK() override { EndDialog(SCBR_OVERWRITE); }
    void OnCancel() override;

    BEGIN_MSG_MAP(CReadOnlyDlg)
        COMMAND_ID_HANDLER(IDNO, OnNo)
        COMMAND_HANDLER(IDC_DONTSHOW, BN_CLICKED, OnDontShowClicked)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()

    CString m_strFile;
    BOOL m_bDontShow = FALSE;
    // The answer that closed the last prompt while the box was ticked.
    int m_nRememberedAnswer = 0;

private:
    void OnNo() { EndDialog(SCBR_SKIP); }
    void OnDontShowClicked();
};
