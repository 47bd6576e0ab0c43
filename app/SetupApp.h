// The application object: it holds the one engine for the program's lifetime.
#pragma once

#include "engine/SetupMngr.h"
#include "framework/CWinApp.h"
#include "wizard/WizardHost.h"

class CSetupApp : public CWinApp, public IWizardHost {
public:
    CSetupApp();
    BOOL InitInstance() override;
    BOOL OnCmdMsg(UINT nID) override;
    CSetupMngr& GetEngine() override { return m_engine; }

    CSetupMngr m_engine;
};
