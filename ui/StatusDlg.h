// The status box: one line of text while the shell waits for the engine.
#pragma once

#include "ModelessDlg.h"

class CStatusDlg : public CModelessDlg {
public:
    CStatusDlg();
    BOOL OnInitDialog() override;
};
