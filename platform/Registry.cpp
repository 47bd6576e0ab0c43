#include "Registry.h"

#include "framework/CHandle.h"

#include <cstring>

namespace {
const size_t REG_MAX_KEY_PATH = 259;
const size_t REG_MAX_VALUE_NAME = 255;
const size_t REG_MAX_TEXT_WRITTEN = 259;
const DWORD REG_MAX_TEXT_READ = 516;
// Key names are at most 255 characters; the zero needs one more.
const DWORD REG_ENUM_NAME_SIZE = 256;

LONG Finish(LONG lResult)
{
    if (lResult != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(lResult));
    return lResult;
}

bool Fits(const char* psz, size_t nMax)
{
    return !psz || strlen(psz) <= nMax;
}

bool NamesFit(const char* pszKey, const char* pszName)
{
    return Fits(pszKey, REG_MAX_KEY_PATH) && Fits(pszName, REG_MAX_VALUE_NAME);
}

// Closes the key; the result of the work done with it wins over the
// close's own. The close's is the registry's code, which CRegKey::Close
// would reduce to a BOOL.
LONG CloseKey(CRegKey& key, LONG lResult)
{
    LONG lClose = RegCloseKey(key.Detach());
    return lResult != ERROR_SUCCESS ? lResult : lClose;
}

LONG CreateKey(HKEY hRoot, const char* pszKey, CRegKey& key)
{
    char szClass[] = "";
    return RegCreateKeyExA(hRoot, pszKey, 0, szClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key, nullptr);
}

LONG OpenOrCreateKey(HKEY hRoot, const char* pszKey, CRegKey& key)
{
    LONG lResult = RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ | KEY_WRITE, &key);
    if (lResult == ERROR_FILE_NOT_FOUND)
        lResult = CreateKey(hRoot, pszKey, key);
    return lResult;
}

LONG SetValue(HKEY hRoot, const char* pszKey, const char* pszName, DWORD dwType,
              const BYTE* pData, DWORD cbData)
{
    CRegKey key;
    LONG lResult = OpenOrCreateKey(hRoot, pszKey, key);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    return CloseKey(key, RegSetValueExA(key, pszName, 0, dwType, pData, cbData));
}

LONG QueryValue(HKEY hRoot, const char* pszKey, const char* pszName, DWORD& dwType,
                BYTE* pData, DWORD& cbData)
{
    CRegKey key;
    LONG lResult = RegOpenKeyExA(hRoot, pszKey, 0, KEY_QUERY_VALUE, &key);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    return CloseKey(key, RegQueryValueExA(key, pszName, nullptr, &dwType, pData, &cbData));
}

// Deletes every subkey of hKey, through the Unicode functions so that a
// name outside the ANSI code page is found too. Entry 0 is asked for each
// time, because the one just deleted is gone. 0 when the enumeration ran
// out.
LONG DeleteSubKeys(HKEY hKey)
{
    WCHAR szChild[REG_ENUM_NAME_SIZE];
    for (;;) {
        DWORD cchChild = REG_ENUM_NAME_SIZE;
        LONG lResult = RegEnumKeyExW(hKey, 0, szChild, &cchChild, nullptr, nullptr, nullptr, nullptr);
        if (lResult == ERROR_NO_MORE_ITEMS || lResult == ERROR_BADKEY)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        lResult = DeleteRegKeyTreeW(hKey, szChild);
        if (lResult != ERROR_SUCCESS)
            return lResult;
    }
}
}

LONG CreateRegKey(HKEY hRoot, const char* pszKey)
{
    if (!Fits(pszKey, REG_MAX_KEY_PATH))
        return Finish(ERROR_INVALID_PARAMETER);
    CRegKey key;
    LONG lResult = CreateKey(hRoot, pszKey, key);
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    return Finish(CloseKey(key, ERROR_SUCCESS));
}

LONG RegKeyExists(HKEY hRoot, const char* pszKey)
{
    if (!Fits(pszKey, REG_MAX_KEY_PATH))
        return Finish(ERROR_INVALID_PARAMETER);
    CRegKey key;
    LONG lResult = RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, &key);
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    return Finish(CloseKey(key, ERROR_SUCCESS));
}

LONG DeleteRegKeyTree(HKEY hParent, const char* pszSubKey)
{
    if (!pszSubKey || !*pszSubKey || !Fits(pszSubKey, REG_MAX_KEY_PATH))
        return Finish(ERROR_INVALID_PARAMETER);
    CRegKey key;
    LONG lResult = RegOpenKeyA(hParent, pszSubKey, &key);
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    lResult = CloseKey(key, DeleteSubKeys(key));
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    return Finish(RegDeleteKeyA(hParent, pszSubKey));
}

LONG DeleteRegKeyTreeW(HKEY hParent, const wchar_t* pszSubKey)
{
    if (!pszSubKey || !*pszSubKey)
        return Finish(ERROR_INVALID_PARAMETER);
    CRegKey key;
    LONG lResult = RegOpenKeyExW(hParent, pszSubKey, 0, KEY_READ, &key);
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    lResult = CloseKey(key, DeleteSubKeys(key));
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    return Finish(RegDeleteKeyW(hParent, pszSubKey));
}

namespace {
LONG WriteRegString(HKEY hRoot, const char* pszKey, const char* pszName, const char* pszText, size_t nMax)
{
    if (!pszText || !NamesFit(pszKey, pszName) || !Fits(pszText, nMax))
        return Finish(ERROR_INVALID_PARAMETER);
    DWORD cbText = static_cast<DWORD>(strlen(pszText)) + 1;
    return Finish(SetValue(hRoot, pszKey, pszName, REG_SZ, reinterpret_cast<const BYTE*>(pszText),
                           cbText));
}
}

LONG SetRegString(HKEY hRoot, const char* pszKey, const char* pszName, const char* pszText)
{
    return WriteRegString(hRoot, pszKey, pszName, pszText, REG_MAX_TEXT_WRITTEN);
}

LONG GetRegString(HKEY hRoot, const char* pszKey, const char* pszName, CString& strText)
{
    if (!NamesFit(pszKey, pszName))
        return Finish(ERROR_INVALID_PARAMETER);
    // One byte beyond what the registry may fill, for a zero of our own:
    // a string stored without one ends where its data ends.
    char szText[REG_MAX_TEXT_READ + 1];
    DWORD cbText = REG_MAX_TEXT_READ;
    DWORD dwType = REG_NONE;
    LONG lResult = QueryValue(hRoot, pszKey, pszName, dwType, reinterpret_cast<BYTE*>(szText),
                              cbText);
    if (lResult == ERROR_SUCCESS && dwType != REG_SZ && dwType != REG_EXPAND_SZ)
        lResult = ERROR_INVALID_DATATYPE;
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    szText[cbText < REG_MAX_TEXT_READ ? cbText : REG_MAX_TEXT_READ] = '\0';
    strText = szText;
    return ERROR_SUCCESS;
}

LONG SetRegDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD dwValue)
{
    if (!NamesFit(pszKey, pszName))
        return Finish(ERROR_INVALID_PARAMETER);
    return Finish(SetValue(hRoot, pszKey, pszName, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                           sizeof(dwValue)));
}

LONG GetRegDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD& dwValue)
{
    if (!NamesFit(pszKey, pszName))
        return Finish(ERROR_INVALID_PARAMETER);
    DWORD dwData = 0;
    DWORD cbData = sizeof(dwData);
    DWORD dwType = REG_NONE;
    LONG lResult = QueryValue(hRoot, pszKey, pszName, dwType, reinterpret_cast<BYTE*>(&dwData),
                              cbData);
    // Some installers store counts as four bytes of REG_BINARY: a number
    // all the same.
    bool bNumber = dwType == REG_DWORD || dwType == REG_BINARY;
    if (lResult == ERROR_SUCCESS && (!bNumber || cbData != sizeof(dwData)))
        lResult = ERROR_INVALID_DATATYPE;
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    dwValue = dwData;
    return ERROR_SUCCESS;
}

LONG DeleteRegValue(HKEY hRoot, const char* pszKey, const char* pszName)
{
    if (!NamesFit(pszKey, pszName))
        return Finish(ERROR_INVALID_PARAMETER);
    CRegKey key;
    LONG lResult = RegOpenKeyExA(hRoot, pszKey, 0, KEY_SET_VALUE, &key);
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    return Finish(CloseKey(key, RegDeleteValueA(key, pszName)));
}
