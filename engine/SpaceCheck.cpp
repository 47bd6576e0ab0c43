// Free space on the destination and Windows drives.
#include "SetupMngr.h"

#include "NotBuilt.h"

BOOL CSetupMngr::FreeSpaceCur(DWORD&)
{
    return NotBuilt();
}

BOOL CSetupMngr::EnoughSpace()
{
    return NotBuilt();
}
