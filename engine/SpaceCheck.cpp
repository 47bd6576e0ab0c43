// Free space on the destination and Windows drives.
#include "SetupMngr.h"

#include "platform/FileUtil.h"

BOOL CSetupMngr::FreeSpaceCur(DWORD& dwFreeBytes)
{
    if (m_nCurDrive < 0 || m_nCurDrive >= m_drives.GetSize()) {
        SetLastError(ERROR_INVALID_DRIVE);
        return FALSE;
    }
    return GetDriveFreeSpace(m_drives[m_nCurDrive], dwFreeBytes);
}

// The required sums are taken in 64 bits: byte counts whose sum passes
// 4 GB must not wrap round to a small requirement that any drive meets.
ULONGLONG CSetupMngr::DestinationBytesNeeded() const
{
    return static_cast<ULONGLONG>(m_dwReserveBytes) + m_dwAppBytes;
}

BOOL CSetupMngr::EnoughSpace()
{
    DWORD dwFree = 0;
    if (!FreeSpaceCur(dwFree))
        return FALSE;
    ULONGLONG ullAppNeed = DestinationBytesNeeded();
    if (m_drives[m_nCurDrive] == m_nWinDrive) {
        if (dwFree >= ullAppNeed + m_dwSysBytes)
            return TRUE;
    } else if (dwFree >= ullAppNeed) {
        DWORD dwWinFree = 0;
        if (!GetDriveFreeSpace(m_nWinDrive, dwWinFree))
            return FALSE;
        if (dwWinFree >= m_dwSysBytes)
            return TRUE;
    }
    SetLastError(SETUP_W_DISK_SPACE);
    return FALSE;
}
