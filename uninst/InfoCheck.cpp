#include "InfoCheck.h"

#include "platform/FileUtil.h"
#include "platform/Progman.h"


namespace {
// The tree has the application directory and the system directory.
const int TOP_LEVEL_DIRS = 2;
// What a Program Manager command cannot carry inside a group name.
const char GROUP_NAME_BREAKERS[] = ",()[]\"";

// The same directory may be named in short or long form.
CString LongPath(const CString& strPath)
{
    char sz[MAX_PATH];
    DWORD dwLength = GetLongPathNameA(strPath, sz, MAX_PATH);
    return dwLength > 0 && dwLength < MAX_PATH ? CString(sz) : strPath;
}
}

CString CInfoCheck::TopLevelPath(const CInstallMngr& info, const char* pszSystemDir, int nIndex)
{
    return nIndex == 0 ? info.m_strDestDir : CString(pszSystemDir);
}

BOOL CInfoCheck::IsTrustworthy(const CInstallMngr& info) const
{
    if (LongPath(info.m_strDestDir).CompareNoCase(LongPath(m_strOwnDir)) != 0 || !IsSafeKeyName(info.m_strProductName)
        || !IsSafeGroupName(info.m_strProgramFolder))
        return FALSE;
    const CDirNode& root = info.m_root;
    int nChildren = root.children.GetCount();
    if (nChildren < 1 || nChildren > TOP_LEVEL_DIRS || !root.files.IsEmpty())
        return FALSE;
    int nIndex = 0;
    for (POSITION pos = root.children.GetHeadPosition(); pos; ++nIndex)
        if (!IsNodeTrustworthy(*root.children.GetNext(pos), TopLevelPath(info, m_strSystemDir, nIndex)))
            return FALSE;
    return TRUE;
}

BOOL CInfoCheck::IsNodeTrustworthy(const CDirNode& node, const CString& strDir) const
{
    for (POSITION pos = node.children.GetHeadPosition(); pos;) {
        const CDirNode* pChild = node.children.GetNext(pos);
        if (!pChild->dir || !IsPlainName(pChild->dir->m_strPath)
            || !IsNodeTrustworthy(*pChild, strDir + "\\" + pChild->dir->m_strPath))
            return FALSE;
    }
    for (POSITION pos = node.files.GetHeadPosition(); pos;) {
        const CInstalledFile* pFile = node.files.GetNext(pos);
        CString strName = pFile->GetFileName();
        if (!IsPlainName(strName) || pFile->m_strPath.CompareNoCase(strDir + "\\" + strName) != 0)
            return FALSE;
    }
    return TRUE;
}

BOOL CInfoCheck::IsPlainName(const CString& strName)
{
    return !strName.IsEmpty() && strName != "." && strName != ".." && !ContainsAnyChar(strName, "\\/:*?\"<>|");
}

BOOL CInfoCheck::IsSafeGroupName(const CString& strName)
{
    return strName.GetLength() < PROGMAN_GROUP_BUFFER && !ContainsAnyChar(strName, GROUP_NAME_BREAKERS);
}

BOOL CInfoCheck::IsSafeKeyName(const CString& strName)
{
    return !strName.IsEmpty() && strName.Find('\\') < 0;
}
