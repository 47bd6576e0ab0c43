// File-system helpers of the medium tool: paths, folders, file sizes and
// the texts of system errors.
#pragma once

#include "framework/CFile.h"

CString JoinPath(const char* pszDir, const char* pszName);
// The absolute form of a path; a relative one is taken against pszBaseDir.
// Empty when the result would not fit a path buffer.
CString AbsolutePath(const char* pszPath, const char* pszBaseDir);
CString ParentDirectory(const char* pszPath);

bool IsDirectory(const char* pszPath);
bool IsPlainFile(const char* pszPath);
bool PathExists(const char* pszPath);
// The size of a plain file; false when it cannot be read, with the system
// error in the last-error value.
bool GetPlainFileSize(const char* pszPath, ULONGLONG& ullSize);

// Deletes a folder with everything in it; true when it is gone.
bool DeleteTree(const char* pszPath);

CString SystemMessage(DWORD dwError);
// "cannot ... <file>: <reason>" for a file exception.
CString DescribeFileException(const CFileException& e);
