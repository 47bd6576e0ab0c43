// The copy phase: the destination directory, the uninstaller and every file
// of the tree from the data volumes.
#include "SetupMngr.h"

#include "NotBuilt.h"

BOOL CSetupMngr::CopyFiles()
{
    return NotBuilt();
}
