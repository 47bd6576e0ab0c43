// The last step: a running program cannot delete its own file, so a copy
// of the uninstaller in the temporary directory waits for the original to
// end, deletes it and the destination directory, and ends too. Nothing
// waits for a reboot.
#pragma once

#include "framework/CString.h"

const char FINISH_SWITCH[] = "/finish";

class CSelfDelete {
public:
    // Starts the copy that removes pszExe and its directory once this
    // process has ended.
    static BOOL Start(const char* pszExe);
    // The copy's work: pszProcess is the handle value of the original
    // process (inherited), pszExe the original's path. Done only by the
    // copy that Start made in the temporary directory, and only for a file
    // with the copy's own bytes named "Uninst.exe".
    static void Finish(const char* pszProcess, const char* pszExe);

private:
    static BOOL IsOwnCopyFor(const char* pszExe);
    static BOOL StartCopy(const CString& strCopy, const char* pszExe);
    static BOOL StartWith(const CString& strCopy, const char* pszExe, HANDLE hSelf);
    static void DeleteWithRetry(const char* pszPath);
};
