// Removes the files of the install tree and the directories they leave
// empty. A file that cannot be removed stays in the tree, so that the tree
// lists afterwards exactly what is left; every other record is dropped.
// A link found where the tree has a directory is never followed.
// Outside the destination tree (the system directory) a file goes only
// through its shared count, and no directory goes: what the install
// information names there may have been on the machine before, and the
// information itself lies where others may have changed it.
// What becomes of each file, directory and shared count goes to the log.
#pragma once

#include "framework/CNameSet.h"
#include "model/InstallMngr.h"

#include <functional>

class CFileRemover {
public:
    // Told the full path of each file before it is handled.
    typedef std::function<void(const CString& strPath)> FileNotice;

    CFileRemover(const char* pszSystemDir, FileNotice onFile)
        : m_strSystemDir(pszSystemDir), m_onFile(onFile) {}

    // The destination directory itself stays: the uninstaller and the
    // install information still live in it.
    void RemoveTree(CInstallMngr& info);
    const CStringArray& GetLeftFiles() const { return m_leftFiles; }

private:
    void RemoveNode(CDirNode& node, const CString& strDir);
    void RemoveChildren(CDirNode& node, const CString& strDir);
    // TRUE when the directory and its node can go.
    BOOL RemoveSubdirectory(CDirNode& node, const CString& strDir);
    void RemoveLink(const CString& strLink);
    void RemoveFiles(CDirNode& node);
    BOOL RemoveFile(const CInstalledFile& file);
    // A shared library goes only with the last installation that counts it.
    BOOL ReleaseShared(const CInstalledFile& file);
    static BOOL DeleteInstalled(const CInstalledFile& file);

    CString m_strSystemDir;
    FileNotice m_onFile;
    CStringArray m_leftFiles;
    // The files whose count this run has handled: the install information
    // may list one file more than once, and each record would otherwise
    // lower its count again, down to the other products' share.
    CNameSet m_releasedFiles;
    BOOL m_bInDestination = TRUE;
};
