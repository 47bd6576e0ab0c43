// File-system helpers. Two result conventions, kept apart:
// boolean style (non-zero success, system code in the last-error value) and
// error-code style (0 when the thing exists or the call worked, else the
// system code), marked "code" below.
#pragma once

#include "framework/CArray.h"
#include "framework/CString.h"

#include <vector>

// Drive numbers: 1 = A: ... 26 = Z:.
// Free bytes of the drive that the caller may use. The out value is left
// alone when the drive cannot be asked.
BOOL GetDriveFreeSpace(BYTE nDrive, ULONGLONG& ullFreeBytes);
// pTypes: a count followed by that many drive-type codes. Drives are listed
// in ascending order, from A: with bIncludeFloppies, else from C:.
BOOL GetDrivesOfTypes(const DWORD* pTypes, BOOL bIncludeFloppies, CByteArray& drives);
BYTE DriveLetterToNumber(char chLetter);

DWORD CheckFileExists(const char* pszPath);        // code; wildcards allowed
DWORD CheckDirectoryExists(const char* pszPath);   // code; not found is 3
// Creates the directory and every missing parent; TRUE when it exists after.
BOOL CreateDirectoryPath(const char* pszPath);
// The same, adding each directory it created to created, parents first, so
// that removing them in reverse order takes the deepest first. The first
// directory it creates gets pTopSecurity (null: the parent's inherited
// rights); those below it inherit from that one.
BOOL CreateDirectoryPath(const char* pszPath, CStringArray& created,
                         SECURITY_ATTRIBUTES* pTopSecurity = nullptr);

// The path before separator number nSeparator (counted from 0), or the
// whole path when it has no more separators than that.
CString GetPathPrefix(const char* pszPath, int nSeparator);
CString GetFileNameFromPath(const char* pszPath);
CString GetFileTitleFromPath(const char* pszPath);
CString GetDirectoryFromPath(const char* pszPath);
BOOL IsValidDestinationPath(const char* pszPath);
// The temporary directory without its trailing backslash; empty on failure.
CString GetTempDirectory();
// The running program's file; empty on failure.
CString GetModulePath();
// The path resolved against the current drive and directory; empty on
// failure.
CString GetFullPath(const char* pszPath);
// TRUE for the codes that say a file or directory is not there.
BOOL IsNotFound(DWORD dwError);
// Deletes the file, also a read-only one; TRUE when it is gone or was not
// there, else FALSE with the system's code.
BOOL DeleteFileAnyway(const char* pszPath);
// The whole file into data: 0, or the system's code (ERROR_FILE_NOT_FOUND
// or ERROR_PATH_NOT_FOUND when it is not there).
DWORD ReadFileBytes(const char* pszPath, std::vector<BYTE>& data);
// Makes the file hold exactly data: 0, or the system's code.
DWORD WriteFileBytes(const char* pszPath, const std::vector<BYTE>& data);
// The journal of a setup run: in the Windows directory, where only
// administrators may write, so that the next run finds it. Empty on failure.
CString GetJournalPath();
// An unused "Fil" name in pszDir (empty: the temporary directory). Without
// an extension the system picks the number and creates the empty file; with
// one, the first free "Fil<n>.<ext>" is returned and nothing is created.
// Empty on failure.
CString MakeTempFileName(const char* pszDir, const char* pszExt);
// Intersection of [a, a+n) and [b, b+n); outputs untouched when disjoint.
BOOL GetRangeOverlap(DWORD& dwStart, DWORD& dwLength, DWORD a, DWORD b, DWORD n);
// TRUE when the directory holds no entry; one that does not exist counts
// as empty. FALSE when it holds something or cannot be read.
BOOL IsEmptyDirectory(const char* pszDir);
// Only the space character counts as blank.
CString TrimBlanks(const char* pszText);
// TRUE when the text holds one of the characters. It walks by characters of
// the ANSI code page, so the trail byte of a double-byte character ('\\',
// '[' or ']' among them) is never taken for one of them.
BOOL ContainsAnyChar(const char* psz, const char* pszChars);
