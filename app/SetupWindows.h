// The shell's windows as the setup sequence uses them.
#pragma once

#include "framework/CString.h"

class ISetupWindows {
public:
    // Status box: created owned by the backdrop (which it disables), with a text.
    virtual void CreateStatus(const char* pszText) = 0;
    virtual void SetStatusText(const char* pszText) = 0;
    virtual void DestroyStatus() = 0;
    virtual void SetIcons() = 0;
    // Gives the backdrop its caption and shows it maximized, painted at once.
    virtual void ShowBackdrop(const CString& strCaption) = 0;
    virtual INT_PTR RunWizard() = 0;
    virtual void RepaintBackdrop() = 0;
    virtual void CreateProgress() = 0;
    virtual void DestroyProgress() = 0;
    virtual int ShowMessage(const char* pszText, UINT nStyle) = 0;
    // While the system is changed a logoff or shutdown is refused, the
    // reason naming the run's title; ending the process midway would strand
    // the machine half installed. Accepting again keeps the last-error
    // value, which a failed rollback leaves for its message.
    virtual void RefuseSessionEnd(const CString& strTitle) = 0;
    virtual void AcceptSessionEnd() = 0;

protected:
    ~ISetupWindows() = default;
};
