#include "UninstApp.h"

#include "SelfDelete.h"
#include "Uninstaller.h"

#include "model/TrackedAlloc.h"
#include "platform/FileUtil.h"
#include "ui/InstanceMutex.h"
#include "ui/SetupLog.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

namespace {
// The one application object, constructed before the entry code runs.
CUninstApp theApp;

const char MSG_NO_LOG[] = "The log %s cannot be created.";
const char MSG_RUNNING[] = "A setup or an uninstall is running. Start the uninstall again once it has ended.";
}

// The install information's blocks are freed once its owner is gone.
CUninstApp::CUninstApp() : CWinApp(TrackedTerm) {}

BOOL CUninstApp::InitInstance()
{
    if (__argc == 5 && strcmp(__argv[1], FINISH_SWITCH) == 0) {
        CSelfDelete::Finish(__argv[2], __argv[3], __argv[4]);
        return FALSE;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    CUninstCommandLine commandLine;
    BOOL bValid = commandLine.Parse(__argc, __argv);
    m_bSilent = commandLine.m_bSilent;
    // Nobody answers a box of the system's (a drive without its disk, a
    // critical error) in a silent run: the call fails instead.
    if (m_bSilent)
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The check comes before the log: a second copy given the first's log
    // must not empty it.
    CInstanceMutex instance;
    BOOL bFirstCopy = instance.Take();
    CSetupLog log;
    if (bFirstCopy && !commandLine.m_strLog.IsEmpty()) {
        if (!log.Open(commandLine.m_strLog)) {
            CString strText;
            strText.Format(MSG_NO_LOG, static_cast<const char*>(commandLine.m_strLog));
            Refuse(strText, MB_OK | MB_ICONHAND);
            m_nExitCode = bValid ? UNINST_EXIT_NO_LOG : UNINST_EXIT_BAD_COMMAND_LINE;
            return FALSE;
        }
        g_pSetupLog = &log;
    }
    DWORD dwStart = GetTickCount();
    LogFormat("start: %s, command line: %s", static_cast<const char*>(GetModulePath()), GetCommandLineA());
    if (bValid) {
        m_nExitCode = Run(commandLine, bFirstCopy);
    } else {
        LogFormat("refused: %s", static_cast<const char*>(commandLine.m_strError));
        Refuse(commandLine.m_strError + "\r\n\r\n" + UninstUsage(), MB_OK | MB_ICONHAND);
        m_nExitCode = UNINST_EXIT_BAD_COMMAND_LINE;
    }
    LogFormat("end: exit code %d, %lu ms", m_nExitCode, static_cast<unsigned long>(GetTickCount() - dwStart));
    g_pSetupLog = nullptr;
    return FALSE;
}

// Neither a setup nor another uninstall runs beside this one, in this
// session or another.
int CUninstApp::Run(const CUninstCommandLine& commandLine, BOOL bFirstCopy)
{
    if (!bFirstCopy) {
        LogLine("refused: a setup or an uninstall is running");
        Refuse(MSG_RUNNING, MB_OK | MB_ICONSTOP);
        return UNINST_EXIT_ALREADY_RUNNING;
    }
    int nExitCode = Uninstall();
    // Run by a person, the removal ends with 0 whatever became of it, as
    // it always has; its boxes have told the outcome.
    return commandLine.m_bSilent ? nExitCode : UNINST_EXIT_SUCCESS;
}

int CUninstApp::Uninstall()
{
    CString strExe = GetModulePath();
    if (strExe.IsEmpty()) {
        LogLine("refused: the uninstaller's own path cannot be read", GetLastError());
        return UNINST_EXIT_FAILED;
    }
    return CUninstaller(strExe, m_bSilent).Run();
}

// A refusal before anything is done: a box for a person; a silent run's
// log has said why already.
void CUninstApp::Refuse(const char* pszText, UINT nType)
{
    if (!m_bSilent)
        CWinApp::DoMessageBox(pszText, nType);
}

int CUninstApp::DoMessageBox(const char* pszText, UINT nType)
{
    LogLine(CString("message: ") + pszText);
    return m_bSilent ? IDOK : CWinApp::DoMessageBox(pszText, nType);
}
