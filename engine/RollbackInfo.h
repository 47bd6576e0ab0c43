// What the install phases changed, noted so that a failed run can undo it.
#pragma once

#include "FileGuard.h"

#include "framework/CArray.h"
#include "model/InstallTree.h"
#include "platform/RegistryTree.h"

#include <vector>

// A shared-library count this run created or raised by one.
struct CSharedCountNote {
    const CInstalledFile* m_pFile;  // not owned: its path names the value
    BOOL m_bExisted;                // FALSE: this run created the value
    DWORD m_dwWritten;              // the count this run wrote
};

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
    std::vector<CSharedCountNote> m_sharedCounts;  // in the order of writing

    // So that a failed run leaves the machine as it found it:
    std::vector<CFileGuard> m_keptFiles;  // files a new one replaced, moved aside, in that order
    CStringArray m_createdDirs;           // parents before their subdirectories
    CInstalledFileList m_registeredFiles; // not owned: libraries that registered themselves
    CRegKeyCopy m_oldAppPathKey;          // what an existing App Paths key held
    CRegKeyCopy m_oldUninstallKey;        // what an existing Uninstall entry held
    CRegKeyCopy m_oldDocType;             // what an existing document type held
    CRegKeyCopy m_oldExtKey;              // what an existing extension key held
    BOOL m_bProgramFolderWritten = FALSE;
    BOOL m_bGroupExisted = FALSE;
    CStringArray m_addedItems;            // captions of program items that were not there
};
