// Undoing a failed run from the notes the phases left, and recognising an
// earlier installation in a destination directory.
#include "SetupMngr.h"
#include "SystemKeys.h"

#include "platform/FileUtil.h"
#include "platform/Progman.h"
#include "platform/Registry.h"
#include "platform/RegistryTree.h"
#include "platform/VersionInfo.h"

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

BOOL IsListed(const CInstalledFileList& files, const CInstalledFile* pFile)
{
    for (POSITION pos = files.GetHeadPosition(); pos;)
        if (files.GetNext(pos) == pFile)
            return TRUE;
    return FALSE;
}

const char* Outcome(BOOL bDone)
{
    return bDone ? "done" : "failed";
}

// A key that existed gets back exactly what it held; one the run created goes.
BOOL RestoreKey(HKEY hRoot, BOOL bWritten, BOOL bExisted, const char* pszKey, const CRegKeyCopy& old)
{
    if (!bWritten)
        return TRUE;
    if (!bExisted) {
        DeleteRegKeyTree(hRoot, pszKey);
        return TRUE;
    }
    return RestoreRegKeyTree(hRoot, pszKey, old) == ERROR_SUCCESS;
}

// A count as this run left it gets back the value it had before, 0
// included, or goes when the run created it. A count some other program
// has changed meanwhile keeps that change and loses only this run's one: a
// 1 goes, a higher one is lowered, and a 0 is left alone rather than
// wrapped round.
void PutBackSharedCounts(const std::vector<CSharedCountNote>& notes)
{
    for (const CSharedCountNote& note : notes) {
        const CString& strPath = note.m_pFile->m_strPath;
        DWORD dwCount = 0;
        if (GetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath, dwCount) != ERROR_SUCCESS)
            continue;
        BOOL bAsLeft = dwCount == note.m_dwWritten;
        if (bAsLeft ? !note.m_bExisted : dwCount == 1)
            DeleteRegValue(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath);
        else if (dwCount > 0)
            SetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath, dwCount - 1);
    }
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

// Reads "\Setup.inf" into info. A file of another product, or one that
// cannot be read to its end, gives FALSE.
BOOL ReadInstallInfo(const CString& strPath, const BYTE* pIdent, CInstallMngr& info)
{
    try {
        CFile file;
        file.Open(strPath, CFile::modeRead | CFile::shareDenyWrite);
        CArchive ar(&file, CArchive::load, 4096);
        if (!info.ReadHeader(ar) || !IsSameProduct(pIdent, info.m_ident))
            return FALSE;
        info.Serialize(ar);
        ar.Close();
        file.Close();
        return TRUE;
    } catch (CException&) {
        return FALSE;
    } catch (std::bad_alloc&) {
        return FALSE;
    }
}
}

// Each step is done whatever became of the ones before: a file that cannot
// be deleted or a registry operation that fails is passed over on its own.
// FALSE when a value or key this run overwrote could not be written back.
BOOL CSetupMngr::Rollback()
{
    ChangeDirectory(-2);
    SetTopLevelPaths(m_root, m_strDestDir, m_strSystemDir);
    RollbackFiles();

    RollbackInfo& rb = m_rollback;
    CSystemKeys keys(*this);
    // The code of the last entry that could not be written back is the one told.
    BOOL bRestored = TRUE;
    DWORD dwError = ERROR_SUCCESS;
    auto note = [&bRestored, &dwError](BOOL bDone) {
        if (!bDone) {
            bRestored = FALSE;
            dwError = GetLastError();
        }
    };
    note(RestoreKey(HKEY_LOCAL_MACHINE, rb.m_bAppPathWritten, rb.m_bAppPathExisted, keys.m_strAppPathKey,
                    rb.m_oldAppPathKey));
    note(RestoreKey(HKEY_LOCAL_MACHINE, rb.m_bUninstallKeyWritten, rb.m_bUninstallKeyExisted, keys.m_strUninstallKey,
                    rb.m_oldUninstallKey));
    PutBackSharedCounts(rb.m_sharedCounts);
    note(RestoreKey(HKEY_CLASSES_ROOT, m_bExtKeyWritten, m_bExtKeyExisted, keys.m_strExtKey, rb.m_oldExtKey));
    note(RestoreKey(HKEY_CLASSES_ROOT, m_bDocTypeWritten, m_bDocTypeExisted, keys.m_strDocType, rb.m_oldDocType));
    Log("rollback: registry entries %s", bRestored ? "restored or deleted" : "not all restored");
    if (bRestored)
        return TRUE;
    SetLastError(dwError);
    return FALSE;
}

// The program items first, then the libraries, while their files are still
// there; the files back in reverse order; the directories deepest first.
void CSetupMngr::RollbackFiles()
{
    RollbackInfo& rb = m_rollback;
    if (rb.m_bProgramFolderWritten)
        Log("rollback: %d program items removed from \"%s\": %s", rb.m_addedItems.GetSize(),
            static_cast<const char*>(m_strProgramFolder),
            Outcome(RemoveProgmanItems(m_strProgramFolder, rb.m_addedItems, !rb.m_bGroupExisted)));
    // No class registration may point at a library about to be deleted.
    for (POSITION pos = rb.m_registeredFiles.GetHeadPosition(); pos;) {
        const CInstalledFile* pFile = rb.m_registeredFiles.GetNext(pos);
        if (IsListed(rb.m_newFiles, pFile))
            Log("rollback: unregistered %s: %s", static_cast<const char*>(pFile->m_strPath),
                Outcome(UnregisterServer(pFile->m_strPath)));
    }
    if (rb.m_bUninstallerNew)
        Log("rollback: deleted %s\\Uninst.exe: %s", static_cast<const char*>(m_strDestDir),
            Outcome(DeleteFileA(m_strDestDir + "\\Uninst.exe")));
    for (POSITION pos = rb.m_newFiles.GetHeadPosition(); pos;) {
        const CString& strPath = rb.m_newFiles.GetNext(pos)->m_strPath;
        Log("rollback: deleted %s: %s", static_cast<const char*>(strPath), Outcome(DeleteFileA(strPath)));
    }
    // Last kept, first back: a name kept twice ends with its oldest file.
    for (auto it = rb.m_keptFiles.rbegin(); it != rb.m_keptFiles.rend(); ++it) {
        CString strHome = it->GetHome();
        Log("rollback: restored %s: %s", static_cast<const char*>(strHome), Outcome(it->Undo()));
    }
    // A directory that is not empty held something before the run, or
    // something the run could not take back.
    for (int i = rb.m_createdDirs.GetSize() - 1; i >= 0; --i)
        Log("rollback: removed directory %s: %s", static_cast<const char*>(rb.m_createdDirs[i]),
            Outcome(RemoveDirectoryA(rb.m_createdDirs[i])));
}

// Whatever the answer, m_pPrevInstall afterwards holds only an earlier
// installation of this product found in this very directory: one left from
// another directory, or a half-read file, would keep shared counts from
// being raised.
BOOL CSetupMngr::CheckExistingInstallation(const CString& strDir)
{
    ClearPrevInstall();
    if (!HasOwnOrNoUninstaller(strDir))
        return FALSE;
    CString strPath = strDir + "\\Setup.inf";
    DWORD dwExists = CheckFileExists(strPath);
    if (dwExists == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (dwExists != ERROR_SUCCESS)
        return FALSE;
    std::unique_ptr<CSetupMngr> pPrev(new (std::nothrow) CSetupMngr);
    if (!pPrev || !ReadInstallInfo(strPath, m_ident, *pPrev))
        return FALSE;
    m_pPrevInstall = pPrev.release();
    return TRUE;
}

void CSetupMngr::ClearPrevInstall()
{
    delete m_pPrevInstall;
    m_pPrevInstall = nullptr;
}
