// Saving the install information as "\Setup.inf" for the uninstaller. The
// information is written whole into a new temporary file beside the target
// and then moved into place in one step; an earlier installation's file is
// kept aside until the run is complete, so that a failed save, or any later
// failure, gives it back. No temporary file outlives the save.
#include "SetupMngr.h"

#include "framework/CHandle.h"
#include "framework/CNameSet.h"
#include "platform/FileUtil.h"

#include <new>

namespace {
// The run is marked complete, and the originals go, only once every file
// it wrote has reached the disk: from then on a machine that stops keeps
// the installation, so it must be whole.
void FlushWrittenFiles(const std::vector<CJournalRecord>& records)
{
    for (const CJournalRecord& record : records) {
        if (record.m_op != JOURNAL_KEPT_FILE && record.m_op != JOURNAL_NEW_FILE)
            continue;
        CFileHandle file(CreateFileA(record.m_strPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsEmpty())
            FlushFileBuffers(file);
    }
}

// The names the run wrote files under. A kept name is free when it is
// recorded, so a target of that name can only come later: it holds a
// product file now, and the file once kept there went aside again, under
// the later record's kept name, and goes from there.
CNameSet TargetNames(const std::vector<CJournalRecord>& records)
{
    CNameSet names;
    for (const CJournalRecord& record : records)
        if (record.m_op == JOURNAL_NEW_FILE || record.m_op == JOURNAL_KEPT_FILE)
            names.insert(record.m_strPath);
    return names;
}
}

BOOL CSetupMngr::SaveInstallInfo()
{
    CString strTarget = m_strDestDir + "\\Setup.inf";
    // Declared before the file, so that the file is closed before it goes.
    CFileGuard temp;
    CFile file;
    // A destination that went since the copy has no room for a temporary
    // file: a failure without a message of its own.
    DWORD dwDir = CheckDirectoryExists(m_strDestDir);
    if (dwDir != ERROR_SUCCESS) {
        ReportError(SCBE_GENERAL, 0);
        SetLastError(dwDir);
        return FALSE;
    }
    try {
        OpenTempFileBeside(file, m_strDestDir, strTarget, temp);
        DWORD dwExists = CheckFileExists(strTarget);
        if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND)
            return FALSE;
        CArchive ar(&file, CArchive::store, 4096);
        Serialize(ar);
        ar.Close();
        file.Close();
        MoveIntoPlace(temp, strTarget, dwExists == ERROR_SUCCESS);
        Log("install information saved: %s", static_cast<const char*>(strTarget));
        ReleaseKeptFiles();
        return TRUE;
    } catch (CException& e) {
        file.Abort();
        ReportFileError(&e, strTarget);
    } catch (std::bad_alloc&) {
        file.Abort();
        ReportFileError(nullptr, strTarget);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return FALSE;
}

// Nothing after the saved information can fail the run: from the complete
// mark on, a run that ends midway is finished by the next start, not undone.
void CSetupMngr::ReleaseKeptFiles()
{
    FlushWrittenFiles(m_journal.m_records);
    CJournalRecord complete;
    complete.m_op = JOURNAL_COMPLETE;
    if (!m_journal.Add(complete))
        Log("warning: journal: the complete mark cannot be written, error %lu", GetLastError());
    DeleteKeptFiles();
}

void CSetupMngr::RunPostInstall()
{
    CInstallMngr::RunPostInstall();
    EndJournal();
}

// The files recorded after the complete mark are the after-install hook's
// temporary files: one that is there was never moved into place.
void CSetupMngr::FinishCompleteRun()
{
    DeleteKeptFiles();
    BOOL bComplete = FALSE;
    for (const CJournalRecord& record : m_journal.m_records) {
        bComplete = bComplete || record.m_op == JOURNAL_COMPLETE;
        if (bComplete && record.m_op == JOURNAL_NEW_FILE && !DeleteFileAnyway(record.m_strPath))
            Log("warning: recovery: temporary file %s: failed, error %lu", static_cast<const char*>(record.m_strPath),
                GetLastError());
    }
    EndJournal();
}

void CSetupMngr::DeleteKeptFiles()
{
    const std::vector<CJournalRecord>& records = m_journal.m_records;
    CNameSet targets = TargetNames(records);
    for (const CJournalRecord& record : records)
        if (record.m_op == JOURNAL_KEPT_FILE && targets.count(record.m_strKept) == 0)
            DeleteKeptFile(record.m_strKept);
}

// A kept file may have been read-only, which refuses its deletion; one in
// use goes at the next restart, which the run then waits for.
void CSetupMngr::DeleteKeptFile(const CString& strPath)
{
    if (DeleteFileAnyway(strPath))
        return;
    DWORD dwError = GetLastError();
    if (MoveFileExA(strPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        m_bRestartNeeded = TRUE;
        Log("kept file %s: cannot be deleted now, error %lu; it goes at the next restart",
            static_cast<const char*>(strPath), static_cast<unsigned long>(dwError));
        return;
    }
    Log("warning: kept file %s: cannot be deleted, error %lu, nor left to the next restart, error %lu",
        static_cast<const char*>(strPath), static_cast<unsigned long>(dwError), GetLastError());
}

void CSetupMngr::EndJournal()
{
    if (!m_journal.Rewrite(std::vector<CJournalRecord>()))
        Log("warning: journal: cannot be removed, error %lu", GetLastError());
}
