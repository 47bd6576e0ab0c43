// The version resources of executables and libraries: the standard version
// strings, and the comparison that decides whether an installed file is
// kept or replaced.
#pragma once

#include "framework/CString.h"

// Result bits of CheckInstalledVersion.
const DWORD VERCHECK_EXISTS = 1;
const DWORD VERCHECK_NOT_OLDER = 4;
const DWORD VERCHECK_IN_USE = 8;

// The strings read by GetVersionStrings, in this order: "CompanyName",
// "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
// "OriginalFilename", "ProductName", "ProductVersion".
const int VERSION_STRING_COUNT = 8;
const int VERSION_COMPANY_NAME = 0;
const int VERSION_INTERNAL_NAME = 3;
const int VERSION_PRODUCT_VERSION = 7;

// Reads the eight strings from the string table of the file's first
// translation. TRUE only when all eight are present; on a missing one it
// stops there, the entries before it filled and the rest untouched.
BOOL GetVersionStrings(const char* pszPath, CString strings[VERSION_STRING_COUNT]);
// Reads one of the eight strings (VERSION_COMPANY_NAME, ...) on its own:
// FALSE when the file's first translation has no such string.
BOOL GetVersionString(const char* pszPath, int nString, CString& strValue);
// The string's name in the string table, "CompanyName", ...
const char* VersionStringName(int nString);

// Examines a file about to be overwritten. A missing target gives TRUE and
// no bits. VERCHECK_NOT_OLDER: the target's product version is equal to or
// newer than newVersion's. VERCHECK_IN_USE: the system reports the target
// in use, or another process holds it open without sharing. FALSE when the
// target cannot be examined; bits set before that stay.
BOOL CheckInstalledVersion(const char* pszTarget, const VS_FIXEDFILEINFO& newVersion,
                           BOOL bShared, DWORD& dwResult);
