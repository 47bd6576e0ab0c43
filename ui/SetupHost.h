// What the shell's callback needs of the application's backdrop dialog.
#pragma once

#include "framework/CString.h"

class CProgressDlg;

class ISetupHost {
public:
    virtual CProgressDlg& GetProgressDlg() = 0;
    virtual int AskReadOnly(const CString& strPath) = 0;

protected:
    ~ISetupHost() = default;
};

// The one backdrop dialog; set by its constructor.
extern ISetupHost* g_pSetupDlg;
