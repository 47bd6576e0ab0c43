#include "SetupInfFile.h"

#include "platform/FileUtil.h"

#include <new>

namespace {
const int ARCHIVE_BUFFER = 4096;
}

CSetupInfFile::LoadResult CSetupInfFile::Load(CInstallMngr& info) const
{
    DWORD dwExists = CheckFileExists(m_strPath);
    if (dwExists == ERROR_FILE_NOT_FOUND || dwExists == ERROR_PATH_NOT_FOUND)
        return MISSING;
    if (dwExists != ERROR_SUCCESS)
        return DAMAGED;
    try {
        return ReadWhole(info) ? LOADED : DAMAGED;
    } catch (CException&) {
        return DAMAGED;
    } catch (std::bad_alloc&) {
        return DAMAGED;
    }
}

BOOL CSetupInfFile::ReadWhole(CInstallMngr& info) const
{
    CFile file;
    file.Open(m_strPath, CFile::modeRead | CFile::shareDenyWrite);
    CArchive ar(&file, CArchive::load, ARCHIVE_BUFFER);
    if (!info.ReadHeader(ar))
        return FALSE;
    info.Serialize(ar);
    return ar.GetBytesLeft() == 0;
}

BOOL CSetupInfFile::Save(CInstallMngr& info) const
{
    CString strTemp = MakeTempFileName(GetDirectoryFromPath(m_strPath), "");
    if (strTemp.IsEmpty())
        return FALSE;
    if (WriteTo(strTemp, info) && MoveFileExA(strTemp, m_strPath, MOVEFILE_REPLACE_EXISTING))
        return TRUE;
    DWORD dwError = GetLastError();
    DeleteFileA(strTemp);
    SetLastError(dwError);
    return FALSE;
}

BOOL CSetupInfFile::WriteTo(const char* pszTemp, CInstallMngr& info) const
{
    CFile file;
    try {
        file.Open(pszTemp, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store, ARCHIVE_BUFFER);
        info.Serialize(ar);
        ar.Close();
        file.Close();
        return TRUE;
    } catch (CException&) {
        file.Abort();
    } catch (std::bad_alloc&) {
        file.Abort();
    }
    return FALSE;
}

BOOL CSetupInfFile::Delete() const
{
    SetFileAttributesA(m_strPath, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(m_strPath);
}
