// "\Setup.inf": the install information the setup saved in the destination,
// read to know what to remove and written back to list what is left.
#pragma once

#include "model/InstallMngr.h"

class CSetupInfFile {
public:
    enum LoadResult { LOADED, MISSING, DAMAGED };

    explicit CSetupInfFile(const char* pszPath) : m_strPath(pszPath) {}

    // A file that cannot be read to its very end, or has bytes after it,
    // is damaged: nothing in it can be trusted.
    LoadResult Load(CInstallMngr& info) const;
    // Written whole to a temporary file beside the target, then moved over
    // it, so that a failed save never loses the information already there.
    BOOL Save(CInstallMngr& info) const;
    BOOL Delete() const;
    const CString& GetPath() const { return m_strPath; }

private:
    BOOL ReadWhole(CInstallMngr& info) const;
    BOOL WriteTo(const char* pszTemp, CInstallMngr& info) const;

    CString m_strPath;
};
