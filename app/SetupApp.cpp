#include "SetupApp.h"

#include "SetupDlg.h"
#include "SetupUsage.h"
#include "SilentSetup.h"
#include "resource.h"

#include "engine/ServerEntry.h"
#include "model/TrackedAlloc.h"
#include "platform/FileUtil.h"
#include "ui/SetupLog.h"

#include <commctrl.h>

namespace {
// The one application object, constructed before the entry code runs.
CSetupApp theApp;

const char MSG_NO_LOG[] = "The log %s cannot be created.";
}

// The tracked blocks are freed by the framework's part of the application
// object, once the engine that holds some of them is gone.
CSetupApp::CSetupApp() : CWinApp(TrackedTerm) {}

// Without arguments the run is the interactive one, ending with 0 whatever
// became of it; the command line adds the unattended run, a log and the
// exit codes deployment tools read.
BOOL CSetupApp::InitInstance()
{
    const char* pszArguments = SkipProgramName(GetCommandLineA());
    CString strLibrary;
    CString strScratchName;
    // Started by the engine to run one library's registration entry: no
    // window, no log, no single-instance check, only the exit code.
    if (ParseServerCall(pszArguments, strLibrary, strScratchName)) {
        m_nExitCode = static_cast<int>(CallServerEntry(strLibrary, strScratchName));
        return FALSE;
    }
    // The engine runs each registration in this program, started anew.
    char szProgram[MAX_PATH];
    DWORD dwLength = GetModuleFileNameA(nullptr, szProgram, MAX_PATH);
    if (dwLength > 0 && dwLength < MAX_PATH)
        m_engine.m_strRegistrationHost = szProgram;
    m_engine.m_strJournalPath = GetJournalPath();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    CCommandLine commandLine;
    if (!commandLine.Parse(pszArguments)) {
        if (!commandLine.m_bSilent)
            AfxMessageBox(commandLine.m_strError + "\r\n\r\n" + SetupUsage(), MB_OK | MB_ICONHAND);
        m_nExitCode = SETUP_EXIT_BAD_COMMAND_LINE;
        return FALSE;
    }
    if (commandLine.m_bUsage) {
        AfxMessageBox(SetupUsage(), MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    CSetupLog log;
    if (!commandLine.m_strLog.IsEmpty()) {
        if (!log.Open(commandLine.m_strLog)) {
            CString strMessage;
            strMessage.Format(MSG_NO_LOG, static_cast<const char*>(commandLine.m_strLog));
            if (!commandLine.m_bSilent)
                AfxMessageBox(strMessage, MB_OK | MB_ICONHAND);
            m_nExitCode = SETUP_EXIT_BAD_COMMAND_LINE;
            return FALSE;
        }
        g_pSetupLog = &log;
    }
    DWORD dwStart = GetTickCount();
    LogStart(pszArguments);
    m_nExitCode = Run(commandLine);
    LogEnd(dwStart);
    g_pSetupLog = nullptr;
    return FALSE;
}

int CSetupApp::Run(const CCommandLine& commandLine)
{
    m_engine.m_bNoProgramFolder = commandLine.m_bNoIcons;
    if (!commandLine.m_bSilent) {
        RunInteractive();
        return SETUP_EXIT_SUCCESS;
    }
    CSilentSetup silent(m_engine, commandLine);
    m_pSilent = &silent;
    int nExitCode = silent.Run();
    m_pSilent = nullptr;
    return nExitCode;
}

void CSetupApp::RunInteractive()
{
    CSetupDlg dlg(m_engine);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
}

void CSetupApp::LogStart(const char* pszArguments)
{
    char szProgram[MAX_PATH] = "";
    char szWindows[MAX_PATH] = "";
    char szSystem[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, szProgram, MAX_PATH);
    GetWindowsDirectoryA(szWindows, MAX_PATH);
    GetSystemDirectoryA(szSystem, MAX_PATH);
    LogFormat("start: %s, version %s, command line: %s", szProgram, SETUP_VERSION_TEXT, pszArguments);
    LogFormat("medium: %s; Windows: %s; system: %s", static_cast<const char*>(GetDirectoryFromPath(szProgram)),
              szWindows, szSystem);
}

void CSetupApp::LogEnd(DWORD dwStart)
{
    LogFormat("end: exit code %d, %lu ms, %llu bytes copied", m_nExitCode,
              static_cast<unsigned long>(GetTickCount() - dwStart),
              static_cast<unsigned long long>(m_engine.m_ullBytesCopied));
}

BOOL CSetupApp::OnCmdMsg(UINT nID)
{
    if (nID == ID_HELP) {
        OnHelp();
        return TRUE;
    }
    return FALSE;
}

int CSetupApp::DoMessageBox(const char* pszText, UINT nType)
{
    if (!m_pSilent) {
        // An error box is shown for the failure that left the last-error value.
        CString strLine = CString("message: ") + pszText;
        if ((nType & MB_ICONMASK) == MB_ICONHAND && GetLastError() != ERROR_SUCCESS)
            LogLine(strLine, GetLastError());
        else
            LogLine(strLine);
        return CWinApp::DoMessageBox(pszText, nType);
    }
    m_pSilent->NoteMessage(pszText, GetLastError());
    return IDOK;
}
