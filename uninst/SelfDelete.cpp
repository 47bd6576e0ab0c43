#include "SelfDelete.h"

#include "platform/FileUtil.h"

#include <cstdlib>

namespace {
const DWORD ORIGINAL_EXIT_WAIT_MS = 60000;
// The file of a process that has just ended can stay locked a moment.
const int DELETE_TRIES = 50;
const DWORD DELETE_RETRY_MS = 100;
}

// The copy's own file is opened to be deleted on its last close, and the
// handle is inherited: the file goes when the copy ends (or at once, when
// the copy does not start).
BOOL CSelfDelete::Start(const char* pszExe)
{
    CString strCopy = MakeTempFileName("", "exe");
    if (strCopy.IsEmpty() || !CopyFileA(pszExe, strCopy, FALSE))
        return FALSE;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE hCopy = CreateFileA(strCopy, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &sa,
                               OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (hCopy == INVALID_HANDLE_VALUE) {
        DeleteFileA(strCopy);
        return FALSE;
    }
    BOOL bStarted = StartCopy(strCopy, pszExe);
    CloseHandle(hCopy);
    return bStarted;
}

// The copy gets a handle to this process to wait on (a process id could
// be reused by the time it looks), and the temporary directory as its
// working directory, so that it holds nothing in the destination.
BOOL CSelfDelete::StartCopy(const CString& strCopy, const char* pszExe)
{
    HANDLE hSelf = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &hSelf,
                         SYNCHRONIZE, TRUE, 0))
        return FALSE;
    BOOL bStarted = StartWith(strCopy, pszExe, hSelf);
    CloseHandle(hSelf);
    return bStarted;
}

BOOL CSelfDelete::StartWith(const CString& strCopy, const char* pszExe, HANDLE hSelf)
{
    CString strCommand;
    // Handle values fit 32 bits, also in a 64-bit process.
    strCommand.Format("\"%s\" %s %lu \"%s\"", static_cast<const char*>(strCopy), FINISH_SWITCH,
                      HandleToULong(hSelf), pszExe);
    CString strWorkDir = GetDirectoryFromPath(strCopy);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(strCopy, strCommand.GetBuffer(0), nullptr, nullptr, TRUE, 0, nullptr,
                        strWorkDir, &si, &pi))
        return FALSE;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return TRUE;
}

void CSelfDelete::Finish(const char* pszProcess, const char* pszExe)
{
    HANDLE hOriginal = ULongToHandle(strtoul(pszProcess, nullptr, 10));
    WaitForSingleObject(hOriginal, ORIGINAL_EXIT_WAIT_MS);
    CloseHandle(hOriginal);
    DeleteWithRetry(pszExe);
    RemoveDirectoryA(GetDirectoryFromPath(pszExe));
}

void CSelfDelete::DeleteWithRetry(const char* pszPath)
{
    for (int i = 0; i < DELETE_TRIES; ++i) {
        if (DeleteFileA(pszPath) || GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        Sleep(DELETE_RETRY_MS);
    }
}
