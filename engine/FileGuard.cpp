#include "FileGuard.h"

CFileGuard::CFileGuard(CFileGuard&& other) noexcept : m_strPath(other.m_strPath)
{
    other.m_strPath.Empty();
}

CFileGuard& CFileGuard::operator=(CFileGuard&& other) noexcept
{
    if (this != &other) {
        Undo();
        m_strPath = other.m_strPath;
        other.m_strPath.Empty();
    }
    return *this;
}

CFileGuard::~CFileGuard()
{
    Undo();
}

void CFileGuard::Undo()
{
    if (m_strPath.IsEmpty())
        return;
    DWORD dwError = GetLastError();
    DeleteFileA(m_strPath);
    m_strPath.Empty();
    SetLastError(dwError);
}
