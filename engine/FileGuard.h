// A file the install holds on its way to a finished run: a new temporary
// file beside its target, or the file that was in a target's way, moved
// aside under a temporary name. Unless committed it undoes itself: a
// temporary file is deleted, a kept file goes back under its name. For a
// kept file, committing is the end of a run that no longer needs it: the
// file is deleted then, or at the next restart when it cannot be.
#pragma once

#include "framework/CString.h"

class CFileGuard {
public:
    CFileGuard() = default;
    // strHome: where a kept file came from; empty for a temporary file.
    explicit CFileGuard(const CString& strPath, const CString& strHome = CString());
    CFileGuard(CFileGuard&& other) noexcept;
    CFileGuard& operator=(CFileGuard&& other) noexcept;
    CFileGuard(const CFileGuard&) = delete;
    CFileGuard& operator=(const CFileGuard&) = delete;
    ~CFileGuard();

    const CString& GetPath() const { return m_strPath; }
    const CString& GetHome() const { return m_strHome; }
    bool IsEmpty() const { return m_strPath.IsEmpty(); }

    // The temporary file became its target; a kept file is deleted.
    void Commit();
    // Deletes the temporary file or moves the kept one back over whatever
    // took its name. FALSE when a kept file could not go back; the guard
    // then still holds it. The last-error value is kept either way unless
    // the move back failed.
    BOOL Undo();

private:
    CString m_strPath;
    CString m_strHome;
};

// Moves the existing file strTarget aside to a "Fil" name in its own
// directory, so that a new file can take the name: the name of strBeside,
// a temporary file there, with another extension when that is free, else
// a new one. Throws the framework's file exception when the file cannot be
// moved (in use, for instance).
CFileGuard KeepAside(const CString& strTarget, const CString& strBeside = CString());
