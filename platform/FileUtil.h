// File-system helpers. Two result conventions, kept apart:
// boolean style (non-zero success, system code in the last-error value) and
// error-code style (0 when the thing exists or the call worked, else the
// system code), marked "code" below.
#pragma once

#include "framework/CArray.h"
#include "framework/CString.h"

// Drive numbers: 1 = A: ... 26 = Z:.
BOOL GetDriveFreeSpace(BYTE nDrive, DWORD& dwFreeBytes);
// pTypes: a count followed by that many drive-type codes.
BOOL GetDrivesOfTypes(const DWORD* pTypes, BOOL bIncludeFloppies, CByteArray& drives);
BYTE DriveLetterToNumber(char chLetter);

DWORD CheckFileExists(const char* pszPath);        // code; wildcards allowed
DWORD CheckDirectoryExists(const char* pszPath);   // code; not found is 3
BOOL CreateDirectoryPath(const char* pszPath);

CString GetPathPrefix(const char* pszPath, int nSeparator);
CString GetFileNameFromPath(const char* pszPath);
CString GetFileTitleFromPath(const char* pszPath);
CString GetDirectoryFromPath(const char* pszPath);
BOOL IsValidDestinationPath(const char* pszPath);
CString MakeTempFileName(const char* pszDir, const char* pszExt);
BOOL GetRangeOverlap(DWORD& dwStart, DWORD& dwLength, DWORD a, DWORD b, DWORD n);
CString TrimBlanks(const char* pszText);
