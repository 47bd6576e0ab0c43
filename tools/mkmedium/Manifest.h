// The authoring manifest of a distribution medium: an INI file read through
// the profile API and checked completely before anything is written. The
// keys are described at the top of mkmedium.cpp and in README.md.
#pragma once

#include "model/InstallMngr.h"

#include <vector>

// A file of the tree with the source its bytes come from.
struct CMediumFile {
    CInstalledFile* m_pFile;
    CString m_strSource;
};

class CManifest {
public:
    // nDiskType -1 keeps the manifest's own disk type. FALSE with a message
    // naming the manifest, its section and key when anything is wrong.
    BOOL Load(const char* pszPath, int nDiskType);
    const CString& GetError() const { return m_strError; }

    CInstallMngr m_info;
    CString m_strUninstaller;
    // The tree's files in the order of its walk: the order of the data stream.
    std::vector<CMediumFile> m_files;
    ULONGLONG m_ullDataBytes = 0;

private:
    BOOL CheckSections();
    BOOL ReadSetupSection(int nDiskType);
    BOOL ReadFilesSection();
    BOOL AddEntry(const CString& strKey, const CString& strValue);
    BOOL AddFile(CDirNode* pDir, const CString& strKey, const CString& strName, const CString& strValue);
    BOOL FinishTree();
    // Applikation (0) or WinSys (1).
    CDirNode* TopDir(int nTop);

    BOOL GetString(const char* pszKey, CString& strValue, bool bRequired);
    BOOL GetNumber(const char* pszKey, DWORD dwMax, DWORD& dwValue);
    BOOL GetIdent();
    BOOL GetReadMe();
    // The absolute path of a source file that exists and can be read, and its size.
    BOOL GetSourcePath(const char* pszSection, const char* pszKey, const CString& strText, CString& strPath,
                       DWORD& dwSize);
    BOOL Fail(const char* pszSection, const char* pszKey, const char* pszFormat, ...);

    CString m_strPath;
    CString m_strDir;
    CString m_strError;
    std::vector<std::pair<CInstalledFile*, CString>> m_sources;
    bool m_bTopMentioned[2] = {false, false};
};
