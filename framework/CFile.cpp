#include "CFile.h"

CFile::~CFile()
{
    Abort();
}

void CFile::ThrowLastError() const
{
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName);
}

void CFile::Open(const char* pszFileName, UINT nOpenFlags)
{
    Abort();
    m_strFileName = pszFileName;

    DWORD dwAccess = GENERIC_READ;
    if (nOpenFlags & modeWrite)
        dwAccess = GENERIC_WRITE;
    else if (nOpenFlags & modeReadWrite)
        dwAccess = GENERIC_READ | GENERIC_WRITE;

    DWORD dwShare = 0;
    if (nOpenFlags & shareDenyWrite)
        dwShare = FILE_SHARE_READ;
    else if (nOpenFlags & shareDenyNone)
        dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

    DWORD dwCreate = OPEN_EXISTING;
    if (nOpenFlags & modeCreateNew)
        dwCreate = CREATE_NEW;
    else if (nOpenFlags & modeCreate)
        dwCreate = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    HANDLE h = CreateFileA(pszFileName, dwAccess, dwShare, nullptr, dwCreate,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        ThrowLastError();
    m_hFile = h;
}

UINT CFile::Read(void* pBuf, UINT nCount)
{
    DWORD dwRead = 0;
    if (nCount == 0)
        return 0;
    if (!ReadFile(m_hFile, pBuf, nCount, &dwRead, nullptr))
        ThrowLastError();
    return dwRead;
}

void CFile::Write(const void* pBuf, UINT nCount)
{
    DWORD dwWritten = 0;
    if (nCount == 0)
        return;
    if (!WriteFile(m_hFile, pBuf, nCount, &dwWritten, nullptr))
        ThrowLastError();
    // A short write means the volume is full.
    if (dwWritten != nCount)
        CFileException::ThrowOsError(ERROR_DISK_FULL, m_strFileName);
}

DWORD CFile::Seek(LONG lOff, UINT nFrom)
{
    DWORD dwPos = SetFilePointer(m_hFile, lOff, nullptr, nFrom);
    if (dwPos == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        ThrowLastError();
    return dwPos;
}

DWORD CFile::GetPosition() const
{
    DWORD dwPos = SetFilePointer(m_hFile, 0, nullptr, FILE_CURRENT);
    if (dwPos == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        ThrowLastError();
    return dwPos;
}

DWORD CFile::GetLength() const
{
    DWORD dwLen = GetFileSize(m_hFile, nullptr);
    if (dwLen == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        ThrowLastError();
    return dwLen;
}

void CFile::SetLength(DWORD dwNewLen)
{
    Seek(static_cast<LONG>(dwNewLen), begin);
    if (!SetEndOfFile(m_hFile))
        ThrowLastError();
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        ThrowLastError();
}

void CFile::Abort()
{
    if (IsOpen()) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

BOOL CFile::GetStatus(const char* pszFileName, CFileStatus& status)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(pszFileName, GetFileExInfoStandard, &data))
        return FALSE;
    status.m_ctime = data.ftCreationTime;
    status.m_atime = data.ftLastAccessTime;
    status.m_mtime = data.ftLastWriteTime;
    status.m_size = data.nFileSizeLow;
    status.m_attribute = data.dwFileAttributes;
    return TRUE;
}

void CFile::SetStatus(const char* pszFileName, const CFileStatus& status)
{
    // The time stamps go back first: once the read-only bit is set the file
    // could no longer be opened for writing its times.
    DWORD dwNow = GetFileAttributesA(pszFileName);
    if (dwNow == INVALID_FILE_ATTRIBUTES)
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszFileName);
    if (dwNow & FILE_ATTRIBUTE_READONLY) {
        if (!SetFileAttributesA(pszFileName, dwNow & ~FILE_ATTRIBUTE_READONLY))
            CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszFileName);
    }
    HANDLE h = CreateFileA(pszFileName, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszFileName);
    BOOL bTimes = SetFileTime(h, &status.m_ctime, &status.m_atime, &status.m_mtime);
    DWORD dwError = GetLastError();
    CloseHandle(h);
    if (!bTimes)
        CFileException::ThrowOsError(static_cast<LONG>(dwError), pszFileName);
    DWORD dwAttr = status.m_attribute ? status.m_attribute : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesA(pszFileName, dwAttr))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszFileName);
}

void CFile::Remove(const char* pszFileName)
{
    if (!DeleteFileA(pszFileName))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszFileName);
}

void CFile::Rename(const char* pszOldName, const char* pszNewName)
{
    if (!MoveFileA(pszOldName, pszNewName))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszOldName);
}
