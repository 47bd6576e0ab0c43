// The install engine: the install information plus the working state of a
// run, and the phases the setup sequence calls in their fixed order. Each
// operation returns a BOOL and leaves the reason for a failure in the
// thread's last-error value (a setup error code or the system's own).
#pragma once

#include "RollbackInfo.h"
#include "SetupErrors.h"

#include "model/InstallMngr.h"

class CSetupMngr : public CInstallMngr {
public:
    CSetupMngr() = default;
    ~CSetupMngr() override;

    BOOL LoadInstallInfo(SETUPCALLBACK pfnCallback);
    BOOL CopyFiles();
    BOOL UpdateSystem();
    BOOL RegisterDlls();
    BOOL CreateProgramFolder();
    BOOL SaveInstallInfo();
    void Rollback();

    // Asked by the destination page.
    BOOL CheckExistingInstallation(const CString& strDir);
    BOOL FreeSpaceCur(DWORD& dwFreeBytes);
    BOOL EnoughSpace();

    RollbackInfo m_rollback;
    BOOL m_bExtKeyWritten = FALSE;
    BOOL m_bExtKeyExisted = FALSE;
    BOOL m_bDocTypeWritten = FALSE;
    BOOL m_bDocTypeExisted = FALSE;
    ATOM m_atomApp = 0;
    ATOM m_atomSystem = 0;
    CSetupMngr* m_pPrevInstall = nullptr;

private:
    BOOL ReadSetupData();
};
