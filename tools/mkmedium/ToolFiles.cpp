#include "ToolFiles.h"

namespace {
bool IsSeparator(char ch)
{
    return ch == '\\' || ch == '/';
}
}

CString JoinPath(const char* pszDir, const char* pszName)
{
    CString path(pszDir);
    if (!path.IsEmpty() && !IsSeparator(path[path.GetLength() - 1]))
        path += '\\';
    path += pszName;
    return path;
}

CString AbsolutePath(const char* pszPath, const char* pszBaseDir)
{
    bool bAbsolute = (pszPath[0] && pszPath[1] == ':') || IsSeparator(pszPath[0]);
    CString joined = bAbsolute ? CString(pszPath) : JoinPath(pszBaseDir, pszPath);
    char szFull[MAX_PATH];
    DWORD n = GetFullPathNameA(joined, MAX_PATH, szFull, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return CString();
    return CString(szFull);
}

CString ParentDirectory(const char* pszPath)
{
    CString path(pszPath);
    int n = path.GetLength();
    while (n > 0 && IsSeparator(path[n - 1]))
        --n;
    while (n > 0 && !IsSeparator(path[n - 1]))
        --n;
    while (n > 1 && IsSeparator(path[n - 1]) && path[n - 2] != ':')
        --n;
    return path.Left(n);
}

bool IsDirectory(const char* pszPath)
{
    DWORD dw = GetFileAttributesA(pszPath);
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsPlainFile(const char* pszPath)
{
    DWORD dw = GetFileAttributesA(pszPath);
    return dw != INVALID_FILE_ATTRIBUTES && !(dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const char* pszPath)
{
    return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES;
}

bool GetPlainFileSize(const char* pszPath, ULONGLONG& ullSize)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(pszPath, GetFileExInfoStandard, &data))
        return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    ullSize = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool DeleteTree(const char* pszPath)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(JoinPath(pszPath, "*"), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpA(fd.cFileName, ".") == 0 || lstrcmpA(fd.cFileName, "..") == 0)
                continue;
            CString child = JoinPath(pszPath, fd.cFileName);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(child);
            } else {
                SetFileAttributesA(child, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child);
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    return RemoveDirectoryA(pszPath) || !PathExists(pszPath);
}

CString SystemMessage(DWORD dwError)
{
    char szText[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0,
                             szText, sizeof szText, nullptr);
    while (n > 0 && (szText[n - 1] == '\r' || szText[n - 1] == '\n' || szText[n - 1] == ' ' || szText[n - 1] == '.'))
        --n;
    CString text;
    if (n == 0)
        text.Format("system error %lu", dwError);
    else
        text.Format("%.*s (error %lu)", static_cast<int>(n), szText, dwError);
    return text;
}

CString DescribeFileException(const CFileException& e)
{
    CString text;
    if (e.m_lOsError != 0)
        text.Format("%s: %s", static_cast<const char*>(e.m_strFileName),
                    static_cast<const char*>(SystemMessage(static_cast<DWORD>(e.m_lOsError))));
    else
        text.Format("%s: file error %d", static_cast<const char*>(e.m_strFileName), e.m_cause);
    return text;
}
