// What the engine's phase tests share: scratch directories with real files,
// install trees built in code the way the copy phase leaves them (full
// paths in the file records, "Applikation" and "WinSys" on top), a callback
// that records what the engine asked, and registry reads straight through
// the registry API.
#pragma once

#include "engine/SetupMngr.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace kit {

inline std::string TempRoot()
{
    char sz[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, sz);
    if (n == 0 || n >= MAX_PATH)
        return "C:\\";
    return std::string(sz, n);
}

inline bool Exists(const std::string& strPath)
{
    return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool IsDirectory(const std::string& strPath)
{
    DWORD dw = GetFileAttributesA(strPath.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

// Deletes a directory with everything in it, read-only files included.
inline void RemoveTree(const std::string& strDir)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((strDir + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string strName = data.cFileName;
            if (strName == "." || strName == "..")
                continue;
            std::string strPath = strDir + "\\" + strName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(strPath);
            } else {
                SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(strPath.c_str());
            }
        } while (FindNextFileA(hFind, &data));
        FindClose(hFind);
    }
    RemoveDirectoryA(strDir.c_str());
}

inline bool WriteFileText(const std::string& strPath, const std::string& strText)
{
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD dwWritten = 0;
    BOOL bOk = strText.empty()
               || WriteFile(h, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr);
    CloseHandle(h);
    return bOk && dwWritten == strText.size();
}

inline std::string ReadFileText(const std::string& strPath)
{
    HANDLE h = CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<unreadable>";
    std::string strText;
    char buf[4096];
    DWORD dwRead = 0;
    while (ReadFile(h, buf, sizeof buf, &dwRead, nullptr) && dwRead > 0)
        strText.append(buf, dwRead);
    CloseHandle(h);
    return strText;
}

// The attributes a snapshot compares; the archive bit comes and goes with
// any write.
const DWORD SNAPSHOT_ATTRIBUTES = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Every file and directory below strDir, relative to it, directories with a
// trailing backslash, each entry with its attributes and a file with its
// contents.
inline void ListTree(const std::string& strDir, const std::string& strRelative,
                     std::map<std::string, std::string>& entries)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((strDir + "\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string strName = data.cFileName;
        if (strName == "." || strName == "..")
            continue;
        std::string strPath = strDir + "\\" + strName;
        std::string strRel = strRelative + strName;
        std::string strAttributes = "attributes " + std::to_string(data.dwFileAttributes & SNAPSHOT_ATTRIBUTES) + ": ";
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries[strRel + "\\"] = strAttributes;
            ListTree(strPath, strRel + "\\", entries);
        } else {
            entries[strRel] = strAttributes + ReadFileText(strPath);
        }
    } while (FindNextFileA(hFind, &data));
    FindClose(hFind);
}

inline std::map<std::string, std::string> SnapshotTree(const std::string& strDir)
{
    std::map<std::string, std::string> entries;
    ListTree(strDir, "", entries);
    return entries;
}

// The "Fil" temporary files left anywhere below the folder.
inline std::vector<std::string> TempFilesBelow(const std::string& dir)
{
    std::vector<std::string> found;
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return found;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = dir + "\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::vector<std::string> below = TempFilesBelow(path);
            found.insert(found.end(), below.begin(), below.end());
        } else if (_strnicmp(name.c_str(), "Fil", 3) == 0) {
            found.push_back(path);
        }
    } while (FindNextFileA(hFind, &data));
    FindClose(hFind);
    return found;
}

// A directory of the test's own below the temporary directory, emptied
// first and removed at the end.
class CScratchDir {
public:
    explicit CScratchDir(const std::string& strName)
        : m_strPath(TempRoot() + strName + "-" + std::to_string(GetCurrentProcessId()))
    {
        RemoveTree(m_strPath);
        m_bMade = CreateDirectoryA(m_strPath.c_str(), nullptr) != FALSE;
    }
    CScratchDir(const CScratchDir&) = delete;
    CScratchDir& operator=(const CScratchDir&) = delete;
    ~CScratchDir() { RemoveTree(m_strPath); }

    bool IsMade() const { return m_bMade; }
    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& strName) const { return m_strPath + "\\" + strName; }

private:
    std::string m_strPath;
    bool m_bMade = false;
};

// The journal records a copy phase makes, for tests that stage its work.
inline void Journal(CSetupMngr& mngr, JournalOp op, const std::string& strPath, const std::string& strKept = "")
{
    CJournalRecord record;
    record.m_op = op;
    record.m_strPath = strPath.c_str();
    record.m_strKept = strKept.c_str();
    ASSERT_TRUE(mngr.m_journal.Add(record)) << "error " << GetLastError();
}

// Moves a file aside as the copy phase does, journaled first; the name it
// is kept under.
inline std::string KeepAside(CSetupMngr& mngr, const std::string& strPath)
{
    char szKept[MAX_PATH];
    std::string strDir = strPath.substr(0, strPath.rfind('\\'));
    EXPECT_NE(0u, GetTempFileNameA(strDir.c_str(), "Fil", 0, szKept)) << "error " << GetLastError();
    Journal(mngr, JOURNAL_KEPT_FILE, strPath, szKept);
    EXPECT_TRUE(MoveFileExA(strPath.c_str(), szKept, MOVEFILE_REPLACE_EXISTING)) << "error " << GetLastError();
    return szKept;
}

inline CDirNode* AddDir(CDirNode* pParent, const char* pszName)
{
    CDirNode* pNode = new CDirNode(pParent);
    pNode->dir = new CInstallDir;
    pNode->dir->m_strPath = pszName;
    pParent->children.AddTail(pNode);
    return pNode;
}

// A file record as the copy phase leaves it: its full installed path.
inline CInstalledFile* AddFile(CDirNode* pNode, const std::string& strFullPath, DWORD dwFlags,
                               DWORD dwSize = 0)
{
    CInstalledFile* pFile = new CInstalledFile;
    pFile->m_strPath = strFullPath.c_str();
    pFile->m_dwFlags = dwFlags;
    pFile->m_dwSize = dwSize;
    pNode->files.AddTail(pFile);
    return pFile;
}

struct CTopDirs {
    CDirNode* pApp;
    CDirNode* pSys;
};

// The two top-level directories under the names a completed copy leaves.
inline CTopDirs AddTopDirs(CInstallMngr& info)
{
    CTopDirs top;
    top.pApp = AddDir(&info.m_root, "Applikation");
    top.pSys = AddDir(&info.m_root, "WinSys");
    return top;
}

// What the engine asked through its callback.
struct CCall {
    int nType;
    INT_PTR nArg;
    INT_PTR pArg;
    std::string strText;  // the string argument, where the request has one
};

inline std::vector<CCall>& Calls()
{
    static std::vector<CCall> calls;
    return calls;
}

inline int __cdecl RecordingCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    // Log lines are no request to the user.
    if (nType == SCB_LOG)
        return 1;
    CCall call{nType, nArg, pArg, std::string()};
    if (nType == SCB_ERROR && (nArg == SCBE_FILEINUSE || nArg == SCBE_CREATEDIR) && pArg)
        call.strText = *reinterpret_cast<const CString*>(pArg);
    Calls().push_back(call);
    return 1;
}

// A registry value read straight through the registry API.
struct CRegValue {
    bool bPresent = false;
    DWORD dwType = REG_NONE;
    std::string strData;

    std::string Text() const { return strData.substr(0, strData.find('\0')); }
    DWORD Dword() const
    {
        DWORD dw = 0;
        if (strData.size() == sizeof dw)
            memcpy(&dw, strData.data(), sizeof dw);
        return dw;
    }
};

inline CRegValue QueryValue(HKEY hRoot, const std::string& strKey, const char* pszName)
{
    CRegValue value;
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return value;
    BYTE buf[2048];
    DWORD cb = sizeof buf;
    if (RegQueryValueExA(hKey, pszName, nullptr, &value.dwType, buf, &cb) == ERROR_SUCCESS) {
        value.bPresent = true;
        value.strData.assign(reinterpret_cast<const char*>(buf), cb);
    }
    RegCloseKey(hKey);
    return value;
}

inline bool KeyExists(HKEY hRoot, const std::string& strKey)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    RegCloseKey(hKey);
    return true;
}

inline void WriteValue(HKEY hRoot, const std::string& strKey, const char* pszName, DWORD dwType,
                       const void* pData, DWORD cbData)
{
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(hRoot, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &hKey, nullptr))
        << "cannot create " << strKey;
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData))
        << "cannot write " << strKey << " " << (pszName ? pszName : "(default)");
    RegCloseKey(hKey);
}

inline void WriteText(HKEY hRoot, const std::string& strKey, const char* pszName,
                      const std::string& strText)
{
    WriteValue(hRoot, strKey, pszName, REG_SZ, strText.c_str(), static_cast<DWORD>(strText.size() + 1));
}

inline void WriteDword(HKEY hRoot, const std::string& strKey, const char* pszName, DWORD dwValue)
{
    WriteValue(hRoot, strKey, pszName, REG_DWORD, &dwValue, sizeof dwValue);
}

// Writes a value through the Unicode functions, so that key names, value
// names and text outside the ANSI code page can be set up.
inline void WriteValueW(HKEY hRoot, const std::wstring& strKey, const wchar_t* pszName, DWORD dwType,
                        const void* pData, DWORD cbData)
{
    HKEY hKey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(hRoot, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &hKey, nullptr))
        << "cannot create a key for a Unicode value";
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData))
        << "cannot write a Unicode value";
    RegCloseKey(hKey);
}

// A string value of dwType with the bytes of strText as given: a
// terminating zero, or the zeros of a multi-string, are part of strText.
inline void WriteTextW(HKEY hRoot, const std::wstring& strKey, const wchar_t* pszName, DWORD dwType,
                       const std::wstring& strText)
{
    WriteValueW(hRoot, strKey, pszName, dwType, strText.data(),
                static_cast<DWORD>(strText.size() * sizeof(wchar_t)));
}

inline std::wstring Wide(const std::string& strAscii)
{
    return std::wstring(strAscii.begin(), strAscii.end());
}

// A name read through the Unicode functions, as UTF-8, so that names outside
// the ANSI code page stay apart in a snapshot.
inline std::string Utf8(const wchar_t* psz, DWORD cch)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, psz, static_cast<int>(cch), nullptr, 0, nullptr, nullptr);
    std::string str(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, psz, static_cast<int>(cch), &str[0], n, nullptr, nullptr);
    return str;
}

// Every key and value below hKey (the key itself included), read through
// the Unicode functions, as "key\" for keys and "key\|name" for values with
// the value's type and its exact bytes, of any length. What cannot be read
// shows as such, rather than as missing.
inline void ListOpenKey(HKEY hKey, const std::string& strRelative, std::map<std::string, std::string>& entries)
{
    entries[strRelative + "\\"] = "";
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1024);
    for (DWORD i = 0;;) {
        DWORD cchName = static_cast<DWORD>(name.size());
        DWORD cbData = static_cast<DWORD>(data.size());
        DWORD dwType = 0;
        LONG lResult = RegEnumValueW(hKey, i, name.data(), &cchName, nullptr, &dwType, data.data(), &cbData);
        if (lResult == ERROR_MORE_DATA) {
            data.resize(std::max<size_t>(cbData, data.size() * 2));
            continue;
        }
        if (lResult != ERROR_SUCCESS) {
            if (lResult != ERROR_NO_MORE_ITEMS)
                entries[strRelative + "\\|?"] =
                    "value " + std::to_string(i) + " unreadable, error " + std::to_string(lResult);
            break;
        }
        entries[strRelative + "\\|" + Utf8(name.data(), cchName)] =
            std::to_string(dwType) + ":" + std::string(reinterpret_cast<const char*>(data.data()), cbData);
        ++i;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t szName[256];
        DWORD cchName = 256;
        if (RegEnumKeyExW(hKey, i, szName, &cchName, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::string strChild = strRelative + "\\" + Utf8(szName, cchName);
        HKEY hChild;
        if (RegOpenKeyExW(hKey, szName, 0, KEY_READ, &hChild) != ERROR_SUCCESS) {
            entries[strChild + "\\"] = "unreadable";
            continue;
        }
        ListOpenKey(hChild, strChild, entries);
        RegCloseKey(hChild);
    }
}

inline void ListKey(HKEY hRoot, const std::string& strKey, const std::string& strRelative,
                    std::map<std::string, std::string>& entries)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    ListOpenKey(hKey, strRelative, entries);
    RegCloseKey(hKey);
}

// When the key was last written, which a value write of the key itself
// moves on (0 when the key cannot be read).
inline ULONGLONG LastWriteTime(HKEY hRoot, const std::wstring& strKey)
{
    HKEY hKey;
    if (RegOpenKeyExW(hRoot, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return 0;
    FILETIME ft = {};
    LONG lResult = RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, &ft);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime : 0;
}

// The product's control and the shared library it binds, copied from
// strStage into strDir and registered there by the control's own entry in
// this process: what another installation of it leaves.
inline void RegisterControlIn(const std::string& strStage, const std::string& strDir)
{
    for (const char* pszName : {"Tilewrig.ocx", "TileShr.dll"})
        ASSERT_TRUE(CopyFileA((strStage + "\\" + pszName).c_str(), (strDir + "\\" + pszName).c_str(), FALSE))
            << "cannot copy " << pszName << " into " << strDir << ", error " << GetLastError();
    std::string strControl = strDir + "\\Tilewrig.ocx";
    HMODULE hControl = LoadLibraryExA(strControl.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_NE(nullptr, hControl) << "cannot load " << strControl << ", error " << GetLastError();
    typedef HRESULT(WINAPI * PFNENTRY)();
    FARPROC pfnEntry = GetProcAddress(hControl, "DllRegisterServer");
    HRESULT hr = pfnEntry ? reinterpret_cast<PFNENTRY>(reinterpret_cast<void (*)()>(pfnEntry))() : E_NOINTERFACE;
    FreeLibrary(hControl);
    ASSERT_EQ(S_OK, hr) << strControl << " did not register itself";
}

// The differences between two snapshots, one line each: "+" new, "-" gone,
// "~" changed.
inline std::vector<std::string> Differences(const std::map<std::string, std::string>& before,
                                            const std::map<std::string, std::string>& after)
{
    std::vector<std::string> lines;
    for (const auto& entry : before) {
        auto it = after.find(entry.first);
        if (it == after.end())
            lines.push_back("- " + entry.first);
        else if (it->second != entry.second)
            lines.push_back("~ " + entry.first);
    }
    for (const auto& entry : after)
        if (!before.count(entry.first))
            lines.push_back("+ " + entry.first);
    return lines;
}

}  // namespace kit
