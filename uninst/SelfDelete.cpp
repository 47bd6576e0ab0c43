#include "SelfDelete.h"

#include "framework/CHandle.h"
#include "platform/FileUtil.h"
#include "platform/SecurityDescriptor.h"

#include <ntsecapi.h>

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
const char COPY_DIR_PREFIX[] = "Uninst-";
const int COPY_DIR_RANDOM_BYTES = 8;
// A name of 64 random bits is taken only by chance or by one who tries
// names without end: a few tries tell the two apart.
const int COPY_DIR_TRIES = 5;

BOOL MakeRandomName(CString& strName)
{
    BYTE random[COPY_DIR_RANDOM_BYTES];
    if (!RtlGenRandom(random, sizeof random))
        return FALSE;
    strName = COPY_DIR_PREFIX;
    for (BYTE b : random) {
        CString strByte;
        strByte.Format("%02x", b);
        strName += strByte;
    }
    return TRUE;
}

// Opened to be deleted on its last close, and inherited.
HANDLE OpenForDeletion(const char* pszPath)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(pszPath, GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &sa, OPEN_EXISTING,
                       FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// SetFileInformationByHandle's rename request, which the system's headers
// declare only for the systems from Windows Vista on; before those the
// call is missing.
typedef BOOL(WINAPI* PFNSETFILEINFORMATIONBYHANDLE)(HANDLE, int, void*, DWORD);
const int FILE_RENAME_INFO_CLASS = 3;
struct CRenameInfo {
    DWORD dwReplaceIfExists;
    HANDLE hRootDirectory;
    DWORD cbFileName;
    WCHAR szFileName[MAX_PATH];
};

BOOL RenameByHandle(HANDLE hFile, const char* pszNewPath)
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    PFNSETFILEINFORMATIONBYHANDLE pfnSetInformation =
        hKernel ? reinterpret_cast<PFNSETFILEINFORMATIONBYHANDLE>(
                      reinterpret_cast<void (*)()>(GetProcAddress(hKernel, "SetFileInformationByHandle")))
                : nullptr;
    CRenameInfo info = {};
    int nChars = MultiByteToWideChar(CP_ACP, 0, pszNewPath, -1, info.szFileName, MAX_PATH);
    if (!pfnSetInformation || nChars == 0)
        return FALSE;
    info.cbFileName = static_cast<DWORD>((nChars - 1) * sizeof(WCHAR));
    return pfnSetInformation(hFile, FILE_RENAME_INFO_CLASS, &info, sizeof info);
}

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

// The temporary directory is open to every user, who could put a program
// of their own where the copy is to be started, or swap the copy before it
// starts. The copy is therefore made new in a directory that this run
// creates under a name nobody can guess and that only this user and the
// administrators may enter.
// The copy's file is opened to be deleted on its last close, and the
// handle is inherited: the file goes when the copy ends (or at once, when
// the copy does not start).
BOOL CSelfDelete::Start(const char* pszExe)
{
    CString strDir = MakePrivateDirectory();
    if (strDir.IsEmpty())
        return FALSE;
    CString strCopy = strDir + "\\" + UNINSTALLER_NAME;
    CFileHandle copy;
    if (CopyFileA(pszExe, strCopy, TRUE))
        copy.Attach(OpenForDeletion(strCopy));
    if (!copy.IsEmpty() && StartCopy(strCopy, pszExe, copy))
        return TRUE;
    copy.Close();
    DeleteFileA(strCopy);
    RemoveDirectoryA(strDir);
    return FALSE;
}

// A directory that exists already is someone else's: another name is
// tried.
CString CSelfDelete::MakePrivateDirectory()
{
    CString strTemp = GetTempDirectory();
    CSecurityDescriptor access;
    if (strTemp.IsEmpty() || !access.ForCurrentUserAndAdmins())
        return CString();
    for (int i = 0; i < COPY_DIR_TRIES; ++i) {
        CString strName;
        if (!MakeRandomName(strName))
            return CString();
        CString strDir = strTemp + "\\" + strName;
        if (CreateDirectoryA(strDir, access.Attributes()))
            return strDir;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return CString();
    }
    return CString();
}

// The copy gets a handle to this process to wait on (a process id could
// be reused by the time it looks), and the temporary directory as its
// working directory, so that it holds neither the destination nor its own
// directory.
BOOL CSelfDelete::StartCopy(const CString& strCopy, const char* pszExe, HANDLE hCopy)
{
    CKernelHandle self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0))
        return FALSE;
    return StartWith(strCopy, pszExe, self, hCopy);
}

BOOL CSelfDelete::StartWith(const CString& strCopy, const char* pszExe, HANDLE hSelf, HANDLE hCopy)
{
    CString strCommand;
    // Handle values fit 32 bits, also in a 64-bit process.
    strCommand.Format("\"%s\" %s %lu %lu \"%s\"", static_cast<const char*>(strCopy), FINISH_SWITCH,
                      HandleToULong(hSelf), HandleToULong(hCopy), pszExe);
    CString strWorkDir = GetDirectoryFromPath(GetDirectoryFromPath(strCopy));
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

void CSelfDelete::Finish(const char* pszProcess, const char* pszCopy, const char* pszExe)
{
    if (!IsOwnCopyFor(pszExe))
        return;
    HANDLE hOriginal = ULongToHandle(strtoul(pszProcess, nullptr, 10));
    WaitForSingleObject(hOriginal, ORIGINAL_EXIT_WAIT_MS);
    CloseHandle(hOriginal);
    DeleteWithRetry(pszExe);
    RemoveDirectoryA(GetDirectoryFromPath(pszExe));
    LeaveOwnDirectory(ULongToHandle(strtoul(pszCopy, nullptr, 10)));
}

// The copy's file cannot go while it runs, nor its directory while the
// file is in it. The file moves out beside the directory through the
// handle that deletes it on its last close (Wine deletes by the name that
// handle knows, so a move by name would leave the file behind), and the
// directory goes at once. Should that fail, the directory goes at the
// system's next start, when the file has gone.
void CSelfDelete::LeaveOwnDirectory(HANDLE hCopy)
{
    CString strDir = GetDirectoryFromPath(GetModulePath());
    if (!RenameByHandle(hCopy, strDir + ".tmp") || !RemoveDirectoryA(strDir))
        MoveFileExA(strDir, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Anyone can start the uninstaller with the switch: it must not become a
// way to delete whatever path is named.
BOOL CSelfDelete::IsOwnCopyFor(const char* pszExe)
{
    CString strSelf = GetModulePath();
    CString strTempDir = GetTempDirectory();
    if (strSelf.IsEmpty() || strTempDir.IsEmpty())
        return FALSE;
    CString strSelfDir = GetDirectoryFromPath(strSelf);
    return GetDirectoryFromPath(strSelfDir).CompareNoCase(strTempDir) == 0
           && GetFileNameFromPath(strSelfDir).Left(static_cast<int>(sizeof COPY_DIR_PREFIX) - 1)
                      .CompareNoCase(COPY_DIR_PREFIX) == 0
           && GetFileNameFromPath(pszExe).CompareNoCase(UNINSTALLER_NAME) == 0 && HaveSameBytes(strSelf, pszExe);
}

void CSelfDelete::DeleteWithRetry(const char* pszPath)
{
    for (int i = 0; i < DELETE_TRIES; ++i) {
        if (DeleteFileA(pszPath) || GetLastError() == ERROR_FILE_NOT_FOUND)
            return;
        Sleep(DELETE_RETRY_MS);
    }
}
