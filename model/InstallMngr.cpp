#include "InstallMngr.h"

#include "SampleFixup.h"
#include "TrackedAlloc.h"

#include "platform/FileUtil.h"

#include <cstring>

IMPLEMENT_SERIAL(CInstallMngr, CObject, 1)
IMPLEMENT_SERIAL(CSetupEdit, CObject, 1)

namespace {
// The install information that ReportProgress reports for; set by Reset.
CInstallMngr* g_pCurrentInfo = nullptr;
}

CInstallMngr::CInstallMngr()
{
    m_pfnAfterInstall = FixSampleProjects;
    memset(m_ident, 0, sizeof m_ident);
}

CInstallMngr::~CInstallMngr()
{
    SetReadMeText(nullptr);
    if (g_pCurrentInfo == this)
        g_pCurrentInfo = nullptr;
}

void CInstallMngr::Reset()
{
    m_nDiskType = 0;
    m_wExtra = 0;
    m_nCurDrive = 0;
    m_nWinDrive = 0;
    m_dwAppBytes = m_dwSysBytes = m_dwSpare = m_dwOtherBytes = m_dwReserveBytes = 0;
    SetReadMeText(nullptr);
    m_nDepth = 0;
    memset(m_ident, 0, sizeof m_ident);
    m_ullBytesDone = m_ullBytesTotal = 0;
    m_wDisk = 0;
    m_dwDataLeft = 0;
    m_nTopIndex = 3;
    g_pCurrentInfo = this;
}

BOOL CInstallMngr::ReadHeader(CArchive& ar)
{
    BYTE header[12];
    if (ar.Read(header, sizeof header) != sizeof header)
        return FALSE;
    DWORD dwMagic = static_cast<DWORD>(header[0]) | (static_cast<DWORD>(header[1]) << 8) |
                    (static_cast<DWORD>(header[2]) << 16) | (static_cast<DWORD>(header[3]) << 24);
    if (dwMagic != SETUP_MAGIC)
        return FALSE;
    return ar.Read(m_ident, sizeof m_ident) == sizeof m_ident;
}

void CInstallMngr::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << SETUP_MAGIC << static_cast<DWORD>(1) << static_cast<DWORD>(0);
        ar.Write(m_ident, sizeof m_ident);
        SerializeTree(ar);
        ar << static_cast<BYTE>(m_nDiskType) << m_wExtra;
        ar << m_dwAppBytes << m_dwSysBytes << m_dwSpare << m_dwOtherBytes << m_dwReserveBytes;
        ar << m_strDestDir << m_strProductName << m_strProgramFolder;
        ar << static_cast<LONG>(m_nReadMeLen) << m_strTitle;
        if (m_nReadMeLen > 0)
            ar.Write(m_pszReadMe, static_cast<UINT>(m_nReadMeLen));
        return;
    }

    m_strMainExe = "Mapsmith.exe";
    ClearTree();
    SerializeTree(ar);
    BYTE bDiskType;
    ar >> bDiskType;
    m_nDiskType = (m_nDiskType & ~0xFFu) | bDiskType;
    ar >> m_wExtra;
    ar >> m_dwAppBytes >> m_dwSysBytes >> m_dwSpare >> m_dwOtherBytes >> m_dwReserveBytes;
    ar >> m_strDestDir >> m_strProductName >> m_strProgramFolder;
    LONG nReadMeLen;
    ar >> nReadMeLen;
    ar >> m_strTitle;
    SetReadMeText(nullptr);
    if (nReadMeLen < 0)
        throw CArchiveException(CArchiveException::genericException);
    m_nReadMeLen = nReadMeLen;
    if (nReadMeLen > 0)
        ReadReadMe(ar);
}

// The read-me block may be cut off (that still loads); the buffer is sized
// by what the file can deliver, so a hostile length cannot demand memory
// the file does not back, and the length kept is the length read.
void CInstallMngr::ReadReadMe(CArchive& ar)
{
    DWORD dwWanted = static_cast<DWORD>(m_nReadMeLen);
    DWORD dwLeft = ar.GetBytesLeft();
    DWORD dwSize = dwWanted < dwLeft ? dwWanted : dwLeft;
    char* p = static_cast<char*>(TrackedAlloc(dwSize + 1, "ReadMe"));
    if (!p) {
        m_nReadMeLen = 0;
        throw CArchiveException(CArchiveException::genericException);
    }
    UINT nRead = ar.Read(p, dwSize);
    p[nRead] = '\0';
    m_pszReadMe = p;
    m_nReadMeLen = static_cast<int>(nRead);
    if (nRead == 0)
        SetReadMeText(nullptr);
}

void CInstallMngr::SetReadMeText(const char* pszText)
{
    TrackedFree(m_pszReadMe);
    m_pszReadMe = nullptr;
    m_nReadMeLen = 0;
    if (!pszText || !*pszText)
        return;
    DWORD dwLength = static_cast<DWORD>(strlen(pszText));
    char* p = static_cast<char*>(TrackedAlloc(dwLength + 1, "ReadMe"));
    if (!p)
        return;
    memcpy(p, pszText, dwLength + 1);
    m_pszReadMe = p;
    m_nReadMeLen = static_cast<int>(dwLength);
}

char CInstallMngr::DriveLetter(int nIndex) const
{
    return static_cast<char>(m_drives[nIndex] + 64);
}

CString CInstallMngr::NewFileBeside(const CString& strPath)
{
    return MakeTempFileName(GetDirectoryFromPath(strPath), nullptr);
}

void CInstallMngr::RunPostInstall()
{
    if (m_pfnAfterInstall)
        m_pfnAfterInstall(this);
}

int ReportProgress(DWORD dwBytes)
{
    CInstallMngr* pInfo = g_pCurrentInfo;
    if (!pInfo)
        return 1;
    pInfo->m_ullBytesDone += dwBytes;
    // Far more bytes than the total give a percentage beyond the range of
    // an int; a 64-bit value holds it.
    LONGLONG llPercent = 0;
    if (pInfo->m_ullBytesTotal != 0)
        llPercent = static_cast<LONGLONG>(static_cast<double>(pInfo->m_ullBytesDone) /
                                          static_cast<double>(pInfo->m_ullBytesTotal) * 100.0);
    if (!pInfo->m_pfnCallback)
        return 1;
    return pInfo->m_pfnCallback(SCB_PROGRESS, static_cast<INT_PTR>(llPercent & 0xFFFF), 0);
}
