// Self-registration of the installed libraries: each marked file is loaded
// and its "DllRegisterServer" entry called, each in a process of its own
// under a COM initialisation of its own, with what it writes to the
// registry captured in a scratch key (RegistryCapture.h). The setup
// applies that itself and journals each change, so that undoing a failed
// run, or one that ended midway, takes back exactly what the registrations
// changed.
#include "SetupMngr.h"

#include "RegistryCapture.h"
#include "ServerEntry.h"

#include "framework/CHandle.h"
#include "platform/FileUtil.h"

namespace {
// A file with only FILE_REGISTER_ABSENT is registered when it is not there,
// which the copy phase never leaves; such a load fails and is reported.
BOOL WantsRegistration(DWORD dwFlags, BOOL bAbsent)
{
    return (dwFlags & FILE_REGISTER) || ((dwFlags & FILE_REGISTER_ABSENT) && bAbsent);
}

// Messages other programs send to the setup's windows are answered while
// it waits, as they were when the library ran in the setup itself: a
// library that broadcasts to every window would otherwise wait for the
// setup as long as the setup waits for it.
BOOL WaitForEnd(HANDLE hProcess, DWORD dwTimeout)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeout)
            return FALSE;
        DWORD dwWait = MsgWaitForMultipleObjects(1, &hProcess, FALSE, dwTimeout - dwElapsed, QS_SENDMESSAGE);
        if (dwWait == WAIT_OBJECT_0)
            return TRUE;
        if (dwWait != WAIT_OBJECT_0 + 1)
            return FALSE;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// The library's process ends with the setup's, whatever ends the setup: a
// setup ended midway must not leave it changing the machine after the next
// start has undone the run, nor holding the setup's own file. Null with the
// system's code when the job cannot be made.
HANDLE MakeKillOnCloseJob()
{
    CKernelHandle job(CreateJobObjectA(nullptr, nullptr));
    if (job.IsEmpty())
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return nullptr;
    return job.Detach();
}

const char* Describe(DWORD dwExitCode)
{
    switch (dwExitCode) {
    case SERVER_ENTRY_NO_LIBRARY:
        return "the library cannot be loaded";
    case SERVER_ENTRY_NO_EXPORT:
        return "the library has no such entry";
    case SERVER_ENTRY_NO_COM:
        return "COM cannot be initialised";
    case SERVER_ENTRY_NO_SCRATCH:
        return "the scratch key cannot be used";
    default:
        return "the entry failed or crashed";
    }
}
}

// The entry runs in the setup program started anew with an internal
// switch. A process still running after the time limit is ended, so that
// the library's file is free again for a rollback; it failed.
BOOL CSetupMngr::RunServerEntry(const CString& strPath, const CString& strScratchName)
{
    const char* pszPath = strPath;
    CString strCommand;
    strCommand.Format("\"%s\" %s \"%s\" \"%s\"", static_cast<const char*>(m_strRegistrationHost),
                      SWITCH_REGISTER_SERVER, pszPath, static_cast<const char*>(strScratchName));
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CKernelHandle job(MakeKillOnCloseJob());
    if (!CreateProcessA(m_strRegistrationHost, strCommand.GetBuffer(strCommand.GetLength()), nullptr, nullptr,
                        FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
        Log("DllRegisterServer of %s: %s cannot be started, error %lu", pszPath,
            static_cast<const char*>(m_strRegistrationHost), GetLastError());
        return FALSE;
    }
    CKernelHandle process(pi.hProcess);
    CKernelHandle thread(pi.hThread);
    // Where jobs do not nest (a setup run by a tool that put it in a job of
    // its own, before Windows 8) the entry runs without one.
    if (job.IsEmpty() || !AssignProcessToJobObject(job, process))
        Log("DllRegisterServer of %s: runs without a job of its own, error %lu", pszPath, GetLastError());
    if (ResumeThread(thread) == static_cast<DWORD>(-1)) {
        Log("DllRegisterServer of %s: cannot be started, error %lu", pszPath, GetLastError());
        TerminateProcess(process, ERROR_CANCELLED);
        return FALSE;
    }
    if (!WaitForEnd(process, m_dwRegistrationTimeout)) {
        BOOL bEnded = TerminateProcess(process, ERROR_TIMEOUT) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
        Log("DllRegisterServer of %s: no end within %lu ms, %s", pszPath, m_dwRegistrationTimeout,
            bEnded ? "ended" : "cannot be ended");
        return FALSE;
    }
    DWORD dwExitCode = SERVER_ENTRY_NO_LIBRARY;
    if (!GetExitCodeProcess(process, &dwExitCode)) {
        Log("DllRegisterServer of %s: no exit code, error %lu", pszPath, GetLastError());
        return FALSE;
    }
    if (dwExitCode != SERVER_ENTRY_DONE)
        Log("DllRegisterServer of %s: exit code 0x%08lX, %s", pszPath, dwExitCode, Describe(dwExitCode));
    return dwExitCode == SERVER_ENTRY_DONE;
}

// The scratch key goes whatever became of the registration. What the entry
// wrote is applied only when it succeeded; a failure while applying leaves
// the records of what was changed for the rollback.
BOOL CSetupMngr::RegisterServer(const CString& strPath, CAppliedCount& applied)
{
    const char* pszPath = strPath;
    CScratchKey scratch;
    if (scratch.Create() != ERROR_SUCCESS) {
        Log("DllRegisterServer of %s: no scratch key, error %lu", pszPath, GetLastError());
        return FALSE;
    }
    CString strScratchName = scratch.GetFullName();
    BOOL bRegistered = RunServerEntry(strPath, strScratchName);
    if (bRegistered && scratch.Apply(strPath, m_journal, applied) != ERROR_SUCCESS) {
        Log("DllRegisterServer of %s: what it wrote cannot be applied, error %lu", pszPath, GetLastError());
        bRegistered = FALSE;
    }
    if (scratch.Delete() != ERROR_SUCCESS)
        Log("warning: DllRegisterServer of %s: the scratch key %s cannot be deleted, error %lu", pszPath,
            static_cast<const char*>(strScratchName), GetLastError());
    return bRegistered;
}

BOOL CSetupMngr::RegisterDlls()
{
    CObject* pItem;
    for (int n = GetFirstItem(pItem); n != ITEM_END; n = GetNextItem(pItem)) {
        if (n != ITEM_FILE)
            continue;
        CInstalledFile* pFile = static_cast<CInstalledFile*>(pItem);
        DWORD dwExists = CheckFileExists(pFile->m_strPath);
        if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND)
            return FALSE;
        if (!WantsRegistration(pFile->m_dwFlags, dwExists == ERROR_FILE_NOT_FOUND))
            continue;
        CAppliedCount applied;
        BOOL bRegistered = RegisterServer(pFile->m_strPath, applied);
        const char* pszPath = pFile->m_strPath;
        if (!bRegistered) {
            Log("warning: self-registration: %s: failed", pszPath);
            if (m_pfnCallback)
                ReportError(SCBE_DLLREGISTER, 0);
            return FALSE;
        }
        Log("self-registration: %s: registered, %lu keys created and %lu values written", pszPath,
            applied.m_dwKeys, applied.m_dwValues);
    }
    return TRUE;
}
