// What the install phases changed, noted so that a failed run can undo it.
#pragma once

#include "model/InstallTree.h"

struct RollbackInfo {
    BOOL m_bUninstallerNew = FALSE;
    CInstalledFileList m_newFiles;        // not owned: the records belong to the tree
    BOOL m_bAppPathWritten = FALSE;
    BOOL m_bAppPathExisted = FALSE;
    CString m_strOldAppPath;
    CString m_strOldAppPathDir;
    BOOL m_bUninstallKeyWritten = FALSE;
    BOOL m_bUninstallKeyExisted = FALSE;
    CString m_strOldDisplayName;
    CString m_strOldUninstallString;
    CInstalledFileList m_sharedFiles;     // not owned
};
