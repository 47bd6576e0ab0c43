// The application object: it holds the one engine for the program's lifetime.
#pragma once

#include "engine/SetupMngr.h"
#include "framework/CWinApp.h"

class CSetupApp : public CWinApp {
public:
    CSetupApp();
    BOOL InitInstance() override;
    BOOL OnCmdMsg(UINT nID) override;

    CSetupMngr m_engine;
};
