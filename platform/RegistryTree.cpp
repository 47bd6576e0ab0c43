#include "RegistryTree.h"
#include "Registry.h"

#include "framework/CHandle.h"

#include <algorithm>

namespace {
// Value names are at most 16,383 characters; key names at most 255.
const DWORD REG_VALUE_NAME_SIZE = 16384;
const DWORD REG_KEY_NAME_SIZE = 256;
// Where a value's data is first read into; it grows for a longer one.
const size_t FIRST_DATA_SIZE = 1024;

// Names are matched exactly: the copy and the key were read from the same
// registry, and a name whose case alone changed is written back as it was.
template <class T>
const T* FindName(const std::vector<T>& items, const std::wstring& strName)
{
    auto it = std::find_if(items.begin(), items.end(),
                           [&strName](const T& item) { return item.m_strName == strName; });
    return it == items.end() ? nullptr : &*it;
}

// Reads value i of hKey whole. A value that grew since its size was asked
// for is read again with room for its new size.
LONG ReadValue(HKEY hKey, DWORD i, std::vector<WCHAR>& name, std::vector<BYTE>& data, CRegValueCopy& value)
{
    for (;;) {
        DWORD cchName = REG_VALUE_NAME_SIZE;
        DWORD cbData = static_cast<DWORD>(data.size());
        LONG lResult = RegEnumValueW(hKey, i, name.data(), &cchName, nullptr, &value.m_dwType, data.data(), &cbData);
        if (lResult == ERROR_MORE_DATA) {
            data.resize(std::max<size_t>(cbData, data.size() * 2));
            continue;
        }
        if (lResult != ERROR_SUCCESS)
            return lResult;
        value.m_strName.assign(name.data(), cchName);
        value.m_data.assign(data.begin(), data.begin() + cbData);
        return ERROR_SUCCESS;
    }
}

LONG ReadValues(HKEY hKey, std::vector<CRegValueCopy>& values)
{
    std::vector<WCHAR> name(REG_VALUE_NAME_SIZE);
    std::vector<BYTE> data(FIRST_DATA_SIZE);
    for (DWORD i = 0;; ++i) {
        CRegValueCopy value;
        LONG lResult = ReadValue(hKey, i, name, data, value);
        if (lResult == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        values.push_back(value);
    }
}

LONG ReadSubkeyNames(HKEY hKey, std::vector<std::wstring>& names)
{
    WCHAR szChild[REG_KEY_NAME_SIZE];
    for (DWORD i = 0;; ++i) {
        DWORD cchChild = REG_KEY_NAME_SIZE;
        LONG lResult = RegEnumKeyExW(hKey, i, szChild, &cchChild, nullptr, nullptr, nullptr, nullptr);
        if (lResult == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (lResult != ERROR_SUCCESS)
            return lResult;
        names.emplace_back(szChild, cchChild);
    }
}

LONG ReadKey(HKEY hKey, CRegKeyCopy& copy)
{
    std::vector<std::wstring> children;
    LONG lResult = ReadValues(hKey, copy.m_values);
    if (lResult == ERROR_SUCCESS)
        lResult = ReadSubkeyNames(hKey, children);
    for (const std::wstring& strChild : children) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        CRegKey child;
        lResult = RegOpenKeyExW(hKey, strChild.c_str(), 0, KEY_READ, &child);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        CRegKeyCopy childCopy;
        childCopy.m_strName = strChild;
        lResult = ReadKey(child, childCopy);
        copy.m_subkeys.push_back(childCopy);
    }
    return lResult;
}

bool IsSame(const CRegValueCopy& a, const CRegValueCopy& b)
{
    return a.m_dwType == b.m_dwType && a.m_data == b.m_data;
}

// Deletes the values of hKey that copy did not hold and writes those whose
// type or bytes differ from it; the others are left as they are.
LONG WriteValues(HKEY hKey, const CRegKeyCopy& copy)
{
    std::vector<CRegValueCopy> present;
    LONG lResult = ReadValues(hKey, present);
    for (const CRegValueCopy& value : present) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        if (!FindName(copy.m_values, value.m_strName))
            lResult = RegDeleteValueW(hKey, value.m_strName.c_str());
    }
    for (const CRegValueCopy& value : copy.m_values) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        const CRegValueCopy* pPresent = FindName(present, value.m_strName);
        if (!pPresent || !IsSame(*pPresent, value))
            lResult = RegSetValueExW(hKey, value.m_strName.c_str(), 0, value.m_dwType, value.m_data.data(),
                                     static_cast<DWORD>(value.m_data.size()));
    }
    return lResult;
}

LONG WriteKey(HKEY hKey, const CRegKeyCopy& copy);

LONG WriteSubkey(HKEY hParent, const CRegKeyCopy& copy)
{
    CRegKey key;
    LONG lResult = RegCreateKeyExW(hParent, copy.m_strName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    return WriteKey(key, copy);
}

// Deletes the subkeys of hKey that copy did not hold, then gives each one
// it held what it held.
LONG WriteSubkeys(HKEY hKey, const CRegKeyCopy& copy)
{
    std::vector<std::wstring> present;
    LONG lResult = ReadSubkeyNames(hKey, present);
    for (const std::wstring& strChild : present) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        if (!FindName(copy.m_subkeys, strChild))
            lResult = DeleteRegKeyTreeW(hKey, strChild.c_str());
    }
    for (const CRegKeyCopy& subkey : copy.m_subkeys) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        lResult = WriteSubkey(hKey, subkey);
    }
    return lResult;
}

LONG WriteKey(HKEY hKey, const CRegKeyCopy& copy)
{
    LONG lResult = WriteValues(hKey, copy);
    if (lResult == ERROR_SUCCESS)
        lResult = WriteSubkeys(hKey, copy);
    return lResult;
}
}

// A value that grew since its size was asked for is read again with room
// for its new size.
LONG ReadRegValue(HKEY hKey, const std::wstring& strName, CRegValueCopy& value)
{
    std::vector<BYTE> data(FIRST_DATA_SIZE);
    for (;;) {
        DWORD cbData = static_cast<DWORD>(data.size());
        LONG lResult = RegQueryValueExW(hKey, strName.c_str(), nullptr, &value.m_dwType, data.data(), &cbData);
        if (lResult == ERROR_MORE_DATA) {
            data.resize(std::max<size_t>(cbData, data.size() * 2));
            continue;
        }
        if (lResult != ERROR_SUCCESS) {
            SetLastError(static_cast<DWORD>(lResult));
            return lResult;
        }
        value.m_strName = strName;
        value.m_data.assign(data.begin(), data.begin() + cbData);
        return ERROR_SUCCESS;
    }
}

// The key kept is named by the setup in its own code page; all that lies
// in it is read and written through the Unicode functions.
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
    CRegKey key;
    LONG lResult = RegCreateKeyExA(hRoot, pszKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                   &key, nullptr);
    if (lResult == ERROR_SUCCESS)
        lResult = WriteKey(key, copy);
    if (lResult != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(lResult));
    return lResult;
}

namespace {
// Each count and length is a DWORD; names are UTF-16, data as read.
void StoreDword(DWORD dw, std::vector<BYTE>& data)
{
    for (int i = 0; i < 4; ++i)
        data.push_back(static_cast<BYTE>(dw >> (8 * i)));
}

void StoreName(const std::wstring& strName, std::vector<BYTE>& data)
{
    StoreDword(static_cast<DWORD>(strName.size()), data);
    for (wchar_t c : strName) {
        data.push_back(static_cast<BYTE>(c & 0xFF));
        data.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
    }
}

class CCopyReader {
public:
    explicit CCopyReader(const std::vector<BYTE>& data) : m_data(data) {}

    BOOL ReadDword(DWORD& dw)
    {
        if (m_data.size() - m_nPos < 4)
            return FALSE;
        dw = 0;
        for (int i = 0; i < 4; ++i)
            dw |= static_cast<DWORD>(m_data[m_nPos++]) << (8 * i);
        return TRUE;
    }

    BOOL ReadName(std::wstring& strName)
    {
        DWORD cch = 0;
        if (!ReadDword(cch) || (m_data.size() - m_nPos) / 2 < cch)
            return FALSE;
        strName.resize(cch);
        for (DWORD i = 0; i < cch; ++i, m_nPos += 2)
            strName[i] = static_cast<wchar_t>(m_data[m_nPos] | (m_data[m_nPos + 1] << 8));
        return TRUE;
    }

    BOOL ReadBytes(std::vector<BYTE>& bytes)
    {
        DWORD cb = 0;
        if (!ReadDword(cb) || m_data.size() - m_nPos < cb)
            return FALSE;
        bytes.assign(m_data.begin() + static_cast<std::ptrdiff_t>(m_nPos),
                     m_data.begin() + static_cast<std::ptrdiff_t>(m_nPos + cb));
        m_nPos += cb;
        return TRUE;
    }

    BOOL ReadValue(CRegValueCopy& value)
    {
        return ReadName(value.m_strName) && ReadDword(value.m_dwType) && ReadBytes(value.m_data);
    }

    BOOL ReadKey(CRegKeyCopy& copy, int nDepth)
    {
        DWORD nValues = 0;
        if (nDepth > REG_MAX_DEPTH || !ReadName(copy.m_strName) || !ReadDword(nValues))
            return FALSE;
        for (DWORD i = 0; i < nValues; ++i) {
            CRegValueCopy value;
            if (!ReadValue(value))
                return FALSE;
            copy.m_values.push_back(value);
        }
        DWORD nSubkeys = 0;
        if (!ReadDword(nSubkeys))
            return FALSE;
        for (DWORD i = 0; i < nSubkeys; ++i) {
            CRegKeyCopy subkey;
            if (!ReadKey(subkey, nDepth + 1))
                return FALSE;
            copy.m_subkeys.push_back(subkey);
        }
        return TRUE;
    }

    BOOL AtEnd() const { return m_nPos == m_data.size(); }

private:
    // The registry nests keys at most 512 deep.
    static const int REG_MAX_DEPTH = 512;

    const std::vector<BYTE>& m_data;
    size_t m_nPos = 0;
};

void StoreValue(const CRegValueCopy& value, std::vector<BYTE>& data)
{
    StoreName(value.m_strName, data);
    StoreDword(value.m_dwType, data);
    StoreDword(static_cast<DWORD>(value.m_data.size()), data);
    data.insert(data.end(), value.m_data.begin(), value.m_data.end());
}
}

void StoreRegKeyCopy(const CRegKeyCopy& copy, std::vector<BYTE>& data)
{
    StoreName(copy.m_strName, data);
    StoreDword(static_cast<DWORD>(copy.m_values.size()), data);
    for (const CRegValueCopy& value : copy.m_values)
        StoreValue(value, data);
    StoreDword(static_cast<DWORD>(copy.m_subkeys.size()), data);
    for (const CRegKeyCopy& subkey : copy.m_subkeys)
        StoreRegKeyCopy(subkey, data);
}

BOOL LoadRegKeyCopy(const std::vector<BYTE>& data, CRegKeyCopy& copy)
{
    copy = CRegKeyCopy();
    CCopyReader reader(data);
    return reader.ReadKey(copy, 0) && reader.AtEnd();
}

void StoreRegKeyPath(const std::wstring& strKey, std::vector<BYTE>& data)
{
    StoreName(strKey, data);
}

BOOL LoadRegKeyPath(const std::vector<BYTE>& data, std::wstring& strKey)
{
    CCopyReader reader(data);
    return reader.ReadName(strKey) && reader.AtEnd();
}

void StoreRegValueCopy(const std::wstring& strKey, const CRegValueCopy& value, std::vector<BYTE>& data)
{
    StoreName(strKey, data);
    StoreValue(value, data);
}

BOOL LoadRegValueCopy(const std::vector<BYTE>& data, std::wstring& strKey, CRegValueCopy& value)
{
    value = CRegValueCopy();
    CCopyReader reader(data);
    return reader.ReadName(strKey) && reader.ReadValue(value) && reader.AtEnd();
}
