// The install engine: the install information plus the working state of a
// run, and the phases the setup sequence calls in their fixed order. Each
// operation returns a BOOL and leaves the reason for a failure in the
// thread's last-error value (a setup error code or the system's own).
#pragma once

#include "FileGuard.h"
#include "Journal.h"
#include "SetupErrors.h"

#include "model/InstallMngr.h"

class CException;
class CProgmanItemArray;
struct CAppliedCount;

class CSetupMngr : public CInstallMngr {
public:
    CSetupMngr() = default;
    ~CSetupMngr() override;

    // The phases, in the order the setup sequence calls them.
    BOOL LoadInstallInfo(SETUPCALLBACK pfnCallback);
    BOOL CopyFiles();
    BOOL UpdateSystem();
    BOOL RegisterDlls();
    BOOL CreateProgramFolder();
    BOOL SaveInstallInfo();
    // The after-install hook, its temporary files journaled; the journal
    // goes once it is done.
    void RunPostInstall();
    BOOL Rollback();

    // Before anything else: TRUE when a run that ended midway left its
    // journal. Recovering undoes that run, or finishes it when it was
    // complete; FALSE when something could not be given back, which then
    // stays in the journal for the next start.
    BOOL FindInterruptedRun();
    BOOL RecoverInterruptedRun(SETUPCALLBACK pfnCallback);

    // Whether a tree read from a medium can be installed: the application
    // and system directories at its top, and below them only names that
    // stay in their folder and name no device.
    static BOOL IsInstallableTree(const CDirNode& root);

    // Asked by the destination page: FALSE when the directory holds what
    // the run would overwrite without knowing it, ERROR_DIR_NOT_EMPTY in
    // the last-error value for another application's files, else why this
    // product's earlier install information cannot be read.
    BOOL CheckExistingInstallation(const CString& strDir);
    // Drops the earlier installation found in a destination that is no
    // longer the chosen one.
    void ClearPrevInstall();
    BOOL FreeSpaceCur(ULONGLONG& ullFreeBytes);
    // The reserve and the application's bytes, what the destination drive
    // is checked for, summed in 64 bits.
    ULONGLONG DestinationBytesNeeded() const;
    BOOL IsOnWindowsDrive() const;
    // Whether the requirement fits in the free bytes of the destination
    // drive and of the Windows drive; the latter counts only when it is
    // another drive.
    BOOL SpaceSuffices(ULONGLONG ullFree, ULONGLONG ullWinFree) const;
    BOOL EnoughSpace();

    // The copy phase's steps and its path cursor.
    BOOL InstallUninstaller();
    BOOL CopyTree();
    BOOL InstallFile(CInstalledFile* pFile);
    BOOL CheckReadOnly(CInstalledFile* pFile, int& nAnswer);
    BOOL CopyFileData(CInstalledFile* pFile);
    BOOL SkipFileData(CInstalledFile* pFile);
    // Counts a file written into place and logs it.
    void LogCopied(const CString& strPath, DWORD dwSize, const char* pszHow);
    BOOL OpenDataVolume();
    void ReportFileError(const CException* pException, const CString& strPath);
    // Reports through the callback; the last-error value stays as it was.
    void ReportError(int nError, INT_PTR lArg);
    // A line for the log of the run, through the callback.
    void Log(const char* pszFormat, ...);
    // Makes a new "Fil" temporary file beside its target, its record in the
    // journal first, and opens it for writing. Throws the framework's file
    // exception, in the target's name.
    void OpenTempFileBeside(CFile& out, const CString& strDir, const CString& strTarget, CFileGuard& temp);
    CString NewFileBeside(const CString& strPath) override;
    // Moves a finished temporary file to its target; a file there is kept
    // aside under a "Fil" name for a rollback. Throws the framework's file
    // exception.
    void MoveIntoPlace(CFileGuard& temp, const CString& strTarget, BOOL bTargetExists);
    // Makes each missing level of strDir, each journaled before it is made;
    // the topmost new one gets pTopSecurity and is named in strTopCreated.
    BOOL MakeDirectory(const CString& strDir, SECURITY_ATTRIBUTES* pTopSecurity, CString& strTopCreated);
    BOOL MakeJournaledDirectory(const CString& strDir, SECURITY_ATTRIBUTES* pSecurity);
    void KeepAside(CJournalRecord& record);
    void EnterDirectory(CDirNode* pNode);
    void ChangeDirectory(int nIndex);
    CDirNode* GetChildNode(int nIndex);

    // Registers the library, journaling each change to the registry before
    // it is made; applied counts what was changed.
    BOOL RegisterServer(const CString& strPath, CAppliedCount& applied);

    // The program a library's registration entry runs in, started anew:
    // the setup program itself, named by the application at start.
    CString m_strRegistrationHost;
    // How long that may take before the process counts as hung and is
    // ended. A registration takes well under a second; five minutes leave
    // room for a slow machine, a library that registers much, and a virus
    // scanner looking at each file it touches.
    DWORD m_dwRegistrationTimeout = 5 * 60 * 1000;

    // A run that no shell may answer (an unattended one, started by a
    // service or a deployment tool): loading asks Program Manager for no
    // groups, and the program folder is made as shell links in the Programs
    // menu all users share, as the rest of the installation is the
    // machine's too.
    BOOL m_bCommonLinks = FALSE;
    // No program folder at all; the install information then names none.
    BOOL m_bNoProgramFolder = FALSE;

    // Every change of the run, in order, for a rollback now or at the next
    // start. An empty path keeps the journal in memory only.
    CJournal m_journal;
    CString m_strJournalPath;
    // The files the last undo could not put back as they were, named to
    // the user; their records stay in the journal.
    CStringArray m_filesNotUndone;
    ATOM m_atomApp = 0;
    ATOM m_atomSystem = 0;
    CSetupMngr* m_pPrevInstall = nullptr;
    // The bytes this run wrote into files, the uninstaller's among them.
    ULONGLONG m_ullBytesCopied = 0;
    // Something of the run waits for the next restart: a kept file that
    // could not be deleted was left to it.
    BOOL m_bRestartNeeded = FALSE;
    // The file data of the whole tree, the stream the data volumes hold:
    // summed once as the copy begins, for every volume opened.
    ULONGLONG m_ullDataBytes = 0;
    // The number of the next "Fil" name the run tries. Every name the run
    // makes takes the next number, in whatever directory, so that a name
    // is found at the first try however many files one directory gets
    // within one tick; the tick count at the start keeps apart the names
    // of runs that follow each other.
    DWORD m_dwNextFilNumber = GetTickCount();

private:
    BOOL ReadSetupData();
    BOOL RunServerEntry(const CString& strPath, const CString& strScratchName);
    // The run is complete: the files it kept for a rollback go. The journal
    // stays for the after-install hook.
    void ReleaseKeptFiles();
    // What a complete run that ended midway left: its kept files and the
    // hook's temporary files go, and then the journal.
    void FinishCompleteRun();
    void DeleteKeptFiles();
    void DeleteKeptFile(const CString& strPath);
    void EndJournal();
    // Undoes the journal newest first; what could not be undone stays in it.
    BOOL UndoJournal();
    BOOL UndoRecord(const CJournalRecord& record);
    BOOL UndoFile(const CJournalRecord& record);
    void LogFileUndo(const char* pszHow, const char* pszPath, BOOL bDone);
    BOOL UndoProgramFolder(const CJournalRecord& record);
    BOOL UndoProgramLink(const CJournalRecord& record);
    BOOL CreateProgmanFolder(const CProgmanItemArray& items);
    BOOL CreateProgramLinks(const CProgmanItemArray& items);
};
