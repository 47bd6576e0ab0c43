// What the wizard needs of the application object: the one engine whose
// fields the pages read and set.
#pragma once

#include "engine/SetupMngr.h"

class IWizardHost {
public:
    virtual CSetupMngr& GetEngine() = 0;

protected:
    ~IWizardHost() = default;
};

// The engine of the running application object; throws std::bad_cast when
// the application object is not a wizard host.
CSetupMngr& GetWizardEngine();
