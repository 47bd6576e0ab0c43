// The last step: a running program cannot delete its own file, so a copy
// of the uninstaller waits for the original to end, deletes it and the
// destination directory, removes the directory it ran from, and ends too;
// its file goes as it ends. Nothing waits for a reboot, but where the
// system cannot move the running copy's file out of its directory: that
// directory is then removed at the next start.
#pragma once

#include "framework/CString.h"

const char FINISH_SWITCH[] = "/finish";

class CSelfDelete {
public:
    // Starts the copy that removes pszExe and its directory once this
    // process has ended.
    static BOOL Start(const char* pszExe);
    // The copy's work: pszProcess is the handle value of the original
    // process, pszCopy that of the copy's own file opened for deletion
    // (both inherited), pszExe the original's path. Done only by a
    // copy in a directory of its own below the temporary directory, as
    // Start makes it, and only for a file with the copy's own bytes named
    // "Uninst.exe".
    static void Finish(const char* pszProcess, const char* pszCopy, const char* pszExe);

private:
    static CString MakePrivateDirectory();
    static BOOL IsOwnCopyFor(const char* pszExe);
    static BOOL StartCopy(const CString& strCopy, const char* pszExe, HANDLE hCopy);
    static BOOL StartWith(const CString& strCopy, const char* pszExe, HANDLE hSelf, HANDLE hCopy);
    static void LeaveOwnDirectory(HANDLE hCopy);
    static void DeleteWithRetry(const char* pszPath);
};
