#include "FileUtil.h"

#include "framework/CHandle.h"

#include <cctype>
#include <climits>
#include <cstring>

namespace {
const char TEMP_NAME_PREFIX[] = "Fil";
const DWORD PATH_MAX_CHARS = 260;

// Index of the last backslash from the second-to-last character back to
// index 2, or -1: a trailing backslash and the drive part are never taken.
int LastSeparator(const char* pszPath)
{
    int n = static_cast<int>(strlen(pszPath));
    for (int i = n - 2; i >= 2; --i)
        if (pszPath[i] == '\\')
            return i;
    return -1;
}

// ASCII classification, independent of any locale and safe for bytes
// above 127 (which are neither letters nor digits here).
bool IsAsciiLetter(char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool IsAsciiLetterOrDigit(char ch)
{
    return IsAsciiLetter(ch) || (ch >= '0' && ch <= '9');
}

CString DriveRoot(BYTE nDrive)
{
    char szRoot[] = "A:\\";
    szRoot[0] = static_cast<char>(nDrive + 64);
    return CString(szRoot);
}

bool IsListedType(UINT nType, const DWORD* pTypes)
{
    for (DWORD i = 0; i < pTypes[0]; ++i)
        if (pTypes[i + 1] == nType)
            return true;
    return false;
}

// One character from index 2 on of a destination path: see
// IsValidDestinationPath.
bool IsValidPathChar(const char* pszPath, int i, int nLength)
{
    char ch = pszPath[i];
    if (IsAsciiLetterOrDigit(ch) || ch == '_')
        return true;
    if (ch == '\\')
        return i + 1 < nLength && IsAsciiLetterOrDigit(pszPath[i + 1]);
    if (ch == ' ')
        return IsAsciiLetterOrDigit(pszPath[i - 1]);
    return false;
}
}

// Systems before the extended call know only the cluster counts, whose
// product is taken in 64 bits as well.
BOOL GetDriveFreeSpace(BYTE nDrive, ULONGLONG& ullFreeBytes)
{
    typedef BOOL(WINAPI * FREESPACEEXPROC)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    CString strRoot = DriveRoot(nDrive);
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    FREESPACEEXPROC pfnFreeSpaceEx =
        hKernel ? reinterpret_cast<FREESPACEEXPROC>(
                      reinterpret_cast<void (*)()>(GetProcAddress(hKernel, "GetDiskFreeSpaceExA")))
                : nullptr;
    if (pfnFreeSpaceEx) {
        ULARGE_INTEGER available;
        ULARGE_INTEGER total;
        if (!pfnFreeSpaceEx(strRoot, &available, &total, nullptr))
            return FALSE;
        ullFreeBytes = available.QuadPart;
        return TRUE;
    }
    DWORD dwSectorsPerCluster = 0;
    DWORD dwBytesPerSector = 0;
    DWORD dwFreeClusters = 0;
    DWORD dwTotalClusters = 0;
    if (!GetDiskFreeSpaceA(strRoot, &dwSectorsPerCluster, &dwBytesPerSector, &dwFreeClusters, &dwTotalClusters))
        return FALSE;
    ullFreeBytes = static_cast<ULONGLONG>(dwFreeClusters) * dwBytesPerSector * dwSectorsPerCluster;
    return TRUE;
}

BOOL GetDrivesOfTypes(const DWORD* pTypes, BOOL bIncludeFloppies, CByteArray& drives)
{
    drives.RemoveAll();
    for (BYTE nDrive = bIncludeFloppies ? 1 : 3; nDrive <= 26; ++nDrive)
        if (IsListedType(GetDriveTypeA(DriveRoot(nDrive)), pTypes))
            drives.Add(nDrive);
    return !drives.IsEmpty();
}

BYTE DriveLetterToNumber(char chLetter)
{
    return static_cast<BYTE>(toupper(static_cast<unsigned char>(chLetter)) - 64);
}

// A path without wildcards needs no search: its attributes are one look,
// where a search opens, reads and closes the directory.
DWORD CheckFileExists(const char* pszPath)
{
    if (!strpbrk(pszPath, "*?")) {
        if (GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES)
            return ERROR_SUCCESS;
        return GetLastError();
    }
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA(pszPath, &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return GetLastError();
    FindClose(hFind);
    return ERROR_SUCCESS;
}

DWORD CheckDirectoryExists(const char* pszPath)
{
    DWORD dwResult = CheckFileExists(CString(pszPath) + "\\*.*");
    if (dwResult == ERROR_FILE_NOT_FOUND) {
        dwResult = ERROR_PATH_NOT_FOUND;
        SetLastError(dwResult);
    }
    return dwResult;
}

BOOL CreateDirectoryPath(const char* pszPath)
{
    CStringArray created;
    return CreateDirectoryPath(pszPath, created);
}

BOOL CreateDirectoryPath(const char* pszPath, CStringArray& created, SECURITY_ATTRIBUTES* pTopSecurity)
{
    if (CreateDirectoryA(pszPath, pTopSecurity)) {
        created.Add(pszPath);
        return TRUE;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return TRUE;
    if (GetLastError() != ERROR_PATH_NOT_FOUND)
        return FALSE;

    CString strPath(pszPath);
    SECURITY_ATTRIBUTES* pSecurity = pTopSecurity;
    for (int n = 1;; ++n) {
        CString strPrefix = GetPathPrefix(pszPath, n);
        DWORD dwResult = CheckDirectoryExists(strPrefix);
        if (dwResult == ERROR_PATH_NOT_FOUND) {
            if (!CreateDirectoryA(strPrefix, pSecurity))
                return FALSE;
            created.Add(strPrefix);
            pSecurity = nullptr;
        } else if (dwResult != ERROR_SUCCESS) {
            return FALSE;
        }
        if (strPrefix == strPath)
            return TRUE;
    }
}

CString GetPathPrefix(const char* pszPath, int nSeparator)
{
    int nCounted = 0;
    for (int i = 0; pszPath[i]; ++i) {
        if (pszPath[i] != '\\')
            continue;
        if (nCounted == nSeparator)
            return CString(pszPath, i);
        ++nCounted;
    }
    return CString(pszPath);
}

CString GetFileNameFromPath(const char* pszPath)
{
    int i = LastSeparator(pszPath);
    return i < 0 ? CString(pszPath) : CString(pszPath + i + 1);
}

CString GetFileTitleFromPath(const char* pszPath)
{
    CString name = GetFileNameFromPath(pszPath);
    for (int i = name.GetLength() - 2; i >= 1; --i)
        if (name[i] == '.')
            return name.Left(i);
    return name;
}

CString GetDirectoryFromPath(const char* pszPath)
{
    int i = LastSeparator(pszPath);
    return i < 0 ? CString() : CString(pszPath, i);
}

BOOL IsValidDestinationPath(const char* pszPath)
{
    size_t nLength = strlen(pszPath);
    if (nLength < 2 || nLength > PATH_MAX_CHARS)
        return FALSE;
    if (strpbrk(pszPath, "#%;/"))
        return FALSE;
    if (!IsAsciiLetter(pszPath[0]) || pszPath[1] != ':')
        return FALSE;
    if (nLength == 2)
        return TRUE;
    if (pszPath[2] != '\\')
        return FALSE;
    for (int i = 2; i < static_cast<int>(nLength); ++i)
        if (!IsValidPathChar(pszPath, i, static_cast<int>(nLength)))
            return FALSE;
    return TRUE;
}

CString GetTempDirectory()
{
    char szTemp[PATH_MAX_CHARS];
    DWORD dwLength = GetTempPathA(PATH_MAX_CHARS, szTemp);
    if (dwLength == 0 || dwLength >= PATH_MAX_CHARS)
        return CString();
    if (szTemp[dwLength - 1] == '\\')
        szTemp[dwLength - 1] = '\0';
    return szTemp;
}

CString GetModulePath()
{
    char szPath[PATH_MAX_CHARS];
    DWORD dwLength = GetModuleFileNameA(nullptr, szPath, PATH_MAX_CHARS);
    return dwLength > 0 && dwLength < PATH_MAX_CHARS ? CString(szPath) : CString();
}

CString GetFullPath(const char* pszPath)
{
    char szPath[PATH_MAX_CHARS];
    DWORD dwLength = GetFullPathNameA(pszPath, PATH_MAX_CHARS, szPath, nullptr);
    return dwLength > 0 && dwLength < PATH_MAX_CHARS ? CString(szPath) : CString();
}

BOOL IsNotFound(DWORD dwError)
{
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

BOOL DeleteFileAnyway(const char* pszPath)
{
    if (DeleteFileA(pszPath) || IsNotFound(GetLastError()))
        return TRUE;
    return SetFileAttributesA(pszPath, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(pszPath);
}

DWORD ReadFileBytes(const char* pszPath, std::vector<BYTE>& data)
{
    data.clear();
    // Read while another may still write it: a journal its run holds open.
    CFileHandle file(CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (file.IsEmpty() || !GetFileSizeEx(file, &size))
        return GetLastError();
    if (size.QuadPart > 0x7FFFFFFF)
        return ERROR_FILE_TOO_LARGE;
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD dwRead = 0;
    if (!data.empty() && !ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &dwRead, nullptr))
        return GetLastError();
    data.resize(dwRead);
    return ERROR_SUCCESS;
}

DWORD WriteFileBytes(const char* pszPath, const std::vector<BYTE>& data)
{
    CFileHandle file(CreateFileA(pszPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsEmpty())
        return GetLastError();
    DWORD dwWritten = 0;
    if (!data.empty() && !WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &dwWritten, nullptr))
        return GetLastError();
    if (dwWritten != data.size())
        return ERROR_WRITE_FAULT;
    return file.Close() ? ERROR_SUCCESS : GetLastError();
}

CString GetJournalPath()
{
    char szWindows[MAX_PATH];
    UINT nLength = GetWindowsDirectoryA(szWindows, MAX_PATH);
    if (nLength == 0 || nLength >= MAX_PATH)
        return CString();
    return CString(szWindows) + "\\Setup.jnl";
}

CString MakeTempFileName(const char* pszDir, const char* pszExt)
{
    CString strDir = *pszDir ? CString(pszDir) : GetTempDirectory();
    if (strDir.IsEmpty())
        return CString();

    if (!pszExt || !*pszExt) {
        char szName[PATH_MAX_CHARS];
        if (!GetTempFileNameA(strDir, TEMP_NAME_PREFIX, 0, szName))
            return CString();
        return CString(szName);
    }

    for (unsigned long n = 0; n <= LONG_MAX; ++n) {
        CString strCandidate;
        strCandidate.Format("%s\\%s%lu.%s", static_cast<const char*>(strDir), TEMP_NAME_PREFIX,
                            n, pszExt);
        DWORD dwResult = CheckFileExists(strCandidate);
        if (dwResult == ERROR_FILE_NOT_FOUND)
            return strCandidate;
        if (dwResult != ERROR_SUCCESS)
            break;
    }
    return CString();
}

BOOL GetRangeOverlap(DWORD& dwStart, DWORD& dwLength, DWORD a, DWORD b, DWORD n)
{
    // Range ends are taken in 64 bits so that a range reaching past 4 GB
    // does not wrap round and seem to end before it starts.
    ULONGLONG ullEndA = static_cast<ULONGLONG>(a) + n;
    ULONGLONG ullEndB = static_cast<ULONGLONG>(b) + n;
    if (a < b) {
        if (ullEndA <= b)
            return FALSE;
        dwStart = b;
        dwLength = static_cast<DWORD>(ullEndA - b);
    } else {
        if (ullEndB <= a)
            return FALSE;
        dwStart = a;
        dwLength = static_cast<DWORD>(ullEndB - a);
    }
    return TRUE;
}

BOOL IsEmptyDirectory(const char* pszDir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(CString(pszDir) + "\\*", &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return IsNotFound(GetLastError());
    BOOL bEmpty = TRUE;
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            bEmpty = FALSE;
    } while (bEmpty && FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return bEmpty;
}

BOOL ContainsAnyChar(const char* psz, const char* pszChars)
{
    for (const char* p = psz; *p; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (strchr(pszChars, *p))
            return TRUE;
    }
    return FALSE;
}

CString TrimBlanks(const char* pszText)
{
    int nFirst = 0;
    while (pszText[nFirst] == ' ')
        ++nFirst;
    if (!pszText[nFirst])
        return CString();
    int nLast = static_cast<int>(strlen(pszText)) - 1;
    while (pszText[nLast] == ' ')
        --nLast;
    return CString(pszText + nFirst, nLast - nFirst + 1);
}
