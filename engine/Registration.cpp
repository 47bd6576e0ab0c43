// Self-registration of the installed libraries: each marked file is loaded
// and its "DllRegisterServer" entry called, each in a process of its own
// under a COM initialisation of its own. A failed run asks the libraries it
// registered and then deletes to unregister, through "DllUnregisterServer".
#include "SetupMngr.h"

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

const char* Describe(DWORD dwExitCode)
{
    switch (dwExitCode) {
    case SERVER_ENTRY_NO_LIBRARY:
        return "the library cannot be loaded";
    case SERVER_ENTRY_NO_EXPORT:
        return "the library has no such entry";
    case SERVER_ENTRY_NO_COM:
        return "COM cannot be initialised";
    default:
        return "the entry failed or crashed";
    }
}
}

// The entry runs in the setup program started anew with an internal
// switch. A process still running after the time limit is ended, so that
// the library's file is free again for a rollback; it failed.
BOOL CSetupMngr::RunServerEntry(const CString& strPath, const char* pszSwitch)
{
    const char* pszEntry = ServerEntryOfSwitch(pszSwitch);
    const char* pszPath = strPath;
    CString strCommand;
    strCommand.Format("\"%s\" %s \"%s\"", static_cast<const char*>(m_strRegistrationHost), pszSwitch, pszPath);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(m_strRegistrationHost, strCommand.GetBuffer(strCommand.GetLength()), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, &si, &pi)) {
        Log("%s of %s: %s cannot be started, error %lu", pszEntry, pszPath,
            static_cast<const char*>(m_strRegistrationHost), GetLastError());
        return FALSE;
    }
    CKernelHandle process(pi.hProcess);
    CKernelHandle thread(pi.hThread);
    if (!WaitForEnd(process, m_dwRegistrationTimeout)) {
        BOOL bEnded = TerminateProcess(process, ERROR_TIMEOUT) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
        Log("%s of %s: no end within %lu ms, %s", pszEntry, pszPath, m_dwRegistrationTimeout,
            bEnded ? "ended" : "cannot be ended");
        return FALSE;
    }
    DWORD dwExitCode = SERVER_ENTRY_NO_LIBRARY;
    if (!GetExitCodeProcess(process, &dwExitCode)) {
        Log("%s of %s: no exit code, error %lu", pszEntry, pszPath, GetLastError());
        return FALSE;
    }
    if (dwExitCode != SERVER_ENTRY_DONE)
        Log("%s of %s: exit code 0x%08lX, %s", pszEntry, pszPath, dwExitCode, Describe(dwExitCode));
    return dwExitCode == SERVER_ENTRY_DONE;
}

BOOL CSetupMngr::RegisterServer(const CString& strPath)
{
    return RunServerEntry(strPath, SWITCH_REGISTER_SERVER);
}

BOOL CSetupMngr::UnregisterServer(const CString& strPath)
{
    return RunServerEntry(strPath, SWITCH_UNREGISTER_SERVER);
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
        BOOL bRegistered = RegisterServer(pFile->m_strPath);
        Log("self-registration: %s: %s", static_cast<const char*>(pFile->m_strPath),
            bRegistered ? "registered" : "failed");
        if (!bRegistered) {
            if (m_pfnCallback)
                ReportError(SCBE_DLLREGISTER, 0);
            return FALSE;
        }
        m_rollback.m_registeredFiles.AddTail(pFile);
    }
    return TRUE;
}
