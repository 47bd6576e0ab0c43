// The program folder with one item per marked file.
#include "SetupMngr.h"

#include "NotBuilt.h"

BOOL CSetupMngr::CreateProgramFolder()
{
    return NotBuilt();
}
