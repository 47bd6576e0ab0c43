// A new temporary file beside its target, on its way to becoming the
// target: unless committed, it is deleted when the guard goes.
#pragma once

#include "framework/CString.h"

class CFileGuard {
public:
    CFileGuard() = default;
    explicit CFileGuard(const CString& strPath) : m_strPath(strPath) {}
    CFileGuard(CFileGuard&& other) noexcept;
    CFileGuard& operator=(CFileGuard&& other) noexcept;
    CFileGuard(const CFileGuard&) = delete;
    CFileGuard& operator=(const CFileGuard&) = delete;
    ~CFileGuard();

    const CString& GetPath() const { return m_strPath; }
    bool IsEmpty() const { return m_strPath.IsEmpty(); }

    // The temporary file became its target.
    void Commit() { m_strPath.Empty(); }
    // Deletes the temporary file; the last-error value is kept.
    void Undo();

private:
    CString m_strPath;
};
