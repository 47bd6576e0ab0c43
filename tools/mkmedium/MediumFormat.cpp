#include "MediumFormat.h"

#include "ToolFiles.h"

const FileFlagName FILE_FLAG_NAMES[4] = {
    {"FILE_REGISTER", FILE_REGISTER},
    {"FILE_REGISTER_ABSENT", FILE_REGISTER_ABSENT},
    {"FILE_PROGRAM_ITEM", FILE_PROGRAM_ITEM},
    {"FILE_SHARED", FILE_SHARED},
};

BOOL LoadInfoFile(const char* pszPath, CInstallMngr& info, CString& strError)
{
    try {
        CFile file;
        file.Open(pszPath, CFile::modeRead | CFile::shareDenyWrite);
        CArchive ar(&file, CArchive::load);
        if (!info.ReadHeader(ar)) {
            strError.Format("%s: not a setup data archive (its header is not 23 75 04 03 ...)", pszPath);
            return FALSE;
        }
        info.Serialize(ar);
        return TRUE;
    } catch (CFileException& e) {
        strError = "cannot read " + DescribeFileException(e);
    } catch (CArchiveException& e) {
        if (e.m_cause == CArchiveException::endOfFile)
            strError.Format("%s: the archive ends before its install information is complete", pszPath);
        else
            strError.Format("%s: the archive holds a record out of any sound range", pszPath);
    }
    return FALSE;
}

ULONGLONG SubtreeBytes(const CDirNode& node)
{
    ULONGLONG ull = 0;
    for (POSITION pos = node.children.GetHeadPosition(); pos;)
        ull += SubtreeBytes(*node.children.GetNext(pos));
    for (POSITION pos = node.files.GetHeadPosition(); pos;)
        ull += node.files.GetNext(pos)->m_dwSize;
    return ull;
}
