// A registry key kept whole, with its values and its subkeys, so that a key
// this run is about to change can be given back exactly what it held.
// Results: 0 on success, else the registry's error code, which is also left
// in the thread's last-error value.
#pragma once

#include "framework/CString.h"

#include <vector>

struct CRegValueCopy {
    CString m_strName;  // empty: the key's default value
    DWORD m_dwType = REG_NONE;
    std::vector<BYTE> m_data;
};

struct CRegKeyCopy {
    CString m_strName;  // the subkey's own name; empty for the key kept
    std::vector<CRegValueCopy> m_values;
    std::vector<CRegKeyCopy> m_subkeys;
};

// Reads pszKey of hRoot with everything below it into copy.
LONG SaveRegKeyTree(HKEY hRoot, const char* pszKey, CRegKeyCopy& copy);

// Makes pszKey hold exactly what copy holds: values and subkeys it lacks are
// written, those it did not hold are deleted, the key itself is kept (so
// that it keeps its options and security) or created when missing.
LONG RestoreRegKeyTree(HKEY hRoot, const char* pszKey, const CRegKeyCopy& copy);
