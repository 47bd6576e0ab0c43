// Loading the install information at start: where the setup runs from, where
// Windows lives, which drives may receive the installation, "\Setup.dat",
// and Program Manager's groups, unless the run makes its program folder
// without Program Manager.
#include "SetupMngr.h"

#include "platform/FileUtil.h"
#include "platform/Progman.h"

#include <new>

namespace {
const DWORD CANDIDATE_DRIVE_TYPES[] = {3, DRIVE_REMOVABLE, DRIVE_FIXED, DRIVE_REMOTE};

// A root directory is kept as its drive letter and colon.
CString WithoutRootSeparator(const CString& strDir)
{
    return strDir.GetLength() == 3 ? strDir.Left(2) : strDir;
}

// Fills strDir from a Win32 directory query; FALSE with the system's code
// (or ERROR_INSUFFICIENT_BUFFER for a path that does not fit) on failure.
template <class Query>
BOOL QueryDirectory(Query query, CString& strDir)
{
    char szPath[MAX_PATH];
    UINT n = query(szPath, MAX_PATH);
    if (n == 0)
        return FALSE;
    if (n >= MAX_PATH) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    strDir = WithoutRootSeparator(CString(szPath, static_cast<int>(n)));
    return TRUE;
}

// What a name cannot hold and still name one entry of its own folder.
const char NAME_BREAKERS[] = "\\/:*?\"<>|";
const char* const DEVICE_NAMES[] = {"CON", "PRN", "AUX", "NUL"};
const char* const NUMBERED_DEVICE_NAMES[] = {"COM", "LPT"};

bool HasTopLevelDirectories(const CDirNode& root)
{
    if (root.children.GetCount() < 2)
        return false;
    POSITION pos = root.children.GetHeadPosition();
    CDirNode* pApp = root.children.GetNext(pos);
    CDirNode* pSys = root.children.GetNext(pos);
    return pApp->dir && pSys->dir;
}

// Windows opens a device for its name whatever extension follows it, and
// with blanks before the extension: "con.txt" and "Com1 .dat" are devices.
bool IsDeviceName(const CString& strName)
{
    int nDot = strName.Find('.');
    CString strBase = TrimBlanks(nDot < 0 ? strName : strName.Left(nDot));
    for (const char* pszDevice : DEVICE_NAMES)
        if (strBase.CompareNoCase(pszDevice) == 0)
            return true;
    if (strBase.GetLength() != 4 || strBase[3] < '1' || strBase[3] > '9')
        return false;
    for (const char* pszDevice : NUMBERED_DEVICE_NAMES)
        if (strBase.Left(3).CompareNoCase(pszDevice) == 0)
            return true;
    return false;
}

// A name from the medium is joined to a path on the machine: it must name
// one entry of that folder, neither climb out of it nor lead to another
// drive or a device.
bool IsPlainName(const CString& strName)
{
    return !strName.IsEmpty() && strName != "." && strName != ".." && !ContainsAnyChar(strName, NAME_BREAKERS)
           && !IsDeviceName(strName);
}

// The top-level directories' names are replaced by the destination and the
// system directory; every other name is checked.
bool HasPlainNames(const CDirNode& node, int nDepth)
{
    if (nDepth > 1 && node.dir && !IsPlainName(node.dir->m_strPath))
        return false;
    for (POSITION pos = node.files.GetHeadPosition(); pos;)
        if (!IsPlainName(node.files.GetNext(pos)->m_strPath))
            return false;
    for (POSITION pos = node.children.GetHeadPosition(); pos;)
        if (!HasPlainNames(*node.children.GetNext(pos), nDepth + 1))
            return false;
    return true;
}
}

BOOL CSetupMngr::IsInstallableTree(const CDirNode& root)
{
    return HasTopLevelDirectories(root) && HasPlainNames(root, 0);
}

BOOL CSetupMngr::LoadInstallInfo(SETUPCALLBACK pfnCallback)
{
    Reset();
    m_pfnCallback = pfnCallback;
    if (!GetDrivesOfTypes(CANDIDATE_DRIVE_TYPES, FALSE, m_drives)) {
        SetLastError(SETUP_E_NO_DRIVE);
        return FALSE;
    }
    m_nCurDrive = 0;

    CString strModule;
    if (!QueryDirectory([](char* p, UINT n) { return static_cast<UINT>(GetModuleFileNameA(nullptr, p, n)); },
                        strModule))
        return FALSE;
    m_strSourceDir = WithoutRootSeparator(GetDirectoryFromPath(strModule));
    if (!QueryDirectory(GetWindowsDirectoryA, m_strWindowsDir))
        return FALSE;
    m_nWinDrive = DriveLetterToNumber(m_strWindowsDir[0]);
    if (!QueryDirectory(GetSystemDirectoryA, m_strSystemDir))
        return FALSE;

    if (!ReadSetupData())
        return FALSE;
    if (m_bCommonLinks)
        return TRUE;
    if (!GetProgmanGroups(m_groups) || m_groups.IsEmpty()) {
        SetLastError(SETUP_E_GROUPS);
        return FALSE;
    }
    return TRUE;
}

// A "\Setup.dat" that cannot be read to its end, or whose tree cannot be
// installed, is reported as invalid install information.
BOOL CSetupMngr::ReadSetupData()
{
    CString strSetupDat = m_strSourceDir + "\\Setup.dat";
    if (CheckFileExists(strSetupDat) != 0 || CheckFileExists(m_strSourceDir + "\\Data.dat") != 0) {
        SetLastError(SETUP_E_INFO_MISSING);
        return FALSE;
    }
    try {
        CFile file;
        file.Open(strSetupDat, CFile::modeRead | CFile::shareDenyWrite);
        CArchive ar(&file, CArchive::load, 4096);
        m_strMainExe = "Mapsmith.exe";
        m_strDocExt = "tlr";
        if (!ReadHeader(ar)) {
            SetLastError(SETUP_E_INFO_INVALID);
            return FALSE;
        }
        Serialize(ar);
        ar.Close();
        file.Close();
    } catch (CException&) {
        SetLastError(SETUP_E_INFO_INVALID);
        return FALSE;
    } catch (std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!IsInstallableTree(m_root)) {
        SetLastError(SETUP_E_INFO_INVALID);
        return FALSE;
    }
    return TRUE;
}
