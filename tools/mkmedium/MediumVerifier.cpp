#include "MediumVerifier.h"

#include "MediumFormat.h"
#include "ToolFiles.h"

#include "model/DataVolume.h"

#include <cstdarg>
#include <cstdio>

namespace {
CString DiskDir(const CString& strDir, DWORD dwNumber)
{
    CString name;
    name.Format("disk%lu", dwNumber);
    return JoinPath(strDir, name);
}
}

void CMediumVerifier::Fault(const char* pszFormat, ...)
{
    char szText[1024];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szText, sizeof szText, pszFormat, args);
    va_end(args);
    m_faults.push_back(szText);
}

// A medium is either one folder with Setup.dat, _Uninst.ex_ and Data.dat,
// or folders disk1, disk2 ... with Setup.dat and _Uninst.ex_ in disk1.
BOOL CMediumVerifier::FindLayout()
{
    bool bSingle = IsPlainFile(JoinPath(m_strDir, MEDIUM_SETUP_DATA));
    bool bMulti = IsDirectory(DiskDir(m_strDir, 1));
    if (bSingle && bMulti) {
        Fault("%s: holds both Setup.dat and a folder disk1", static_cast<const char*>(m_strDir));
        return FALSE;
    }
    if (!bSingle && !(bMulti && IsPlainFile(JoinPath(DiskDir(m_strDir, 1), MEDIUM_SETUP_DATA)))) {
        Fault("%s: no Setup.dat, neither here nor in disk1", static_cast<const char*>(m_strDir));
        return FALSE;
    }
    m_strFirstDisk = bMulti ? DiskDir(m_strDir, 1) : m_strDir;
    if (!bMulti) {
        m_volumes.push_back(JoinPath(m_strDir, DATAVOLUME_NAME));
        return TRUE;
    }
    for (DWORD dwNumber = 1; IsDirectory(DiskDir(m_strDir, dwNumber)); ++dwNumber)
        m_volumes.push_back(JoinPath(DiskDir(m_strDir, dwNumber), DATAVOLUME_NAME));
    return TRUE;
}

BOOL CMediumVerifier::Verify(const char* pszMediumDir)
{
    m_strDir = pszMediumDir;
    m_faults.clear();
    if (!FindLayout())
        return FALSE;

    CString setupData = JoinPath(m_strFirstDisk, MEDIUM_SETUP_DATA);
    CInstallMngr info;
    CString error;
    if (!LoadInfoFile(setupData, info, error)) {
        Fault("%s", static_cast<const char*>(error));
        return FALSE;
    }
    if (!IsPlainFile(JoinPath(m_strFirstDisk, MEDIUM_UNINSTALLER)))
        Fault("%s: the uninstaller %s is missing", static_cast<const char*>(m_strFirstDisk), MEDIUM_UNINSTALLER);

    POSITION pos = info.m_root.children.GetHeadPosition();
    const CDirNode* pApp = pos ? info.m_root.children.GetNext(pos) : nullptr;
    const CDirNode* pSys = pos ? info.m_root.children.GetNext(pos) : nullptr;
    if (!pApp || !pSys || !pApp->dir || !pSys->dir)
        Fault("%s: the tree lacks its two top-level directories", static_cast<const char*>(setupData));
    if (pApp && SubtreeBytes(*pApp) != info.m_dwAppBytes)
        Fault("%s: the application directory holds %llu bytes, its byte count says %lu",
              static_cast<const char*>(setupData), SubtreeBytes(*pApp), info.m_dwAppBytes);
    if (pSys && SubtreeBytes(*pSys) != info.m_dwSysBytes)
        Fault("%s: the system directory holds %llu bytes, its byte count says %lu",
              static_cast<const char*>(setupData), SubtreeBytes(*pSys), info.m_dwSysBytes);

    ULONGLONG ullTotal = SubtreeBytes(info.m_root);
    DWORD dwCapacity = DataVolumeCapacity(info.m_nDiskType);
    DWORD dwExpected = DataVolumeCount(ullTotal, info.m_nDiskType);
    if (m_volumes.size() != dwExpected)
        Fault("%s: %lu data volume(s) found, the tree's %llu bytes of disk type %lu need %lu",
              static_cast<const char*>(m_strDir), static_cast<DWORD>(m_volumes.size()), ullTotal, info.m_nDiskType,
              dwExpected);
    for (DWORD i = 0; i < m_volumes.size() && i < dwExpected; ++i) {
        ULONGLONG ullData = (i + 1 < dwExpected) ? dwCapacity : ullTotal - static_cast<ULONGLONG>(dwCapacity) * i;
        CheckVolume(i, m_volumes[i], ullData);
    }

    char szSummary[256];
    snprintf(szSummary, sizeof szSummary, "%s: %lu volume(s) of disk type %lu, %llu bytes of file data",
             m_faults.empty() ? "sound" : "faulty", dwExpected, info.m_nDiskType, ullTotal);
    m_strSummary = szSummary;
    return m_faults.empty();
}

void CMediumVerifier::CheckVolume(DWORD dwIndex, const CString& strPath, ULONGLONG ullExpected)
{
    try {
        CFile volume;
        volume.Open(strPath, CFile::modeRead | CFile::shareDenyWrite);
        WORD wIndex = 0;
        if (!ReadDataVolumeIndex(volume, wIndex)) {
            Fault("%s: too short to hold its disk index", static_cast<const char*>(strPath));
            return;
        }
        if (wIndex != dwIndex)
            Fault("%s: disk index %u, expected %lu", static_cast<const char*>(strPath), wIndex, dwIndex);
        ULONGLONG ullData = volume.GetLength() - DATAVOLUME_HEADER_SIZE;
        if (ullData != ullExpected)
            Fault("%s: holds %llu bytes of file data, expected %llu", static_cast<const char*>(strPath), ullData,
                  ullExpected);
        volume.Close();
    } catch (CFileException& e) {
        Fault("cannot read %s", static_cast<const char*>(DescribeFileException(e)));
    }
}
