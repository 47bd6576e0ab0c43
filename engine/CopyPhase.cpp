// The copy phase: the destination directory, the uninstaller and every file
// of the tree from the data volumes. Every file is written completely to a
// "Fil" temporary file beside its target and then moved over it in one step,
// so a target is never left half-written. A file that was in the target's
// way is moved aside, not deleted, so that a failed run can put it back.
#include "SetupMngr.h"

#include "framework/CHandle.h"
#include "model/DataVolume.h"
#include "platform/FileUtil.h"
#include "platform/SecurityDescriptor.h"
#include "platform/VersionInfo.h"

#include <cstdio>

namespace {
const char COPY_UNINSTALLER_SOURCE[] = "\\_Uninst.ex_";
const char COPY_UNINSTALLER_TARGET[] = "\\Uninst.exe";
const char COPY_APP_DIR_NAME[] = "Applikation";
const char COPY_SYSTEM_DIR_NAME[] = "WinSys";
const int COPY_SOURCE_PATH_CHARS = 260;
const DWORD COPY_MAX_DISKS = 0x10000;
const ULONGLONG COPY_MAX_VOLUME_DATA = DATAVOLUME_MAX_BYTES - DATAVOLUME_HEADER_SIZE;
// Temporary names have four hexadecimal digits, as the system gives them.
const DWORD COPY_TEMP_NAMES = 0x10000;
const char TEMP_EXTENSION[] = ".tmp";
const char KEPT_EXTENSION[] = ".old";

INT_PTR StringArg(const CString& str)
{
    return reinterpret_cast<INT_PTR>(&str);
}

ULONGLONG TreeDataBytes(const CDirNode& node)
{
    ULONGLONG ullTotal = 0;
    for (POSITION pos = node.children.GetHeadPosition(); pos;)
        ullTotal += TreeDataBytes(*node.children.GetNext(pos));
    for (POSITION pos = node.files.GetHeadPosition(); pos;)
        ullTotal += node.files.GetNext(pos)->m_dwSize;
    return ullTotal;
}

// The file data the volume of a disk must hold: the capacity for every
// volume but the last, the rest of the stream for the last one.
DWORD ExpectedVolumeData(ULONGLONG ullTotal, DWORD nDiskType, WORD wDisk)
{
    ULONGLONG ullCapacity = DataVolumeCapacity(nDiskType);
    if (ullCapacity == 0)
        return wDisk == 0 ? static_cast<DWORD>(ullTotal) : 0;
    ULONGLONG ullStart = ullCapacity * wDisk;
    if (ullStart >= ullTotal)
        return 0;
    ULONGLONG ullRest = ullTotal - ullStart;
    return static_cast<DWORD>(ullRest < ullCapacity ? ullRest : ullCapacity);
}

// TRUE when the target is there, FALSE when it is not; throws when that
// cannot be told.
BOOL TargetExists(const CString& strTarget)
{
    DWORD dwExists = CheckFileExists(strTarget);
    if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND)
        CFileException::ThrowOsError(static_cast<LONG>(dwExists), strTarget);
    return dwExists == ERROR_SUCCESS;
}

// The kept form of a temporary file's name: the name with another extension.
CString KeptNameOf(const CString& strTemp)
{
    int nDot = strTemp.ReverseFind('.');
    return (nDot < 0 ? strTemp : strTemp.Left(nDot)) + KEPT_EXTENSION;
}

BOOL IsFreeName(const CString& strPath)
{
    return IsNotFound(CheckFileExists(strPath));
}

// The "Fil" name of the number in the directory: four hexadecimal digits,
// as the system gives temporary names.
CString FilName(const CString& strDir, DWORD dwNumber, const char* pszExtension)
{
    CString strPath;
    strPath.Format("%s\\Fil%04lX%s", static_cast<const char*>(strDir),
                   static_cast<unsigned long>(dwNumber % COPY_TEMP_NAMES), pszExtension);
    return strPath;
}

CJournalRecord FileRecord(const CString& strTarget, const CString& strTemp, BOOL bKeep)
{
    CJournalRecord record;
    record.m_op = bKeep ? JOURNAL_KEPT_FILE : JOURNAL_NEW_FILE;
    record.m_strPath = strTarget;
    record.m_strTemp = strTemp;
    if (bKeep)
        record.m_strKept = KeptNameOf(strTemp);
    return record;
}

// The file must be free to be moved: a file held open by another program
// is in use, also where the platform would let it be renamed under that
// program; a directory is no file to replace.
void CheckMovable(const CString& strTarget)
{
    CFileHandle probe(CreateFileA(strTarget, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe.IsEmpty())
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
}

void ThrowLastError(const CString& strPath)
{
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strPath);
}

// The setup runs as an administrator, and what it installs is later run
// and loaded by administrators: a destination it creates must be no more
// open than a program folder, whatever the drive's root hands down to a
// new folder. One that existed keeps the rights its owner gave it.
BOOL MakeDestination(CSetupMngr& mngr)
{
    CSecurityDescriptor protection;
    CString strCreated;
    if (!protection.FromString(PROGRAM_FOLDER_SDDL)
        || !mngr.MakeDirectory(mngr.m_strDestDir, protection.Attributes(), strCreated))
        return FALSE;
    if (!strCreated.IsEmpty())
        mngr.Log("destination created, writable by the system and the administrators only: %s",
                 static_cast<const char*>(strCreated));
    else
        mngr.Log("destination existed, its access rights are left as they are: %s",
                 static_cast<const char*>(mngr.m_strDestDir));
    return TRUE;
}

CInstallDir* TopLevelDir(CDirNode& root, int nIndex)
{
    POSITION pos = root.children.GetHeadPosition();
    for (int i = 0; pos && i < nIndex; ++i)
        root.children.GetNext(pos);
    return pos ? root.children.GetAt(pos)->dir : nullptr;
}
}

BOOL CSetupMngr::CopyFiles()
{
    CInstallDir* pAppDir = TopLevelDir(m_root, 0);
    CInstallDir* pSysDir = TopLevelDir(m_root, 1);
    if (!pAppDir || !pSysDir) {
        SetLastError(SETUP_E_INFO_INVALID);
        return FALSE;
    }
    pAppDir->m_strPath = m_strDestDir;
    pSysDir->m_strPath = m_strSystemDir;
    m_ullBytesTotal = static_cast<ULONGLONG>(m_dwAppBytes) + m_dwSysBytes + m_dwOtherBytes;

    if (!m_strJournalPath.IsEmpty() && !m_journal.Create(m_strJournalPath)) {
        Log("journal %s cannot be made, error %lu", static_cast<const char*>(m_strJournalPath), GetLastError());
        m_pfnCallback(SCB_ERROR, SCBE_GENERAL, 0);
        return FALSE;
    }
    if (!InstallUninstaller() || !CopyTree())
        return FALSE;
    pAppDir->m_strPath = COPY_APP_DIR_NAME;
    pSysDir->m_strPath = COPY_SYSTEM_DIR_NAME;
    return TRUE;
}

BOOL CSetupMngr::InstallUninstaller()
{
    if (!MakeDestination(*this)) {
        ReportError(SCBE_CREATEDIR, StringArg(m_strDestDir));
        return FALSE;
    }
    CString strTarget = m_strDestDir + COPY_UNINSTALLER_TARGET;
    // Declared before the files, so that they are closed before it goes.
    CFileGuard temp;
    CProgressFile dst;
    CProgressFile src;
    try {
        CString strName = GetFileNameFromPath(strTarget);
        if (!m_pfnCallback(SCB_STATUSTEXT, StringArg(strName), 0))
            return FALSE;
        BOOL bExisted = TargetExists(strTarget);

        char szSource[COPY_SOURCE_PATH_CHARS];
        int nLength = std::snprintf(szSource, sizeof szSource, "%s%s", static_cast<const char*>(m_strSourceDir),
                                    COPY_UNINSTALLER_SOURCE);
        if (nLength < 0 || nLength >= COPY_SOURCE_PATH_CHARS)
            CFileException::ThrowOsError(ERROR_FILENAME_EXCED_RANGE, m_strSourceDir + COPY_UNINSTALLER_SOURCE);

        dst.m_pfnProgress = ReportProgress;
        src.Open(szSource, CFile::modeRead | CFile::shareDenyWrite);
        OpenTempFileBeside(dst, m_strDestDir, strTarget, temp);
        BOOL bCopied = dst.CopyFrom(src);
        DWORD dwBytes = dst.GetLength();
        dst.Close();
        src.Close();
        if (!bCopied) {
            SetLastError(SETUP_E_COPY);
            return FALSE;
        }
        MoveIntoPlace(temp, strTarget, bExisted);
        LogCopied(strTarget, dwBytes, bExisted ? "replaced" : "copied");
        return TRUE;
    } catch (CException& e) {
        ReportFileError(&e, strTarget);
        dst.Abort();
        src.Abort();
        return FALSE;
    }
}

// Each name is tried only when it is free, also in its kept form, so that
// a rollback never takes another's file for the run's own; the record goes
// first, and a name taken meanwhile voids it.
void CSetupMngr::OpenTempFileBeside(CFile& out, const CString& strDir, const CString& strTarget, CFileGuard& temp)
{
    BOOL bKeep = TargetExists(strTarget);
    for (DWORD i = 0; i < COPY_TEMP_NAMES; ++i) {
        CString strPath = FilName(strDir, m_dwNextFilNumber++, TEMP_EXTENSION);
        if (!IsFreeName(strPath) || (bKeep && !IsFreeName(KeptNameOf(strPath))))
            continue;
        if (!m_journal.Add(FileRecord(strTarget, strPath, bKeep)))
            ThrowLastError(strTarget);
        try {
            out.Open(strPath, CFile::modeCreateNew | CFile::modeWrite);
            temp = CFileGuard(strPath);
            return;
        } catch (CFileException& e) {
            if (!m_journal.Void())
                ThrowLastError(strTarget);
            if (e.m_lOsError != ERROR_FILE_EXISTS && e.m_lOsError != ERROR_ALREADY_EXISTS)
                CFileException::ThrowOsError(e.m_lOsError, strTarget);
        }
    }
    CFileException::ThrowOsError(ERROR_FILE_EXISTS, strTarget);
}

// After the complete mark: the record names the temporary file itself, and
// the next start deletes it when the run ended before it was moved.
CString CSetupMngr::NewFileBeside(const CString& strPath)
{
    if (!m_journal.IsOpen())
        return CInstallMngr::NewFileBeside(strPath);
    CString strDir = GetDirectoryFromPath(strPath);
    for (DWORD i = 0; i < COPY_TEMP_NAMES; ++i) {
        CJournalRecord record;
        record.m_op = JOURNAL_NEW_FILE;
        record.m_strPath = FilName(strDir, m_dwNextFilNumber++, TEMP_EXTENSION);
        if (!IsFreeName(record.m_strPath))
            continue;
        if (!m_journal.Add(record))
            return CString();
        CFileHandle file(CreateFileA(record.m_strPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
        if (!file.IsEmpty())
            return record.m_strPath;
        DWORD dwError = GetLastError();
        if (!m_journal.Void())
            return CString();
        if (dwError != ERROR_FILE_EXISTS && dwError != ERROR_ALREADY_EXISTS) {
            SetLastError(dwError);
            return CString();
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return CString();
}

// The record of the temporary file already says whether a file is kept;
// a target that came or went since is recorded anew before the move.
void CSetupMngr::MoveIntoPlace(CFileGuard& temp, const CString& strTarget, BOOL bTargetExists)
{
    CJournalRecord record = FileRecord(strTarget, temp.GetPath(), bTargetExists);
    if (!m_journal.m_records.empty() && m_journal.m_records.back().m_strTemp == temp.GetPath()
        && m_journal.m_records.back().m_op != record.m_op && !m_journal.Replace(record))
        ThrowLastError(strTarget);
    if (bTargetExists)
        KeepAside(record);
    if (!MoveFileExA(temp.GetPath(), strTarget, MOVEFILE_REPLACE_EXISTING))
        ThrowLastError(strTarget);
    temp.Commit();
}

// Moves the target aside to the record's kept name, which is not replaced:
// a name taken meanwhile gives way to the next free one, recorded anew.
void CSetupMngr::KeepAside(CJournalRecord& record)
{
    CheckMovable(record.m_strPath);
    for (DWORD i = 0; i < COPY_TEMP_NAMES; ++i) {
        if (MoveFileExA(record.m_strPath, record.m_strKept, 0))
            return;
        DWORD dwError = GetLastError();
        if (dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_FILE_EXISTS)
            CFileException::ThrowOsError(static_cast<LONG>(dwError), record.m_strPath);
        record.m_strKept = FilName(GetDirectoryFromPath(record.m_strPath), m_dwNextFilNumber++, KEPT_EXTENSION);
        if (!m_journal.Replace(record))
            ThrowLastError(record.m_strPath);
    }
    CFileException::ThrowOsError(ERROR_FILE_EXISTS, record.m_strPath);
}

// A file of the directory's name does not count as the directory.
BOOL CSetupMngr::MakeDirectory(const CString& strDir, SECURITY_ATTRIBUTES* pTopSecurity, CString& strTopCreated)
{
    DWORD dwResult = CheckDirectoryExists(strDir);
    for (int n = 1; dwResult == ERROR_PATH_NOT_FOUND; ++n) {
        CString strPrefix = GetPathPrefix(strDir, n);
        dwResult = CheckDirectoryExists(strPrefix);
        if (dwResult == ERROR_PATH_NOT_FOUND) {
            if (!MakeJournaledDirectory(strPrefix, pTopSecurity))
                return FALSE;
            if (strTopCreated.IsEmpty())
                strTopCreated = strPrefix;
            pTopSecurity = nullptr;
            dwResult = ERROR_SUCCESS;
        }
        if (dwResult == ERROR_SUCCESS && strPrefix != strDir)
            dwResult = ERROR_PATH_NOT_FOUND;
    }
    if (dwResult == ERROR_SUCCESS)
        return TRUE;
    SetLastError(dwResult);
    return FALSE;
}

BOOL CSetupMngr::MakeJournaledDirectory(const CString& strDir, SECURITY_ATTRIBUTES* pSecurity)
{
    CJournalRecord record;
    record.m_op = JOURNAL_DIRECTORY;
    record.m_strPath = strDir;
    if (!m_journal.Add(record))
        return FALSE;
    if (CreateDirectoryA(strDir, pSecurity))
        return TRUE;
    DWORD dwError = GetLastError();
    m_journal.Void();
    SetLastError(dwError);
    return FALSE;
}

BOOL CSetupMngr::CopyTree()
{
    m_ullDataBytes = TreeDataBytes(m_root);
    DWORD nDiskType = m_nDiskType;
    BOOL bTooLarge = DataVolumeCapacity(nDiskType) == 0 ? m_ullDataBytes > COPY_MAX_VOLUME_DATA
                                                        : DataVolumeCount(m_ullDataBytes, nDiskType) > COPY_MAX_DISKS;
    if (bTooLarge) {
        m_pfnCallback(SCB_ERROR, SCBE_GENERAL, 0);
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return FALSE;
    }
    if (!OpenDataVolume())
        return FALSE;

    BOOL bOk = TRUE;
    CString strCreated;
    CObject* pItem = nullptr;
    POSITION pos = nullptr;
    for (int nItem = GetFirstItem(pItem, pos); bOk && nItem != ITEM_END; nItem = GetNextItem(pItem, pos)) {
        switch (nItem) {
        case ITEM_ENTER_DIR:
            if (!pItem) {
                m_pfnCallback(SCB_ERROR, SCBE_GENERAL, 0);
                SetLastError(ERROR_INVALID_DATA);
                bOk = FALSE;
                break;
            }
            EnterDirectory(m_pCurNode->children.GetAt(pos));
            if (!MakeDirectory(m_strCurPath, nullptr, strCreated)) {
                ReportError(SCBE_CREATEDIR, StringArg(m_strCurPath));
                bOk = FALSE;
            }
            break;
        case ITEM_LEAVE_DIR:
            ChangeDirectory(-1);
            break;
        case ITEM_FILE:
            bOk = InstallFile(static_cast<CInstalledFile*>(pItem));
            break;
        }
    }
    m_dataFile.Abort();
    return bOk;
}

BOOL CSetupMngr::InstallFile(CInstalledFile* pFile)
{
    CString strName = pFile->GetFileName();
    pFile->m_strPath = m_strCurPath + "\\" + strName;
    if (!m_pfnCallback(SCB_STATUSTEXT, StringArg(strName), 0))
        return FALSE;

    DWORD dwBits = 0;
    if (!CheckInstalledVersion(pFile->m_strPath, pFile->m_version, m_nTopIndex == 1, dwBits)) {
        SetLastError(SETUP_E_TARGET_CHECK);
        return FALSE;
    }
    if (dwBits & VERCHECK_NOT_OLDER) {
        Log("file kept, the installed version is newer or equal: %s (%lu bytes)",
            static_cast<const char*>(pFile->m_strPath), static_cast<unsigned long>(pFile->m_dwSize));
        return SkipFileData(pFile);
    }
    if (!(dwBits & VERCHECK_EXISTS)) {
        if (!CopyFileData(pFile))
            return FALSE;
        LogCopied(pFile->m_strPath, pFile->m_dwSize, "copied");
        return TRUE;
    }

    int nAnswer = 0;
    if (!CheckReadOnly(pFile, nAnswer))
        return FALSE;
    switch (nAnswer) {
    case SCBR_OVERWRITE:
        if (dwBits & VERCHECK_IN_USE) {
            SetLastError(ERROR_SHARING_VIOLATION);
            ReportError(SCBE_FILEINUSE, StringArg(pFile->m_strPath));
            return FALSE;
        }
        if (!CopyFileData(pFile))
            return FALSE;
        LogCopied(pFile->m_strPath, pFile->m_dwSize, "replaced");
        return TRUE;
    case SCBR_SKIP:
        Log("file kept: %s (%lu bytes)", static_cast<const char*>(pFile->m_strPath),
            static_cast<unsigned long>(pFile->m_dwSize));
        return SkipFileData(pFile);
    default:
        return FALSE;
    }
}

// A read-only target answered with Yes keeps its attribute: it is moved
// aside whole when the new file takes its place, and comes back read-only
// if the run fails.
BOOL CSetupMngr::CheckReadOnly(CInstalledFile* pFile, int& nAnswer)
{
    const CString& strTarget = pFile->m_strPath;
    nAnswer = SCBR_OVERWRITE;
    try {
        CFileStatus status;
        if (CFile::GetStatus(strTarget, status) && (status.m_attribute & FILE_ATTRIBUTE_READONLY)) {
            nAnswer = m_pfnCallback(SCB_READONLY, StringArg(strTarget), 0);
            Log("read-only file: %s: %s", static_cast<const char*>(strTarget),
                nAnswer == SCBR_OVERWRITE ? "replace" : nAnswer == SCBR_SKIP ? "keep" : "quit");
        }
        return TRUE;
    } catch (CException& e) {
        ReportFileError(&e, strTarget);
        SetLastError(SETUP_E_ATTRIBUTES);
        return FALSE;
    }
}

BOOL CSetupMngr::CopyFileData(CInstalledFile* pFile)
{
    const CString& strTarget = pFile->m_strPath;
    CFileGuard temp;
    CProgressFile out;
    out.m_pfnProgress = ReportProgress;
    try {
        OpenTempFileBeside(out, m_strCurPath, strTarget, temp);

        // The data begin at the read position of the open volume and may
        // run on over later ones; the next volume is opened only when data
        // are still wanted, so a file ending with its volume asks for no disk.
        for (DWORD dwLeft = pFile->m_dwSize; dwLeft > 0;) {
            if (m_dwDataLeft == 0) {
                ++m_wDisk;
                if (!OpenDataVolume())
                    return FALSE;
            }
            DWORD dwChunk = dwLeft < m_dwDataLeft ? dwLeft : m_dwDataLeft;
            DWORD dwReadPos = m_dataFile.GetLength() - m_dwDataLeft;
            BOOL bCopied = out.CopyBlock(out.SeekToEnd(), dwChunk, m_dataFile, dwReadPos);
            m_dwDataLeft -= dwChunk;
            dwLeft -= dwChunk;
            if (!bCopied) {
                SetLastError(SETUP_E_COPY);
                return FALSE;
            }
        }
        out.Close();

        DWORD dwExists = CheckFileExists(strTarget);
        if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND) {
            SetLastError(SETUP_E_TARGET_ACCESS);
            return FALSE;
        }
        MoveIntoPlace(temp, strTarget, dwExists == ERROR_SUCCESS);
        return TRUE;
    } catch (CException& e) {
        ReportFileError(&e, strTarget);
        out.Abort();
        return FALSE;
    }
}

void CSetupMngr::LogCopied(const CString& strPath, DWORD dwSize, const char* pszHow)
{
    m_ullBytesCopied += dwSize;
    Log("file %s: %s (%lu bytes)", pszHow, static_cast<const char*>(strPath), static_cast<unsigned long>(dwSize));
}

BOOL CSetupMngr::SkipFileData(CInstalledFile* pFile)
{
    DWORD dwSize = pFile->m_dwSize;
    if (dwSize <= m_dwDataLeft) {
        m_dwDataLeft -= dwSize;
    } else {
        // The file's last byte decides the volume to stand in: one that the
        // file fills to its end is kept, its successor not yet opened.
        DWORD dwOver = dwSize - m_dwDataLeft;
        DWORD dwCapacity = DataVolumeCapacity(m_nDiskType);
        if (dwCapacity == 0) {
            m_pfnCallback(SCB_ERROR, SCBE_GENERAL, 0);
            SetLastError(ERROR_INVALID_DATA);
            return FALSE;
        }
        DWORD dwVolumes = (dwOver - 1) / dwCapacity + 1;
        if (m_wDisk + dwVolumes >= COPY_MAX_DISKS) {
            m_pfnCallback(SCB_ERROR, SCBE_GENERAL, 0);
            SetLastError(ERROR_ARITHMETIC_OVERFLOW);
            return FALSE;
        }
        m_wDisk = static_cast<WORD>(m_wDisk + dwVolumes);
        if (!OpenDataVolume())
            return FALSE;
        m_dwDataLeft -= dwOver - (dwVolumes - 1) * dwCapacity;
    }
    return ReportProgress(dwSize) != 0;
}

BOOL CSetupMngr::OpenDataVolume()
{
    BOOL bAsk = m_wDisk != 0;
    m_dataFile.Abort();
    // A volume of another length than its place in the stream asks for
    // would shift every later file's data: it counts as the wrong disk.
    DWORD dwExpected = ExpectedVolumeData(m_ullDataBytes, m_nDiskType, m_wDisk);
    for (;;) {
        if (bAsk && !m_pfnCallback(SCB_INSERTDISK, m_wDisk, static_cast<BYTE>(m_strSourceDir[0]))) {
            SetLastError(SETUP_E_COPY);
            return FALSE;
        }
        bAsk = TRUE;
        // Looked up after each answer: an unattended run points the engine
        // at the folder that holds the disk.
        CString strPath = m_strSourceDir + "\\" + DATAVOLUME_NAME;
        if (CheckFileExists(strPath) != ERROR_SUCCESS)
            continue;
        try {
            m_dataFile.Open(strPath, CFile::modeRead | CFile::shareDenyWrite);
            WORD wIndex = 0;
            if (ReadDataVolumeIndex(m_dataFile, wIndex) && wIndex == m_wDisk &&
                m_dataFile.GetLength() - DATAVOLUME_HEADER_SIZE == dwExpected) {
                m_dwDataLeft = dwExpected;
                return TRUE;
            }
            m_dataFile.Close();
        } catch (CException& e) {
            m_dataFile.Abort();
            ReportFileError(&e, strPath);
            SetLastError(SETUP_E_COPY);
            return FALSE;
        }
    }
}
