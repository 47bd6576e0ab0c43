// The application object: it holds the one engine for the program's lifetime.
#pragma once

#include "CommandLine.h"

#include "engine/SetupMngr.h"
#include "framework/CWinApp.h"
#include "wizard/WizardHost.h"

class CSetupLog;
class CSilentSetup;

class CSetupApp : public CWinApp, public IWizardHost {
public:
    CSetupApp();
    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }
    BOOL OnCmdMsg(UINT nID) override;
    // An unattended run shows no box: the text goes to its log.
    int DoMessageBox(const char* pszText, UINT nType) override;
    CSetupMngr& GetEngine() override { return m_engine; }

    CSetupMngr m_engine;

private:
    BOOL OpenLog(const CCommandLine& commandLine, BOOL bFirstCopy, CSetupLog& log);
    int RefuseCommandLine(const CCommandLine& commandLine);
    int Run(const CCommandLine& commandLine, BOOL bFirstCopy);
    void RunInteractive(BOOL bFirstCopy);
    void LogStart(const char* pszCommandLine);
    void LogEnd(DWORD dwStart);

    int m_nExitCode = 0;
    CSilentSetup* m_pSilent = nullptr;
};
