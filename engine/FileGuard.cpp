#include "FileGuard.h"

#include "framework/CException.h"
#include "framework/CHandle.h"
#include "platform/FileUtil.h"

namespace {
// Extension of a kept file named after the temporary file beside it.
const char KEPT_EXTENSION[] = ".old";

// A kept file may have been read-only, which refuses its deletion.
void DeleteKeptFile(const CString& strPath)
{
    if (DeleteFileA(strPath) || GetLastError() == ERROR_FILE_NOT_FOUND)
        return;
    if (SetFileAttributesA(strPath, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(strPath))
        return;
    MoveFileExA(strPath, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// The temporary file's own name with another extension is as good as
// free: no second file needs to be created for the name.
BOOL MoveAsideBeside(const CString& strTarget, const CString& strBeside, CString& strKept)
{
    int nDot = strBeside.ReverseFind('.');
    if (strBeside.IsEmpty() || nDot < 0)
        return FALSE;
    strKept = strBeside.Left(nDot) + KEPT_EXTENSION;
    return MoveFileExA(strTarget, strKept, 0);
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

CFileGuard::CFileGuard(CFileGuard&& other) noexcept : m_strPath(other.m_strPath), m_strHome(other.m_strHome)
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

CFileGuard KeepAside(const CString& strTarget, const CString& strBeside)
{
    CheckMovable(strTarget);
    CString strKept;
    if (MoveAsideBeside(strTarget, strBeside, strKept))
        return CFileGuard(strKept, strTarget);
    strKept = MakeTempFileName(GetDirectoryFromPath(strTarget), "");
    if (strKept.IsEmpty())
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
    CFileGuard placeholder(strKept);
    if (!MoveFileExA(strTarget, strKept, MOVEFILE_REPLACE_EXISTING))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
    placeholder.Commit();
    return CFileGuard(strKept, strTarget);
}
