// Free space on the destination and Windows drives.
#include "SetupMngr.h"

#include "platform/FileUtil.h"

BOOL CSetupMngr::FreeSpaceCur(ULONGLONG& ullFreeBytes)
{
    if (m_nCurDrive < 0 || m_nCurDrive >= m_drives.GetSize()) {
        SetLastError(ERROR_INVALID_DRIVE);
        return FALSE;
    }
    return GetDriveFreeSpace(m_drives[m_nCurDrive], ullFreeBytes);
}

// The required sums are taken in 64 bits: byte counts whose sum passes
// 4 GB must not wrap round to a small requirement that any drive meets.
ULONGLONG CSetupMngr::DestinationBytesNeeded() const
{
    return static_cast<ULONGLONG>(m_dwReserveBytes) + m_dwAppBytes;
}

BOOL CSetupMngr::IsOnWindowsDrive() const
{
    return m_drives[m_nCurDrive] == m_nWinDrive;
}

BOOL CSetupMngr::SpaceSuffices(ULONGLONG ullFree, ULONGLONG ullWinFree) const
{
    if (IsOnWindowsDrive())
        return ullFree >= DestinationBytesNeeded() + m_dwSysBytes;
    return ullFree >= DestinationBytesNeeded() && ullWinFree >= m_dwSysBytes;
}

// The Windows drive is asked only when it is another drive and the
// destination has room.
BOOL CSetupMngr::EnoughSpace()
{
    ULONGLONG ullFree = 0;
    if (!FreeSpaceCur(ullFree))
        return FALSE;
    ULONGLONG ullWinFree = 0;
    if (!IsOnWindowsDrive() && ullFree >= DestinationBytesNeeded() && !GetDriveFreeSpace(m_nWinDrive, ullWinFree))
        return FALSE;
    if (SpaceSuffices(ullFree, ullWinFree))
        return TRUE;
    SetLastError(SETUP_W_DISK_SPACE);
    return FALSE;
}
