#include "WizardHost.h"

#include "framework/CWinApp.h"

CSetupMngr& GetWizardEngine()
{
    return dynamic_cast<IWizardHost&>(*AfxGetApp()).GetEngine();
}
