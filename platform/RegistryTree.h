// A registry key kept whole, with its values and its subkeys, so that a key
// this run is about to change can be given back exactly what it held. Names
// and data go through the registry's Unicode functions, so that names and
// text outside the ANSI code page, every value type and data of any length
// come back byte for byte.
// Results: 0 on success, else the registry's error code, which is also left
// in the thread's last-error value.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CRegValueCopy {
    std::wstring m_strName;  // empty: the key's default value
    DWORD m_dwType = REG_NONE;
    std::vector<BYTE> m_data;
};

struct CRegKeyCopy {
    std::wstring m_strName;  // the subkey's own name; empty for the key kept
    std::vector<CRegValueCopy> m_values;
    std::vector<CRegKeyCopy> m_subkeys;
};

// Reads the value strName of the open key hKey, its type and all its bytes,
// into value (its name included).
LONG ReadRegValue(HKEY hKey, const std::wstring& strName, CRegValueCopy& value);

// Reads pszKey of hRoot with everything below it into copy.
LONG SaveRegKeyTree(HKEY hRoot, const char* pszKey, CRegKeyCopy& copy);

// Makes pszKey hold exactly what copy holds: values and subkeys it did not
// hold are deleted, values whose type or bytes differ are written, those it
// lacks are written or created, and what is as it was is left untouched.
// The key itself is kept (so that it keeps its options and security) or
// created when missing.
LONG RestoreRegKeyTree(HKEY hRoot, const char* pszKey, const CRegKeyCopy& copy);

// The copy as bytes, for a record that must outlive the process, and back.
// FALSE when the bytes are not a whole copy.
void StoreRegKeyCopy(const CRegKeyCopy& copy, std::vector<BYTE>& data);
BOOL LoadRegKeyCopy(const std::vector<BYTE>& data, CRegKeyCopy& copy);

// A key's path below its root, alone or with one of its values, as bytes
// for such a record, and back. FALSE when the bytes are not a whole one.
void StoreRegKeyPath(const std::wstring& strKey, std::vector<BYTE>& data);
BOOL LoadRegKeyPath(const std::vector<BYTE>& data, std::wstring& strKey);
void StoreRegValueCopy(const std::wstring& strKey, const CRegValueCopy& value, std::vector<BYTE>& data);
BOOL LoadRegValueCopy(const std::vector<BYTE>& data, std::wstring& strKey, CRegValueCopy& value);
