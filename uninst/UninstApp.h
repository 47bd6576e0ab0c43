// The application object of Uninst.exe. Started without arguments it
// uninstalls after asking; with /S it asks nothing, shows nothing and ends
// with an exit code; with /LOG it writes what it did. Started by itself
// with the finish switch, it is the copy that removes the original's file
// at the end.
#pragma once

#include "UninstCommandLine.h"

#include "framework/CWinApp.h"

class CUninstApp : public CWinApp {
public:
    CUninstApp();
    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }
    // A silent run shows no box: the text goes to its log.
    int DoMessageBox(const char* pszText, UINT nType) override;

private:
    int Run(const CUninstCommandLine& commandLine, BOOL bFirstCopy);
    int Uninstall();
    void Refuse(const char* pszText, UINT nType);

    int m_nExitCode = UNINST_EXIT_SUCCESS;
    BOOL m_bSilent = FALSE;
};
