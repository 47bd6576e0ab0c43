// An installation without any window or question, for deployment tools: the
// setup sequence runs with windows that show nothing, the destination and
// the program folder come from the command line (or are the proposed ones),
// checked by the rules the wizard keeps too, every question gets its fixed answer,
// and the outcome is an exit code.
#pragma once

#include "CommandLine.h"
#include "SetupUsage.h"
#include "SetupWindows.h"

#include "engine/SetupMngr.h"
#include "ui/EndSessionGuard.h"
#include "ui/SessionWnd.h"

class CSilentSetup : public ISetupWindows {
public:
    CSilentSetup(CSetupMngr& engine, const CCommandLine& commandLine);
    CSilentSetup(const CSilentSetup&) = delete;
    CSilentSetup& operator=(const CSilentSetup&) = delete;
    ~CSilentSetup();

    // The whole run; the exit code.
    int Run();
    // A message the user would have seen: what it says goes to the log, and
    // the system's code it was shown for may tell the exit code.
    void NoteMessage(const char* pszText, DWORD dwError);
    // Why the run failed, when the system's code tells it (a file denied,
    // in use, a disk full); the first reason noted stays.
    void NoteReason(DWORD dwReason);
    // The answer to the engine's request for the next disk.
    int FindDisk(WORD wDisk);
    // Between the engine's reports the run answers the system's messages.
    void PumpMessages() { m_wndSession.PumpIfDue(); }

private:
    void CreateStatus(const char* pszText) override;
    void SetStatusText(const char* pszText) override;
    void DestroyStatus() override {}
    void SetIcons() override {}
    void ShowBackdrop(const CString&) override {}
    INT_PTR RunWizard() override;
    void RepaintBackdrop() override {}
    void CreateProgress() override {}
    void DestroyProgress() override {}
    int ShowMessage(const char* pszText, UINT nStyle) override;
    void RefuseSessionEnd(const CString& strTitle) override;
    void AcceptSessionEnd() override;

    int ChooseDestination();
    int ChooseFolder();
    int ExitCode(const CString& strFinalMessage) const;

    CSetupMngr& m_engine;
    const CCommandLine& m_commandLine;
    CString m_strMediumDir;
    int m_nRefusal = SETUP_EXIT_SUCCESS;
    DWORD m_dwReason = 0;
    WORD m_wDiskSought = 0;
    int m_nDiskTries = 0;
    // Declared before the guard, so that the guard goes first.
    CSessionWnd m_wndSession;
    CEndSessionGuard m_endSession;
};

// The engine callback of an unattended run.
int __cdecl SilentCallback(int nType, INT_PTR nArg, INT_PTR pArg);
