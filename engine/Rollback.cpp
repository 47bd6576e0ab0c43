// Undoing a failed run, and recognising an earlier installation.
#include "SetupMngr.h"

#include "NotBuilt.h"

void CSetupMngr::Rollback()
{
}

BOOL CSetupMngr::CheckExistingInstallation(const CString&)
{
    return NotBuilt();
}

void CSetupMngr::ClearPrevInstall()
{
    delete m_pPrevInstall;
    m_pPrevInstall = nullptr;
}
