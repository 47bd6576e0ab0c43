// Undoing a failed run from the notes the phases left, and recognising an
// earlier installation in a destination directory.
#include "SetupMngr.h"
#include "SystemKeys.h"

#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "platform/VersionInfo.h"

#include <cstring>
#include <memory>
#include <new>

namespace {
// Position of "InternalName" among the version strings.
const int VERSION_INTERNAL_NAME = 3;
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

void DeleteNewFiles(const CInstalledFileList& files)
{
    for (POSITION pos = files.GetHeadPosition(); pos;)
        DeleteFileA(files.GetNext(pos)->m_strPath);
}

// FALSE when a kept value could not be written back: the key then holds
// this run's value, which the user must hear of.
BOOL RestoreOrDelete(BOOL bWritten, BOOL bExisted, const char* pszKey, const char* pszFirst,
                     const char* pszFirstText, const char* pszSecond, const char* pszSecondText)
{
    if (!bWritten)
        return TRUE;
    if (!bExisted) {
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, pszKey);
        return TRUE;
    }
    BOOL bFirst = RestoreRegString(HKEY_LOCAL_MACHINE, pszKey, pszFirst, pszFirstText) == ERROR_SUCCESS;
    BOOL bSecond = RestoreRegString(HKEY_LOCAL_MACHINE, pszKey, pszSecond, pszSecondText) == ERROR_SUCCESS;
    return bFirst && bSecond;
}

// A count of 1 was created by this run and goes; a higher one was raised
// and is lowered. A count some other program has meanwhile set to 0 is
// left alone rather than wrapped round.
void LowerSharedCounts(const CInstalledFileList& files)
{
    for (POSITION pos = files.GetHeadPosition(); pos;) {
        const CString& strPath = files.GetNext(pos)->m_strPath;
        DWORD dwCount = 0;
        if (GetRegDword(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath, dwCount) != ERROR_SUCCESS)
            continue;
        if (dwCount == 1)
            DeleteRegValue(HKEY_LOCAL_MACHINE, SYSKEY_SHARED_DLLS, strPath);
        else if (dwCount > 1)
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
// FALSE when a value this run overwrote could not be written back.
BOOL CSetupMngr::Rollback()
{
    ChangeDirectory(-2);
    SetTopLevelPaths(m_root, m_strDestDir, m_strSystemDir);

    if (m_rollback.m_bUninstallerNew)
        DeleteFileA(m_strDestDir + "\\Uninst.exe");
    DeleteNewFiles(m_rollback.m_newFiles);

    CSystemKeys keys(*this);
    BOOL bAppPath = RestoreOrDelete(m_rollback.m_bAppPathWritten, m_rollback.m_bAppPathExisted,
                                    keys.m_strAppPathKey, nullptr, m_rollback.m_strOldAppPath, "Path",
                                    m_rollback.m_strOldAppPathDir);
    DWORD dwError = GetLastError();
    BOOL bUninstall = RestoreOrDelete(m_rollback.m_bUninstallKeyWritten, m_rollback.m_bUninstallKeyExisted,
                                      keys.m_strUninstallKey, "DisplayName", m_rollback.m_strOldDisplayName,
                                      "UninstallString", m_rollback.m_strOldUninstallString);
    if (!bUninstall)
        dwError = GetLastError();
    LowerSharedCounts(m_rollback.m_sharedFiles);
    if (m_bExtKeyWritten && !m_bExtKeyExisted)
        DeleteRegKeyTree(HKEY_CLASSES_ROOT, keys.m_strExtKey);
    if (m_bDocTypeWritten && !m_bDocTypeExisted)
        DeleteRegKeyTree(HKEY_CLASSES_ROOT, keys.m_strDocType);
    if (bAppPath && bUninstall)
        return TRUE;
    SetLastError(dwError);
    return FALSE;
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
