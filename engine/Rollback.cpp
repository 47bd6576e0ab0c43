// Undoing a failed run, or one that ended midway, from its journal, and
// recognising an earlier installation in a destination directory.
#include "SetupMngr.h"
#include "RegistryCapture.h"
#include "SystemKeys.h"

#include "platform/FileUtil.h"
#include "platform/Progman.h"
#include "platform/Registry.h"
#include "platform/RegistryTree.h"
#include "platform/VersionInfo.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {
const char UNINSTALLER_SIGNATURE[] = "UNINSTALL";
// The product is told by the second dword of the identification block.
const size_t PRODUCT_IDENT_OFFSET = 4;
const size_t PRODUCT_IDENT_SIZE = 4;

// The top-level records get the real directories back: a completed copy
// left "Applikation" and "WinSys" in them.
void SetTopLevelPaths(CDirNode& root, const CString& strAppDir, const CString& strSysDir)
{
    const CString* dirs[] = {&strAppDir, &strSysDir};
    POSITION pos = root.children.GetHeadPosition();
    for (const CString* pstrDir : dirs) {
        if (!pos)
            return;
        CDirNode* pTop = root.children.GetNext(pos);
        if (pTop->dir)
            pTop->dir->m_strPath = *pstrDir;
    }
}

const char* Outcome(BOOL bDone)
{
    return bDone ? "done" : "failed";
}

// A count as this run left it gets back the value it had before, 0
// included, or goes when the run created it. A count some other program
// has changed meanwhile keeps that change and loses only this run's one: a
// 1 goes, a higher one is lowered, and a 0 is left alone rather than
// wrapped round.
BOOL PutBackSharedCount(const CJournalRecord& record)
{
    const CString& strPath = record.m_strPath;
    DWORD dwCount = 0;
    LONG lResult = GetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath, dwCount);
    if (lResult == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (lResult != ERROR_SUCCESS)
        return FALSE;
    // A run ended between its record and the raise left the count as it was.
    if (record.m_bExisted && dwCount == record.m_dwValue - 1)
        return TRUE;
    BOOL bAsLeft = dwCount == record.m_dwValue;
    if (bAsLeft ? !record.m_bExisted : dwCount == 1)
        return DeleteRegValue(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath) == ERROR_SUCCESS;
    if (dwCount == 0)
        return TRUE;
    return SetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath, dwCount - 1) == ERROR_SUCCESS;
}

// A key that existed gets back exactly what it held; one the run created goes.
BOOL PutBackKey(const CJournalRecord& record)
{
    if (!record.m_bExisted) {
        LONG lResult = DeleteRegKeyTree(record.m_hRoot, record.m_strPath);
        return lResult == ERROR_SUCCESS || lResult == ERROR_FILE_NOT_FOUND;
    }
    CRegKeyCopy copy;
    if (!LoadRegKeyCopy(record.m_data, copy)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    return RestoreRegKeyTree(record.m_hRoot, record.m_strPath, copy) == ERROR_SUCCESS;
}

BOOL HoldsAnyRecord(const std::vector<CJournalRecord>& records, const CString& strDir)
{
    CString strPrefix = strDir + "\\";
    int nLength = strPrefix.GetLength();
    for (const CJournalRecord& record : records)
        if (record.m_strPath.GetLength() > nLength && _strnicmp(record.m_strPath, strPrefix, nLength) == 0)
            return TRUE;
    return FALSE;
}

BOOL HoldsLinkRecord(const std::vector<CJournalRecord>& records, const CString& strFolder)
{
    for (const CJournalRecord& record : records)
        if (record.m_op == JOURNAL_PROGRAM_ITEM && record.m_strTemp.CompareNoCase(strFolder) == 0)
            return TRUE;
    return FALSE;
}

// TRUE when the directory holds no "\Uninst.exe" or this setup's own.
BOOL HasOwnOrNoUninstaller(const CString& strDir)
{
    CString strPath = strDir + "\\Uninst.exe";
    DWORD dwExists = CheckFileExists(strPath);
    if (dwExists == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (dwExists != ERROR_SUCCESS)
        return FALSE;
    CString strings[VERSION_STRING_COUNT];
    return GetVersionStrings(strPath, strings)
           && strings[VERSION_INTERNAL_NAME] == UNINSTALLER_SIGNATURE;
}

BOOL IsSameProduct(const BYTE* pIdent, const BYTE* pOtherIdent)
{
    return memcmp(pIdent + PRODUCT_IDENT_OFFSET, pOtherIdent + PRODUCT_IDENT_OFFSET,
                  PRODUCT_IDENT_SIZE) == 0;
}

// Reads "\Setup.inf" into info: ERROR_SUCCESS, ERROR_DIR_NOT_EMPTY for a
// file that is not this product's information (another application's), or
// why this product's information cannot be read.
DWORD ReadInstallInfo(const CString& strPath, const BYTE* pIdent, CInstallMngr& info)
{
    try {
        CFile file;
        file.Open(strPath, CFile::modeRead | CFile::shareDenyWrite);
        CArchive ar(&file, CArchive::load, 4096);
        if (!info.ReadHeader(ar) || !IsSameProduct(pIdent, info.m_ident))
            return ERROR_DIR_NOT_EMPTY;
        info.Serialize(ar);
        ar.Close();
        file.Close();
        return ERROR_SUCCESS;
    } catch (CFileException& e) {
        return e.m_lOsError != ERROR_SUCCESS ? static_cast<DWORD>(e.m_lOsError) : SETUP_E_INFO_INVALID;
    } catch (CException&) {
        return SETUP_E_INFO_INVALID;
    } catch (std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
}

// Each step is done whatever became of the ones before: a file that cannot
// be deleted or a registry operation that fails is passed over on its own,
// and stays in the journal for the next start. FALSE when something the run
// changed could not be given back.
BOOL CSetupMngr::Rollback()
{
    ChangeDirectory(-2);
    SetTopLevelPaths(m_root, m_strDestDir, m_strSystemDir);
    return UndoJournal();
}

BOOL CSetupMngr::FindInterruptedRun()
{
    if (m_strJournalPath.IsEmpty())
        return FALSE;
    return CheckFileExists(m_strJournalPath) == ERROR_SUCCESS;
}

// A scratch key left by a registration under way goes first; one that
// cannot go leaves the journal untouched for the next start.
BOOL CSetupMngr::RecoverInterruptedRun(SETUPCALLBACK pfnCallback)
{
    m_pfnCallback = pfnCallback;
    if (DeleteScratchKeys() != ERROR_SUCCESS) {
        Log("recovery: the scratch keys of the registrations cannot be deleted, error %lu", GetLastError());
        return FALSE;
    }
    if (!m_journal.Load(m_strJournalPath)) {
        Log("recovery: the journal %s cannot be read, error %lu", static_cast<const char*>(m_strJournalPath),
            GetLastError());
        return FALSE;
    }
    if (m_journal.IsComplete()) {
        Log("recovery: an interrupted run was complete; its kept files go");
        FinishCompleteRun();
        return TRUE;
    }
    Log("recovery: an interrupted run is undone, %u changes", static_cast<unsigned>(m_journal.m_records.size()));
    return UndoJournal();
}

// Newest first: the program items and registrations before the files they
// name, each file back before its directory goes.
BOOL CSetupMngr::UndoJournal()
{
    std::vector<CJournalRecord> left;
    m_filesNotUndone.RemoveAll();
    const std::vector<CJournalRecord>& records = m_journal.m_records;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (UndoRecord(*it))
            continue;
        // A directory of the run that something else has been put into
        // since is left to its owner; one that holds what the run could
        // not take back goes when that does.
        if (it->m_op == JOURNAL_DIRECTORY && !HoldsAnyRecord(left, it->m_strPath))
            continue;
        if (it->m_op == JOURNAL_PROGRAM_GROUP && !HoldsLinkRecord(left, it->m_strTemp))
            continue;
        left.push_back(*it);
        if (it->m_op == JOURNAL_NEW_FILE || it->m_op == JOURNAL_KEPT_FILE)
            m_filesNotUndone.Add(it->m_strPath);
    }
    std::reverse(left.begin(), left.end());
    DWORD dwError = GetLastError();
    if (!m_journal.Rewrite(left))
        Log("rollback: the journal cannot be rewritten, error %lu", GetLastError());
    Log("rollback: %s", left.empty() ? "complete" : "incomplete, what was not given back stays in the journal");
    SetLastError(dwError);
    return left.empty();
}

BOOL CSetupMngr::UndoRecord(const CJournalRecord& record)
{
    const char* pszPath = record.m_strPath;
    BOOL bDone = TRUE;
    switch (record.m_op) {
    case JOURNAL_DIRECTORY:
        // One that is not empty held something before the run, or something
        // the run could not take back.
        bDone = RemoveDirectoryA(pszPath) || IsNotFound(GetLastError());
        Log("rollback: removed directory %s: %s", pszPath, bDone ? "done" : "kept, not empty");
        return bDone;
    case JOURNAL_NEW_FILE:
    case JOURNAL_KEPT_FILE:
        return UndoFile(record);
    case JOURNAL_REGISTRY_KEY:
        bDone = PutBackKey(record);
        Log("rollback: registry key %s %s: %s", pszPath, record.m_bExisted ? "restored" : "deleted", Outcome(bDone));
        return bDone;
    case JOURNAL_SHARED_COUNT:
        bDone = PutBackSharedCount(record);
        Log("rollback: shared count of %s: %s", pszPath, Outcome(bDone));
        return bDone;
    case JOURNAL_REGISTRY_VALUE:
    case JOURNAL_REGISTRY_NEW_KEY:
        bDone = UndoRegistrationChange(record) == ERROR_SUCCESS;
        Log("rollback: registry %s of the registration of %s: %s",
            record.m_op == JOURNAL_REGISTRY_VALUE ? "value given back" : "key deleted when empty", pszPath,
            Outcome(bDone));
        return bDone;
    case JOURNAL_PROGRAM_GROUP:
    case JOURNAL_PROGRAM_ITEM:
        return UndoProgramFolder(record);
    default:
        return TRUE;
    }
}

// The temporary file goes; the new file goes, or the kept one comes back
// over it. A kept file that is not there was never moved aside.
BOOL CSetupMngr::UndoFile(const CJournalRecord& record)
{
    const char* pszPath = record.m_strPath;
    if (!record.m_strTemp.IsEmpty() && !DeleteFileAnyway(record.m_strTemp))
        Log("rollback: temporary file %s: failed, error %lu", static_cast<const char*>(record.m_strTemp),
            GetLastError());
    if (record.m_op == JOURNAL_NEW_FILE) {
        BOOL bDeleted = DeleteFileAnyway(record.m_strPath);
        LogFileUndo("deleted", pszPath, bDeleted);
        return bDeleted;
    }
    if (IsNotFound(CheckFileExists(record.m_strKept)))
        return TRUE;
    BOOL bBack = MoveFileExA(record.m_strKept, pszPath, MOVEFILE_REPLACE_EXISTING);
    LogFileUndo("restored", pszPath, bBack);
    return bBack;
}

// A file that stays as the run left it is named with the system's reason;
// logging keeps the last-error value.
void CSetupMngr::LogFileUndo(const char* pszHow, const char* pszPath, BOOL bDone)
{
    if (bDone)
        Log("rollback: %s %s: done", pszHow, pszPath);
    else
        Log("rollback: %s %s: failed, error %lu; it stays in the journal", pszHow, pszPath, GetLastError());
}

// Only what the run added goes; a link that was there gets its bytes back.
BOOL CSetupMngr::UndoProgramFolder(const CJournalRecord& record)
{
    if (!record.m_strTemp.IsEmpty())
        return UndoProgramLink(record);
    const char* pszGroup = record.m_strPath;
    CStringArray captions;
    if (record.m_op == JOURNAL_PROGRAM_GROUP) {
        if (!record.m_bExisted)
            Log("rollback: program folder \"%s\" removed when empty: %s", pszGroup,
                Outcome(RemoveProgmanItems(pszGroup, captions, TRUE)));
        return TRUE;
    }
    const char* pszCaption = record.m_strKept;
    if (!record.m_bExisted) {
        captions.Add(record.m_strKept);
        Log("rollback: program item \"%s\" removed: %s", pszCaption,
            Outcome(RemoveProgmanItems(pszGroup, captions, FALSE)));
        return TRUE;
    }
    if (record.m_data.empty())
        return TRUE;
    CString strFolder = GetProgmanGroupFolder(pszGroup);
    DWORD dwWritten = strFolder.IsEmpty() ? ERROR_PATH_NOT_FOUND
                                          : WriteFileBytes(GetProgmanItemLink(strFolder, pszCaption), record.m_data);
    Log("rollback: program item \"%s\" given back: %s", pszCaption, Outcome(dwWritten == ERROR_SUCCESS));
    return dwWritten == ERROR_SUCCESS;
}

// Links the run made itself, in the folder the record names. A folder the
// run made that holds something else since is left to its owner; one that
// holds a link the run could not take back goes when that does.
BOOL CSetupMngr::UndoProgramLink(const CJournalRecord& record)
{
    const char* pszFolder = record.m_strTemp;
    if (record.m_op == JOURNAL_PROGRAM_GROUP) {
        if (record.m_bExisted)
            return TRUE;
        BOOL bRemoved = RemoveDirectoryA(pszFolder) || IsNotFound(GetLastError());
        Log("rollback: program folder %s: %s", pszFolder, bRemoved ? "removed" : "kept, not empty");
        return bRemoved;
    }
    CString strLink = GetProgmanItemLink(pszFolder, record.m_strKept);
    if (!record.m_bExisted) {
        BOOL bDeleted = DeleteFileAnyway(strLink);
        LogFileUndo("deleted", strLink, bDeleted);
        return bDeleted;
    }
    if (record.m_data.empty())
        return TRUE;
    DWORD dwWritten = WriteFileBytes(strLink, record.m_data);
    SetLastError(dwWritten);
    LogFileUndo("restored", strLink, dwWritten == ERROR_SUCCESS);
    return dwWritten == ERROR_SUCCESS;
}

// Whatever the answer, m_pPrevInstall afterwards holds only an earlier
// installation of this product found in this very directory: one left from
// another directory, or a half-read file, would keep shared counts from
// being raised.
BOOL CSetupMngr::CheckExistingInstallation(const CString& strDir)
{
    ClearPrevInstall();
    if (!HasOwnOrNoUninstaller(strDir)) {
        SetLastError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    CString strPath = strDir + "\\Setup.inf";
    DWORD dwExists = CheckFileExists(strPath);
    if (dwExists == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (dwExists != ERROR_SUCCESS) {
        SetLastError(dwExists);
        return FALSE;
    }
    std::unique_ptr<CSetupMngr> pPrev(new (std::nothrow) CSetupMngr);
    DWORD dwRead = pPrev ? ReadInstallInfo(strPath, m_ident, *pPrev) : ERROR_NOT_ENOUGH_MEMORY;
    if (dwRead != ERROR_SUCCESS) {
        SetLastError(dwRead);
        return FALSE;
    }
    m_pPrevInstall = pPrev.release();
    return TRUE;
}

void CSetupMngr::ClearPrevInstall()
{
    delete m_pPrevInstall;
    m_pPrevInstall = nullptr;
}
