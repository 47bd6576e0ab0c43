// The system update: App Paths, the uninstall entry, shared-library counts
// and the document type, each noted for rollback.
#include "SetupMngr.h"

#include "NotBuilt.h"

BOOL CSetupMngr::UpdateSystem()
{
    return NotBuilt();
}
