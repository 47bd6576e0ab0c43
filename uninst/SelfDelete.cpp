#include "SelfDelete.h"

#include "framework/CHandle.h"
#include "platform/FileUtil.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
const char UNINSTALLER_NAME[] = "Uninst.exe";
const DWORD COMPARE_BLOCK = 65536;
const DWORD ORIGINAL_EXIT_WAIT_MS = 60000;
// The file of a process that has just ended can stay locked a moment.
const int DELETE_TRIES = 50;
const DWORD DELETE_RETRY_MS = 100;

// Opened with every sharing: the copy's own file is held for deletion by
// the original, which also still runs from its file.
HANDLE OpenToCompare(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

BOOL ReadBlock(HANDLE hFile, std::vector<BYTE>& block, DWORD& dwRead)
{
    return ReadFile(hFile, block.data(), static_cast<DWORD>(block.size()), &dwRead, nullptr);
}

BOOL HaveSameBytes(const char* pszA, const char* pszB)
{
    CFileHandle a(OpenToCompare(pszA));
    CFileHandle b(OpenToCompare(pszB));
    BOOL bSame = !a.IsEmpty() && !b.IsEmpty();
    std::vector<BYTE> blockA(COMPARE_BLOCK), blockB(COMPARE_BLOCK);
    for (DWORD dwA = 1, dwB = 1; bSame && dwA > 0;) {
        bSame = ReadBlock(a, blockA, dwA) && ReadBlock(b, blockB, dwB) && dwA == dwB
                && memcmp(blockA.data(), blockB.data(), dwA) == 0;
    }
    return bSame;
}
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
    CFileHandle copy(CreateFileA(strCopy, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &sa,
                                 OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (copy.IsEmpty()) {
        DeleteFileA(strCopy);
        return FALSE;
    }
    return StartCopy(strCopy, pszExe);
}

// The copy gets a handle to this process to wait on (a process id could
// be reused by the time it looks), and the temporary directory as its
// working directory, so that it holds nothing in the destination.
BOOL CSelfDelete::StartCopy(const CString& strCopy, const char* pszExe)
{
    CKernelHandle self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0))
        return FALSE;
    return StartWith(strCopy, pszExe, self);
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
    if (!IsOwnCopyFor(pszExe))
        return;
    HANDLE hOriginal = ULongToHandle(strtoul(pszProcess, nullptr, 10));
    WaitForSingleObject(hOriginal, ORIGINAL_EXIT_WAIT_MS);
    CloseHandle(hOriginal);
    DeleteWithRetry(pszExe);
    RemoveDirectoryA(GetDirectoryFromPath(pszExe));
}

// Anyone can start the uninstaller with the switch: it must not become a
// way to delete whatever path is named.
BOOL CSelfDelete::IsOwnCopyFor(const char* pszExe)
{
    char szSelf[MAX_PATH];
    DWORD dwSelf = GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    char szTemp[MAX_PATH];
    DWORD dwTemp = GetTempPathA(MAX_PATH, szTemp);
    if (dwSelf == 0 || dwSelf >= MAX_PATH || dwTemp == 0 || dwTemp >= MAX_PATH)
        return FALSE;
    CString strTempDir(szTemp, szTemp[dwTemp - 1] == '\\' ? static_cast<int>(dwTemp) - 1 : static_cast<int>(dwTemp));
    return GetDirectoryFromPath(szSelf).CompareNoCase(strTempDir) == 0
           && GetFileNameFromPath(pszExe).CompareNoCase(UNINSTALLER_NAME) == 0 && HaveSameBytes(szSelf, pszExe);
}

void CSelfDelete::DeleteWithRetry(const char* pszPath)
{
    for (int i = 0; i < DELETE_TRIES; ++i) {
        if (DeleteFileA(pszPath) || GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        Sleep(DELETE_RETRY_MS);
    }
}
