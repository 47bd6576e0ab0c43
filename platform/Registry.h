// Registry helpers. Each opens what it needs, does one thing and closes it
// again. Result: 0 on success, else the registry's error code, which is
// also left in the thread's last-error value.
//
// Limits (checked before the registry is touched; an input beyond them is
// refused with ERROR_INVALID_PARAMETER and changes nothing):
//   key path         259 characters
//   value name       255 characters (null or empty: the key's default value)
//   string written   259 characters, stored with its terminating zero
//   string read      516 bytes including the zero (more: ERROR_MORE_DATA)
// A value of the wrong kind is refused with ERROR_INVALID_DATATYPE and
// leaves the output as it was.
#pragma once

#include "framework/CString.h"

// Creates the key and any missing parents, or opens it when present.
LONG CreateRegKey(HKEY hRoot, const char* pszKey);
// 0 when the key can be opened for reading.
LONG RegKeyExists(HKEY hRoot, const char* pszKey);
// Deletes pszSubKey of hParent with everything below it, innermost first.
// An empty or null subkey is refused: it would name hParent itself.
LONG DeleteRegKeyTree(HKEY hParent, const char* pszSubKey);
// The same for a subkey named in Unicode, which may lie outside the ANSI
// code page.
LONG DeleteRegKeyTreeW(HKEY hParent, const wchar_t* pszSubKey);
// Writes a REG_SZ value, creating the key when it is missing.
LONG SetRegString(HKEY hRoot, const char* pszKey, const char* pszName, const char* pszText);
// Reads a REG_SZ or REG_EXPAND_SZ value, up to its first zero or the end of
// its data, whichever comes first.
LONG GetRegString(HKEY hRoot, const char* pszKey, const char* pszName, CString& strText);
// Writes a REG_DWORD value, creating the key when it is missing.
LONG SetRegDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD dwValue);
// Reads a REG_DWORD or REG_BINARY value of exactly four bytes (a longer
// value of any type: ERROR_MORE_DATA).
LONG GetRegDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD& dwValue);
LONG DeleteRegValue(HKEY hRoot, const char* pszKey, const char* pszName);
