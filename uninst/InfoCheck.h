// Whether loaded install information may be acted on. The uninstaller
// deletes what the information names, so information that names anything
// but the files of this installation is refused as a whole: the
// destination must be the directory the uninstaller runs from, every file
// must lie where its place in the tree puts it, and no name may climb out
// of its directory.
#pragma once

#include "model/InstallMngr.h"

class CInfoCheck {
public:
    CInfoCheck(const char* pszOwnDir, const char* pszSystemDir)
        : m_strOwnDir(pszOwnDir), m_strSystemDir(pszSystemDir) {}

    BOOL IsTrustworthy(const CInstallMngr& info) const;

    // The directory of a top-level node: the destination for the first,
    // the system directory for the second.
    static CString TopLevelPath(const CInstallMngr& info, const char* pszSystemDir, int nIndex);

private:
    BOOL IsNodeTrustworthy(const CDirNode& node, const CString& strDir) const;
    static BOOL IsPlainName(const CString& strName);
    static BOOL IsSafeGroupName(const CString& strName);
    static BOOL IsSafeKeyName(const CString& strName);

    CString m_strOwnDir;
    CString m_strSystemDir;
};
