// A modeless box that makes its owner behave as under a modal dialog: the
// owner is disabled while the box exists and enabled again when it goes.
#pragma once

#include "framework/CDialog.h"

class CModelessDlg : public CDialog {
public:
    explicit CModelessDlg(UINT nIDTemplate) : CDialog(nIDTemplate) {}
    ~CModelessDlg() override;

    BOOL Create(HWND hOwner);
    BOOL DestroyWindow() override;
    // Sets the text line; does nothing while the window does not exist.
    void SetText(const char* pszText);
    // A modeless box is never ended by Enter or Esc.
    void OnOK() override {}
    void OnCancel() override {}

    BOOL m_bParentDisabled = FALSE;

private:
    void EnableOwner();

    HWND m_hWndDisabled = nullptr;
};
