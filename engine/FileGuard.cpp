#include "FileGuard.h"

#include "framework/CException.h"
#include "framework/CHandle.h"
#include "platform/FileUtil.h"

#include <utility>

namespace {
// A kept file may have been read-only, which would refuse its deletion.
void DeleteKeptFile(const CString& strPath)
{
    SetFileAttributesA(strPath, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(strPath) && GetLastError() != ERROR_FILE_NOT_FOUND)
        MoveFileExA(strPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
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
}

CFileGuard::CFileGuard(const CString& strPath, const CString& strHome) : m_strPath(strPath), m_strHome(strHome) {}

CFileGuard::CFileGuard(CFileGuard&& other) noexcept
    : m_strPath(std::move(other.m_strPath)), m_strHome(std::move(other.m_strHome))
{
    other.m_strPath.Empty();
    other.m_strHome.Empty();
}

CFileGuard& CFileGuard::operator=(CFileGuard&& other) noexcept
{
    if (this != &other) {
        Undo();
        m_strPath = other.m_strPath;
        m_strHome = other.m_strHome;
        other.m_strPath.Empty();
        other.m_strHome.Empty();
    }
    return *this;
}

CFileGuard::~CFileGuard()
{
    Undo();
}

void CFileGuard::Commit()
{
    if (!m_strHome.IsEmpty() && !m_strPath.IsEmpty()) {
        DWORD dwError = GetLastError();
        DeleteKeptFile(m_strPath);
        SetLastError(dwError);
    }
    m_strPath.Empty();
    m_strHome.Empty();
}

BOOL CFileGuard::Undo()
{
    if (m_strPath.IsEmpty())
        return TRUE;
    DWORD dwError = GetLastError();
    if (m_strHome.IsEmpty()) {
        DeleteFileA(m_strPath);
    } else if (!MoveFileExA(m_strPath, m_strHome, MOVEFILE_REPLACE_EXISTING)) {
        return FALSE;
    }
    m_strPath.Empty();
    m_strHome.Empty();
    SetLastError(dwError);
    return TRUE;
}

CFileGuard KeepAside(const CString& strTarget)
{
    CheckMovable(strTarget);
    CString strKept = MakeTempFileName(GetDirectoryFromPath(strTarget), "");
    if (strKept.IsEmpty())
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
    CFileGuard placeholder(strKept);
    if (!MoveFileExA(strTarget, strKept, MOVEFILE_REPLACE_EXISTING))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
    placeholder.Commit();
    return CFileGuard(strKept, strTarget);
}
