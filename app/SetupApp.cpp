#include "SetupApp.h"

#include "SetupDlg.h"
#include "SetupUsage.h"
#include "SilentSetup.h"
#include "resource.h"

#include "engine/ServerEntry.h"
#include "model/TrackedAlloc.h"
#include "framework/CHandle.h"
#include "platform/FileUtil.h"
#include "ui/InstanceMutex.h"
#include "ui/SetupLog.h"

#include <commctrl.h>

namespace {
// The one application object, constructed before the entry code runs.
CSetupApp theApp;

const char MSG_NO_LOG[] = "The log %s cannot be created.";
// A silent run without /LOG logs to a new file of this title in the
// temporary directory: deployment tools seldom ask for a log, and an
// administrator asks what became of the run afterwards.
const char DEFAULT_LOG_TITLE[] = "Tilewright Setup";
// The token's elevation class: systems before it answer that they know no
// such class.
const TOKEN_INFORMATION_CLASS TOKEN_ELEVATION_CLASS = static_cast<TOKEN_INFORMATION_CLASS>(20);

CString LocalTimeText()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    CString strTime;
    strTime.Format("%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                   st.wSecond);
    return strTime;
}

CString UserText()
{
    char szUser[257] = "";
    DWORD dwSize = sizeof szUser;
    if (GetUserNameA(szUser, &dwSize))
        return szUser;
    CString strText;
    strText.Format("unknown (error %lu)", GetLastError());
    return strText;
}

CString ElevationText()
{
    CKernelHandle token;
    DWORD dwElevated = 0;
    DWORD dwSize = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
        GetTokenInformation(token, TOKEN_ELEVATION_CLASS, &dwElevated, sizeof dwElevated, &dwSize))
        return dwElevated ? "elevated" : "not elevated";
    if (GetLastError() == ERROR_INVALID_PARAMETER)
        return "no elevation on this system";
    CString strText;
    strText.Format("elevation unknown (error %lu)", GetLastError());
    return strText;
}
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
    BOOL bValid = commandLine.Parse(pszArguments);
    // Nobody answers a box of the system's (a drive without its disk, a
    // critical error) in a silent run: the call fails instead.
    if (commandLine.m_bSilent)
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (bValid && commandLine.m_bUsage) {
        if (!commandLine.m_bSilent)
            AfxMessageBox(SetupUsage(), MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    // The check comes before the log: a second copy given the first's log
    // must not empty it.
    CInstanceMutex instance;
    BOOL bFirstCopy = instance.Take();
    CSetupLog log;
    if (!OpenLog(commandLine, bFirstCopy, log) && bValid) {
        if (!commandLine.m_bSilent) {
            CString strMessage;
            strMessage.Format(MSG_NO_LOG, static_cast<const char*>(commandLine.m_strLog));
            AfxMessageBox(strMessage, MB_OK | MB_ICONHAND);
        }
        m_nExitCode = SETUP_EXIT_NO_LOG;
        return FALSE;
    }
    DWORD dwStart = GetTickCount();
    LogStart(pszArguments);
    m_nExitCode = bValid ? Run(commandLine, bFirstCopy) : RefuseCommandLine(commandLine);
    LogEnd(dwStart);
    g_pSetupLog = nullptr;
    return FALSE;
}

// The log the command line names, unless it is the first copy's; a silent
// run's own new one without it. FALSE when it cannot be made.
BOOL CSetupApp::OpenLog(const CCommandLine& commandLine, BOOL bFirstCopy, CSetupLog& log)
{
    BOOL bGiven = !commandLine.m_strLog.IsEmpty();
    if (bGiven ? !bFirstCopy : !commandLine.m_bSilent)
        return TRUE;
    if (bGiven ? !log.Open(commandLine.m_strLog) : !log.OpenNew(GetTempDirectory(), DEFAULT_LOG_TITLE))
        return FALSE;
    g_pSetupLog = &log;
    return TRUE;
}

int CSetupApp::RefuseCommandLine(const CCommandLine& commandLine)
{
    LogFormat("refused: %s", static_cast<const char*>(commandLine.m_strError));
    if (!commandLine.m_bSilent)
        AfxMessageBox(commandLine.m_strError + "\r\n\r\n" + SetupUsage(), MB_OK | MB_ICONHAND);
    return SETUP_EXIT_BAD_COMMAND_LINE;
}

int CSetupApp::Run(const CCommandLine& commandLine, BOOL bFirstCopy)
{
    m_engine.m_bNoProgramFolder = commandLine.m_bNoIcons;
    if (!commandLine.m_bSilent) {
        RunInteractive(bFirstCopy);
        return SETUP_EXIT_SUCCESS;
    }
    // A second copy changes nothing and leaves the first alone.
    if (!bFirstCopy) {
        LogLine("refused: another setup is running");
        return SETUP_EXIT_ALREADY_RUNNING;
    }
    CSilentSetup silent(m_engine, commandLine);
    m_pSilent = &silent;
    int nExitCode = silent.Run();
    m_pSilent = nullptr;
    return nExitCode;
}

void CSetupApp::RunInteractive(BOOL bFirstCopy)
{
    CSetupDlg dlg(m_engine);
    dlg.m_bMutexHeldElsewhere = !bFirstCopy;
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
    LogFormat("start: %s, version %s, %s, user %s, %s, command line: %s", szProgram, SETUP_VERSION_TEXT,
              static_cast<const char*>(LocalTimeText()), static_cast<const char*>(UserText()),
              static_cast<const char*>(ElevationText()), pszArguments);
    if (g_pSetupLog)
        LogFormat("log: %s", static_cast<const char*>(g_pSetupLog->GetPath()));
    LogFormat("medium: %s; Windows: %s; system: %s", static_cast<const char*>(GetDirectoryFromPath(szProgram)),
              szWindows, szSystem);
}

void CSetupApp::LogEnd(DWORD dwStart)
{
    LogFormat("end: exit code %d, %lu ms, %llu bytes copied, %d warnings", m_nExitCode,
              static_cast<unsigned long>(GetTickCount() - dwStart),
              static_cast<unsigned long long>(m_engine.m_ullBytesCopied), LoggedWarnings());
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
