#include "ProductRegistry.h"

#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "ui/SetupLog.h"

namespace {
const char KEY_APP_PATHS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char KEY_UNINSTALL[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// The setup registers this extension for the product's documents; the
// saved information does not carry it.
const char DOC_EXTENSION[] = "tlr";
const char OPEN_ARGUMENT[] = " \"%1\"";

// The setup writes the open command with the program's short path; the
// long form is accepted too, for a volume without short names.
CString ShortPath(const CString& strPath)
{
    char sz[MAX_PATH];
    DWORD dwLength = GetShortPathNameA(strPath, sz, MAX_PATH);
    return dwLength > 0 && dwLength < MAX_PATH ? CString(sz) : strPath;
}

CString Quoted(const CString& strPath)
{
    return "\"" + strPath + "\"";
}

const char* RootName(HKEY hRoot)
{
    return hRoot == HKEY_CLASSES_ROOT ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE";
}

void LogKept(HKEY hRoot, const char* pszKey)
{
    LogFormat("registry kept: %s\\%s: missing, or another installation's", RootName(hRoot), pszKey);
}
}

CProductRegistry::CProductRegistry(const CInstallMngr& info)
    : m_strMainPath(info.m_strDestDir + "\\" + info.m_strMainExe),
      m_strUninstaller(info.m_strDestDir + "\\Uninst.exe"),
      m_strAppPathKey(CString(KEY_APP_PATHS) + "\\" + info.m_strMainExe),
      m_strUninstallKey(CString(KEY_UNINSTALL) + "\\" + info.m_strProductName),
      m_strDocType(GetFileTitleFromPath(info.m_strMainExe) + ".Document"),
      m_strExtKey(CString(".") + DOC_EXTENSION)
{
    m_strOpenCommandKey = m_strDocType + "\\shell\\open\\command";
}

BOOL CProductRegistry::RemoveOwnedEntries() const
{
    BOOL bOk = TRUE;
    if (PointsHere(HKEY_LOCAL_MACHINE, m_strAppPathKey, nullptr, {m_strMainPath}))
        bOk = RemoveKey(HKEY_LOCAL_MACHINE, m_strAppPathKey);
    else
        LogKept(HKEY_LOCAL_MACHINE, m_strAppPathKey);
    // A long path that holds a space is written quoted; earlier setups
    // wrote it as it is.
    if (!PointsHere(HKEY_CLASSES_ROOT, m_strOpenCommandKey, nullptr,
                    {ShortPath(m_strMainPath) + OPEN_ARGUMENT, Quoted(m_strMainPath) + OPEN_ARGUMENT,
                     m_strMainPath + OPEN_ARGUMENT})) {
        LogKept(HKEY_CLASSES_ROOT, m_strDocType);
        return bOk;
    }
    bOk = RemoveKey(HKEY_CLASSES_ROOT, m_strDocType) && bOk;
    // Another program may have taken the extension over since.
    CString strExtType;
    if (GetRegString(HKEY_CLASSES_ROOT, m_strExtKey, nullptr, strExtType) == ERROR_SUCCESS
        && strExtType.CompareNoCase(m_strDocType) == 0)
        bOk = RemoveKey(HKEY_CLASSES_ROOT, m_strExtKey) && bOk;
    else
        LogKept(HKEY_CLASSES_ROOT, m_strExtKey);
    return bOk;
}

// The setup writes the uninstall command quoted; earlier setups wrote the
// path as it is.
BOOL CProductRegistry::RemoveUninstallEntry() const
{
    if (!PointsHere(HKEY_LOCAL_MACHINE, m_strUninstallKey, "UninstallString",
                    {Quoted(m_strUninstaller), m_strUninstaller})) {
        LogKept(HKEY_LOCAL_MACHINE, m_strUninstallKey);
        return TRUE;
    }
    return RemoveKey(HKEY_LOCAL_MACHINE, m_strUninstallKey);
}

BOOL CProductRegistry::PointsHere(HKEY hRoot, const char* pszKey, const char* pszName,
                                  std::initializer_list<CString> forms)
{
    CString strValue;
    if (GetRegString(hRoot, pszKey, pszName, strValue) != ERROR_SUCCESS)
        return FALSE;
    for (const CString& strForm : forms)
        if (strValue.CompareNoCase(strForm) == 0)
            return TRUE;
    return FALSE;
}

BOOL CProductRegistry::RemoveKey(HKEY hRoot, const char* pszKey)
{
    LONG lResult = DeleteRegKeyTree(hRoot, pszKey);
    CString strKey;
    strKey.Format("%s\\%s", RootName(hRoot), pszKey);
    if (lResult == ERROR_SUCCESS)
        LogFormat("registry removed: %s", static_cast<const char*>(strKey));
    else if (lResult != ERROR_FILE_NOT_FOUND)
        LogLine("registry left: " + strKey, static_cast<DWORD>(lResult));
    return lResult == ERROR_SUCCESS || lResult == ERROR_FILE_NOT_FOUND;
}
