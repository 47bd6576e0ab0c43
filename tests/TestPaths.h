// Where a test program finds the programs of the build beside it.
#pragma once

#include <windows.h>

#include <string>

// The build directory: the parent of the folder holding the test program.
inline std::string BuildDir()
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath, n);
    path = path.substr(0, path.rfind('\\'));
    return path.substr(0, path.rfind('\\'));
}

inline std::string BuildPath(const char* pszRelative)
{
    return BuildDir() + "\\" + pszRelative;
}
