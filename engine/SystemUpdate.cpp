// The system update: App Paths, the uninstall entry, shared-library counts
// and the document type. Each key the run writes is kept whole in the
// journal (values, subkeys, or that it was not there) before it is
// touched, and each count before it is written, so that a failure or an
// end at any step leaves records that describe exactly what has changed.
#include "SetupMngr.h"
#include "SystemKeys.h"

#include "framework/CNameSet.h"
#include "platform/Registry.h"
#include "platform/RegistryTree.h"
#include "platform/VersionInfo.h"

namespace {
const char DOC_TYPE_DESCRIPTION[] = "Tilewright Resource";
const char OPEN_COMMAND_ARGUMENT[] = " \"%1\"";
const DWORD SHORT_PATH_BUFFER = 260;
// The longest text the registry helpers write (stored with its zero).
const int OPEN_COMMAND_MAX_CHARS = 259;

// Journals what the key holds, or that it is not there, before the run
// writes it. A failure to read it is the caller's failure.
LONG JournalKey(CSetupMngr& mngr, HKEY hRoot, const char* pszKey)
{
    CJournalRecord record;
    record.m_op = JOURNAL_REGISTRY_KEY;
    record.m_hRoot = hRoot;
    record.m_strPath = pszKey;
    LONG lResult = RegKeyExists(hRoot, pszKey);
    if (lResult == ERROR_SUCCESS) {
        CRegKeyCopy copy;
        lResult = SaveRegKeyTree(hRoot, pszKey, copy);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        record.m_bExisted = TRUE;
        StoreRegKeyCopy(copy, record.m_data);
    } else if (lResult != ERROR_FILE_NOT_FOUND) {
        return lResult;
    }
    return mngr.m_journal.Add(record) ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
}

const char* RootName(HKEY hRoot)
{
    return hRoot == HKEY_CLASSES_ROOT ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE";
}

// Writes a string value and logs it beside the value it replaces.
LONG WriteString(CSetupMngr& mngr, HKEY hRoot, const char* pszKey, const char* pszName, const char* pszText)
{
    CString strOld;
    CString strWas = GetRegString(hRoot, pszKey, pszName, strOld) == ERROR_SUCCESS ? "\"" + strOld + "\""
                                                                                    : CString("not set");
    LONG lResult = SetRegString(hRoot, pszKey, pszName, pszText);
    mngr.Log("registry %s: %s\\%s, %s = \"%s\" (was %s)", lResult == ERROR_SUCCESS ? "written" : "refused",
             RootName(hRoot), pszKey, pszName && *pszName ? pszName : "(default)", pszText,
             static_cast<const char*>(strWas));
    return lResult;
}

// Journals the key, creates it, then writes its two values.
LONG WriteKeyValues(CSetupMngr& mngr, const char* pszKey, const char* pszFirst, const char* pszFirstText,
                    const char* pszSecond, const char* pszSecondText)
{
    LONG lResult = JournalKey(mngr, HKEY_LOCAL_MACHINE, pszKey);
    if (lResult == ERROR_SUCCESS)
        lResult = CreateRegKey(HKEY_LOCAL_MACHINE, pszKey);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    lResult = WriteString(mngr, HKEY_LOCAL_MACHINE, pszKey, pszFirst, pszFirstText);
    if (lResult != ERROR_SUCCESS)
        return lResult;
    return WriteString(mngr, HKEY_LOCAL_MACHINE, pszKey, pszSecond, pszSecondText);
}

// The shared files the earlier installation already counted, gathered
// once for the whole run.
CNameSet KnownSharedFiles(CInstallTree* pPrev)
{
    CNameSet known;
    if (!pPrev)
        return known;
    CObject* pItem;
    for (int n = pPrev->GetFirstItem(pItem); n != ITEM_END; n = pPrev->GetNextItem(pItem)) {
        if (n != ITEM_FILE)
            continue;
        const CInstalledFile* pFile = static_cast<const CInstalledFile*>(pItem);
        if (pFile->m_dwFlags & FILE_SHARED)
            known.insert(pFile->m_strPath);
    }
    return known;
}

// A program path as the first part of a command line. Unquoted, a path with
// a space would let Windows start a program named by its first part
// ("C:\My.exe" for "C:\My Apps\..."), in a folder that may be writable.
CString CommandPath(const CString& strPath)
{
    return strPath.Find(' ') < 0 ? strPath : "\"" + strPath + "\"";
}

// The open command: the main program's short path and the document argument.
// A path without a short form keeps its long form, quoted when it holds a
// space; a command longer than the registry helpers take is refused.
BOOL MakeOpenCommand(const CString& strMainPath, CString& strCommand)
{
    char szShort[SHORT_PATH_BUFFER];
    DWORD dwLength = GetShortPathNameA(strMainPath, szShort, SHORT_PATH_BUFFER);
    CString strPath = dwLength > 0 && dwLength < SHORT_PATH_BUFFER ? CString(szShort) : strMainPath;
    strCommand = CommandPath(strPath) + OPEN_COMMAND_ARGUMENT;
    if (strCommand.GetLength() > OPEN_COMMAND_MAX_CHARS) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    return TRUE;
}

// Raises the reference count of each shared file of the tree, except those
// the earlier installation in the destination already counted.
BOOL CountSharedFiles(CSetupMngr& mngr)
{
    CNameSet known = KnownSharedFiles(mngr.m_pPrevInstall);
    CObject* pItem;
    for (int n = mngr.GetFirstItem(pItem); n != ITEM_END; n = mngr.GetNextItem(pItem)) {
        if (n != ITEM_FILE)
            continue;
        CInstalledFile* pFile = static_cast<CInstalledFile*>(pItem);
        if (!(pFile->m_dwFlags & FILE_SHARED))
            continue;
        BOOL bKnown = known.count(pFile->m_strPath) != 0;
        DWORD dwCount = 0;
        LONG lResult = GetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, pFile->m_strPath, dwCount);
        if (lResult == ERROR_SUCCESS) {
            // A count at its top stays there: raised it would read 0, and
            // left unraised it is not this run's to lower.
            if (bKnown || dwCount == 0xFFFFFFFF)
                continue;
            ++dwCount;
        } else if (lResult == ERROR_FILE_NOT_FOUND) {
            dwCount = 1;
        } else {
            return FALSE;
        }
        CJournalRecord record;
        record.m_op = JOURNAL_SHARED_COUNT;
        record.m_strPath = pFile->m_strPath;
        record.m_bExisted = lResult == ERROR_SUCCESS;
        record.m_dwValue = dwCount;
        if (!mngr.m_journal.Add(record)
            || SetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, pFile->m_strPath, dwCount) != ERROR_SUCCESS)
            return FALSE;
        mngr.Log("registry written: HKEY_LOCAL_MACHINE\\%s, %s = %lu (%s)", SYSKEY_SHARED_DLLS,
                 static_cast<const char*>(pFile->m_strPath), static_cast<unsigned long>(dwCount),
                 lResult == ERROR_SUCCESS ? "raised by one" : "was not set");
    }
    return TRUE;
}

// Writes a number value and logs it beside the value it replaces.
LONG WriteDword(CSetupMngr& mngr, const char* pszKey, const char* pszName, DWORD dwValue)
{
    DWORD dwOld = 0;
    CString strWas("not set");
    if (GetRegDword(HKEY_LOCAL_MACHINE, pszKey, pszName, dwOld) == ERROR_SUCCESS)
        strWas.Format("%lu", static_cast<unsigned long>(dwOld));
    LONG lResult = SetRegDword(HKEY_LOCAL_MACHINE, pszKey, pszName, dwValue);
    mngr.Log("registry %s: HKEY_LOCAL_MACHINE\\%s, %s = %lu (was %s)", lResult == ERROR_SUCCESS ? "written" : "refused",
             pszKey, pszName, static_cast<unsigned long>(dwValue), static_cast<const char*>(strWas));
    return lResult;
}

// A value from one string of the main program's version resource. Without
// that string the value is left out, the others written: a value an
// earlier version wrote goes, as it no longer tells the truth.
LONG WriteVersionValue(CSetupMngr& mngr, const CSystemKeys& keys, const char* pszName, int nString)
{
    CString strValue;
    if (GetVersionString(keys.m_strMainPath, nString, strValue))
        return WriteString(mngr, HKEY_LOCAL_MACHINE, keys.m_strUninstallKey, pszName, strValue);
    LONG lResult = DeleteRegValue(HKEY_LOCAL_MACHINE, keys.m_strUninstallKey, pszName);
    if (lResult == ERROR_FILE_NOT_FOUND)
        lResult = ERROR_SUCCESS;
    mngr.Log("registry %s: HKEY_LOCAL_MACHINE\\%s, %s: the version resource of %s has no %s",
             lResult == ERROR_SUCCESS ? "left out" : "refused", static_cast<const char*>(keys.m_strUninstallKey),
             pszName, static_cast<const char*>(keys.m_strMainPath), VersionStringName(nString));
    return lResult;
}

// What the list of installed programs and deployment tools read of the
// product beside its name and uninstaller: version and maker as the main
// program's version resource gives them, where it lives, its size in KB.
BOOL DescribeProduct(CSetupMngr& mngr, const CSystemKeys& keys)
{
    ULONGLONG ullKilobytes = (mngr.m_ullBytesTotal + 1023) / 1024;
    DWORD dwKilobytes = static_cast<DWORD>(ullKilobytes < 0xFFFFFFFF ? ullKilobytes : 0xFFFFFFFF);
    const char* pszKey = keys.m_strUninstallKey;
    return WriteVersionValue(mngr, keys, "DisplayVersion", VERSION_PRODUCT_VERSION) == ERROR_SUCCESS
           && WriteVersionValue(mngr, keys, "Publisher", VERSION_COMPANY_NAME) == ERROR_SUCCESS
           && WriteString(mngr, HKEY_LOCAL_MACHINE, pszKey, "InstallLocation", mngr.m_strDestDir) == ERROR_SUCCESS
           && WriteString(mngr, HKEY_LOCAL_MACHINE, pszKey, "DisplayIcon", keys.m_strMainPath) == ERROR_SUCCESS
           && WriteDword(mngr, pszKey, "EstimatedSize", dwKilobytes) == ERROR_SUCCESS
           && WriteDword(mngr, pszKey, "NoModify", 1) == ERROR_SUCCESS
           && WriteDword(mngr, pszKey, "NoRepair", 1) == ERROR_SUCCESS;
}

// The document type with its open command, and the extension that names it.
BOOL RegisterDocumentType(CSetupMngr& mngr, const CSystemKeys& keys)
{
    if (JournalKey(mngr, HKEY_CLASSES_ROOT, keys.m_strDocType) != ERROR_SUCCESS
        || CreateRegKey(HKEY_CLASSES_ROOT, keys.m_strDocType) != ERROR_SUCCESS)
        return FALSE;
    if (WriteString(mngr, HKEY_CLASSES_ROOT, keys.m_strDocType, nullptr, DOC_TYPE_DESCRIPTION) != ERROR_SUCCESS)
        return FALSE;

    CString strCommand;
    if (!MakeOpenCommand(keys.m_strMainPath, strCommand)
        || WriteString(mngr, HKEY_CLASSES_ROOT, keys.m_strOpenCommandKey, nullptr, strCommand) != ERROR_SUCCESS)
        return FALSE;

    if (JournalKey(mngr, HKEY_CLASSES_ROOT, keys.m_strExtKey) != ERROR_SUCCESS)
        return FALSE;
    return WriteString(mngr, HKEY_CLASSES_ROOT, keys.m_strExtKey, nullptr, keys.m_strDocType) == ERROR_SUCCESS
           && WriteString(mngr, HKEY_CLASSES_ROOT, keys.m_strShellNewKey, "NullFile", "") == ERROR_SUCCESS;
}
}

BOOL CSetupMngr::UpdateSystem()
{
    CSystemKeys keys(*this);
    if (WriteKeyValues(*this, keys.m_strAppPathKey, nullptr, keys.m_strMainPath, "Path", m_strDestDir)
        != ERROR_SUCCESS)
        return FALSE;
    // The uninstall commands are command lines that the system and
    // deployment tools run: the path is quoted, as the destination may
    // hold a space. Deployment tools run the quiet one unattended.
    CString strUninstallCommand = "\"" + m_strDestDir + "\\Uninst.exe\"";
    if (WriteKeyValues(*this, keys.m_strUninstallKey, "DisplayName", m_strProductName, "UninstallString",
                       strUninstallCommand)
            != ERROR_SUCCESS
        || WriteString(*this, HKEY_LOCAL_MACHINE, keys.m_strUninstallKey, "QuietUninstallString",
                       strUninstallCommand + " /S")
               != ERROR_SUCCESS
        || !DescribeProduct(*this, keys))
        return FALSE;

    if (!CountSharedFiles(*this))
        return FALSE;

    // Nothing reads the atoms; one that could not be added stays 0, which
    // the destructor passes over.
    m_atomApp = GlobalAddAtomA(keys.m_strTitle);
    m_atomSystem = GlobalAddAtomA("system");

    return RegisterDocumentType(*this, keys);
}
