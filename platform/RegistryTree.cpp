#include "RegistryTree.h"
#include "Registry.h"

#include "framework/CHandle.h"

#include <algorithm>

namespace {
// Value names are at most 16,383 characters; key names at most 255.
const DWORD REG_VALUE_NAME_SIZE = 16384;
const DWORD REG_KEY_NAME_SIZE = 256;

// Names in the registry are compared without regard to case.
template <class T>
bool HasName(const std::vector<T>& items, const char* pszName)
{
    return std::any_of(items.begin(), items.end(),
                       [pszName](const T& item) { return item.m_strName.CompareNoCase(pszName) == 0; });
}

LONG ReadValues(HKEY hKey, std::vector<CRegValueCopy>& values)
{
    std::vector<char> name(REG_VALUE_NAME_SIZE);
    for (DWORD i = 0;; ++i) {
        DWORD cchName = REG_VALUE_NAME_SIZE;
        DWORD cbData = 0;
        DWORD dwType = REG_NONE;
        LONG lResult = RegEnumValueA(hKey, i, name.data(), &cchName, nullptr, &dwType, nullptr, &cbData);
        if (lResult == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        CRegValueCopy value;
        value.m_strName = name.data();
        value.m_dwType = dwType;
        value.m_data.resize(cbData);
        lResult = RegQueryValueExA(hKey, name.data(), nullptr, &value.m_dwType,
                                   value.m_data.empty() ? nullptr : value.m_data.data(), &cbData);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        value.m_data.resize(cbData);
        values.push_back(value);
    }
}

LONG ReadKey(HKEY hKey, CRegKeyCopy& copy)
{
    LONG lResult = ReadValues(hKey, copy.m_values);
    char szChild[REG_KEY_NAME_SIZE];
    for (DWORD i = 0; lResult == ERROR_SUCCESS; ++i) {
        lResult = RegEnumKeyA(hKey, i, szChild, REG_KEY_NAME_SIZE);
        if (lResult == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        CRegKey child;
        lResult = RegOpenKeyExA(hKey, szChild, 0, KEY_READ, &child);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        CRegKeyCopy childCopy;
        childCopy.m_strName = szChild;
        lResult = ReadKey(child, childCopy);
        copy.m_subkeys.push_back(childCopy);
    }
    return lResult;
}

// Deletes the values of hKey that copy did not hold. The index stays where
// a value was deleted, since the next one has moved into its place.
LONG DeleteForeignValues(HKEY hKey, const CRegKeyCopy& copy)
{
    std::vector<char> name(REG_VALUE_NAME_SIZE);
    for (DWORD i = 0;;) {
        DWORD cchName = REG_VALUE_NAME_SIZE;
        LONG lResult = RegEnumValueA(hKey, i, name.data(), &cchName, nullptr, nullptr, nullptr, nullptr);
        if (lResult == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        if (HasName(copy.m_values, name.data())) {
            ++i;
            continue;
        }
        lResult = RegDeleteValueA(hKey, name.data());
        if (lResult != ERROR_SUCCESS)
            return lResult;
    }
}

LONG DeleteForeignSubkeys(HKEY hKey, const CRegKeyCopy& copy)
{
    char szChild[REG_KEY_NAME_SIZE];
    for (DWORD i = 0;;) {
        LONG lResult = RegEnumKeyA(hKey, i, szChild, REG_KEY_NAME_SIZE);
        if (lResult == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        if (HasName(copy.m_subkeys, szChild)) {
            ++i;
            continue;
        }
        lResult = DeleteRegKeyTree(hKey, szChild);
        if (lResult != ERROR_SUCCESS)
            return lResult;
    }
}

LONG WriteKey(HKEY hParent, const char* pszKey, const CRegKeyCopy& copy)
{
    CRegKey key;
    LONG lResult = RegCreateKeyExA(hParent, pszKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, &key, nullptr);
    if (lResult == ERROR_SUCCESS)
        lResult = DeleteForeignValues(key, copy);
    if (lResult == ERROR_SUCCESS)
        lResult = DeleteForeignSubkeys(key, copy);
    for (const CRegValueCopy& value : copy.m_values) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        lResult = RegSetValueExA(key, value.m_strName, 0, value.m_dwType, value.m_data.data(),
                                 static_cast<DWORD>(value.m_data.size()));
    }
    for (const CRegKeyCopy& subkey : copy.m_subkeys) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        lResult = WriteKey(key, subkey.m_strName, subkey);
    }
    return lResult;
}
}

LONG SaveRegKeyTree(HKEY hRoot, const char* pszKey, CRegKeyCopy& copy)
{
    copy = CRegKeyCopy();
    CRegKey key;
    LONG lResult = RegOpenKeyExA(hRoot, pszKey, 0, KEY_READ, &key);
    if (lResult == ERROR_SUCCESS)
        lResult = ReadKey(key, copy);
    if (lResult != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(lResult));
    return lResult;
}

LONG RestoreRegKeyTree(HKEY hRoot, const char* pszKey, const CRegKeyCopy& copy)
{
    LONG lResult = WriteKey(hRoot, pszKey, copy);
    if (lResult != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(lResult));
    return lResult;
}
