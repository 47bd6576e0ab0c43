#include "FileUtil.h"

#include <cstring>

namespace {
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
