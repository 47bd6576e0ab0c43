// Saving the install information as "\Setup.inf" for the uninstaller.
#include "SetupMngr.h"

#include "NotBuilt.h"

BOOL CSetupMngr::SaveInstallInfo()
{
    return NotBuilt();
}
