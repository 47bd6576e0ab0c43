#include "VersionInfo.h"

#include "framework/CHandle.h"
#include "platform/FileUtil.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {
const DWORD VER_MAX_PATH = 260;

const char* const VERSION_STRING_NAMES[VERSION_STRING_COUNT] = {
    "CompanyName",    "FileDescription",  "FileVersion", "InternalName",
    "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion",
};

// A file's whole version-information block.
class CVersionBlock {
public:
    enum LoadResult { LOAD_OK, LOAD_NONE, LOAD_NO_MEMORY };

    // LOAD_NONE when the file has no version information or it cannot be
    // read.
    LoadResult Load(const char* pszPath)
    {
        DWORD dwHandle = 0;
        DWORD dwSize = GetFileVersionInfoSizeA(pszPath, &dwHandle);
        if (dwSize == 0)
            return LOAD_NONE;
        m_pData.reset(new (std::nothrow) BYTE[dwSize]);
        if (!m_pData)
            return LOAD_NO_MEMORY;
        if (!GetFileVersionInfoA(pszPath, 0, dwSize, m_pData.get())) {
            m_pData.reset();
            return LOAD_NONE;
        }
        return LOAD_OK;
    }

    BOOL Query(const char* pszBlock, void*& pValue, UINT& nLength) const
    {
        return VerQueryValueA(m_pData.get(), pszBlock, &pValue, &nLength);
    }

private:
    std::unique_ptr<BYTE[]> m_pData;
};

// "llllcccc": language and code page of the first translation, lower case.
BOOL GetTranslationKey(const CVersionBlock& block, char (&szKey)[9])
{
    void* pValue = nullptr;
    UINT nLength = 0;
    if (!block.Query("\\VarFileInfo\\Translation", pValue, nLength) || nLength < 2 * sizeof(WORD))
        return FALSE;
    const WORD* pwTranslation = static_cast<const WORD*>(pValue);
    snprintf(szKey, sizeof(szKey), "%04x%04x", pwTranslation[0], pwTranslation[1]);
    return TRUE;
}

BOOL QueryString(const CVersionBlock& block, const char* pszKey, const char* pszName,
                 CString& strValue)
{
    char szBlock[VER_MAX_PATH];
    snprintf(szBlock, sizeof(szBlock), "\\StringFileInfo\\%s\\%s", pszKey, pszName);
    void* pValue = nullptr;
    UINT nLength = 0;
    if (!block.Query(szBlock, pValue, nLength))
        return FALSE;
    // The length counts characters, perhaps with the zero: never read past it.
    const char* pszValue = static_cast<const char*>(pValue);
    strValue = CString(pszValue, static_cast<int>(strnlen(pszValue, nLength)));
    return TRUE;
}

ULONGLONG ProductVersion(const VS_FIXEDFILEINFO& info)
{
    return (static_cast<ULONGLONG>(info.dwProductVersionMS) << 32) | info.dwProductVersionLS;
}

// Whether the file has a fixed version record whose product version is at
// least that of newVersion; a file without one is never counted as newer.
// FALSE when its version information cannot be held in memory.
BOOL CompareWithInstalled(const char* pszPath, const VS_FIXEDFILEINFO& newVersion,
                          BOOL& bNotOlder)
{
    bNotOlder = FALSE;
    CVersionBlock block;
    CVersionBlock::LoadResult result = block.Load(pszPath);
    if (result != CVersionBlock::LOAD_OK)
        return result != CVersionBlock::LOAD_NO_MEMORY;
    void* pValue = nullptr;
    UINT nLength = 0;
    if (block.Query("\\", pValue, nLength) && nLength >= sizeof(VS_FIXEDFILEINFO))
        bNotOlder = ProductVersion(*static_cast<const VS_FIXEDFILEINFO*>(pValue)) >=
                    ProductVersion(newVersion);
    return TRUE;
}

// What one exclusive open of a target tells before its version is asked.
struct CTargetProbe {
    BOOL bHeld = FALSE;
    BOOL bMayHaveVersion = TRUE;
};

// The system's version-install check cannot see every open handle (Wine's
// never reports a file in use), so an exclusive open decides as well. Its
// first bytes tell whether the file can carry version information at all:
// only executable images do, and the system reads through compressed files
// too. Asking the system about a plain data file costs more than every
// other step of a replacement, and most files replaced are data.
CTargetProbe ProbeTarget(const char* pszPath)
{
    CTargetProbe probe;
    CFileHandle file(CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsEmpty()) {
        probe.bHeld = GetLastError() == ERROR_SHARING_VIOLATION;
        return probe;
    }
    char magic[2] = {};
    DWORD dwRead = 0;
    if (ReadFile(file, magic, sizeof magic, &dwRead, nullptr))
        probe.bMayHaveVersion = dwRead == sizeof magic && ((magic[0] == 'M' && magic[1] == 'Z') ||
                                                           (magic[0] == 'S' && magic[1] == 'Z'));
    return probe;
}

BOOL IsReportedInUse(const char* pszPath, BOOL bShared, char* pszWindowsDir)
{
    CString strName = GetFileNameFromPath(pszPath);
    CString strDir = GetDirectoryFromPath(pszPath);
    char szCurDir[VER_MAX_PATH];
    char szDestDir[VER_MAX_PATH];
    UINT nCurDir = VER_MAX_PATH;
    UINT nDestDir = VER_MAX_PATH;
    // The function's declaration asks for writable texts; it changes none.
    DWORD dwFind = VerFindFileA(bShared ? VFFF_ISSHAREDFILE : 0,
                                strName.GetBuffer(strName.GetLength()), pszWindowsDir,
                                strDir.GetBuffer(strDir.GetLength()), szCurDir, &nCurDir, szDestDir,
                                &nDestDir);
    return dwFind == VFF_FILEINUSE;
}
}

BOOL GetVersionStrings(const char* pszPath, CString strings[VERSION_STRING_COUNT])
{
    CVersionBlock block;
    char szKey[9];
    if (block.Load(pszPath) != CVersionBlock::LOAD_OK || !GetTranslationKey(block, szKey))
        return FALSE;
    for (int i = 0; i < VERSION_STRING_COUNT; ++i)
        if (!QueryString(block, szKey, VERSION_STRING_NAMES[i], strings[i]))
            return FALSE;
    return TRUE;
}

BOOL GetVersionString(const char* pszPath, int nString, CString& strValue)
{
    CVersionBlock block;
    char szKey[9];
    return block.Load(pszPath) == CVersionBlock::LOAD_OK && GetTranslationKey(block, szKey)
           && QueryString(block, szKey, VERSION_STRING_NAMES[nString], strValue);
}

const char* VersionStringName(int nString)
{
    return VERSION_STRING_NAMES[nString];
}

BOOL CheckInstalledVersion(const char* pszTarget, const VS_FIXEDFILEINFO& newVersion,
                           BOOL bShared, DWORD& dwResult)
{
    dwResult = 0;
    DWORD dwExists = CheckFileExists(pszTarget);
    if (dwExists == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (dwExists != ERROR_SUCCESS)
        return FALSE;
    dwResult |= VERCHECK_EXISTS;

    CTargetProbe probe = ProbeTarget(pszTarget);
    BOOL bNotOlder = FALSE;
    if (probe.bMayHaveVersion && !CompareWithInstalled(pszTarget, newVersion, bNotOlder))
        return FALSE;
    if (bNotOlder)
        dwResult |= VERCHECK_NOT_OLDER;

    char szWindowsDir[VER_MAX_PATH];
    UINT nLength = GetWindowsDirectoryA(szWindowsDir, VER_MAX_PATH);
    if (nLength == 0 || nLength >= VER_MAX_PATH)
        return FALSE;
    if (IsReportedInUse(pszTarget, bShared, szWindowsDir) || probe.bHeld)
        dwResult |= VERCHECK_IN_USE;
    return TRUE;
}
