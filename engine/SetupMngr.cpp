#include "SetupMngr.h"

namespace {
// The phases that are still to be written answer with a plain platform code.
BOOL NotBuilt()
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
}

CSetupMngr::~CSetupMngr()
{
    if (m_atomApp)
        GlobalDeleteAtom(m_atomApp);
    if (m_atomSystem)
        GlobalDeleteAtom(m_atomSystem);
    delete m_pPrevInstall;
}

BOOL CSetupMngr::CopyFiles()
{
    return NotBuilt();
}

BOOL CSetupMngr::UpdateSystem()
{
    return NotBuilt();
}

BOOL CSetupMngr::RegisterDlls()
{
    return NotBuilt();
}

BOOL CSetupMngr::CreateProgramFolder()
{
    return NotBuilt();
}

BOOL CSetupMngr::SaveInstallInfo()
{
    return NotBuilt();
}

void CSetupMngr::Rollback()
{
}

BOOL CSetupMngr::CheckExistingInstallation(const CString&)
{
    return NotBuilt();
}

BOOL CSetupMngr::FreeSpaceCur(DWORD&)
{
    return NotBuilt();
}

BOOL CSetupMngr::EnoughSpace()
{
    return NotBuilt();
}
