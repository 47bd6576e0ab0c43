// Self-registration of the installed libraries.
#include "SetupMngr.h"

#include "NotBuilt.h"

BOOL CSetupMngr::RegisterDlls()
{
    return NotBuilt();
}
