// The registry entries the setup wrote for one installation. The App Paths
// key, the document type and its extension are shared by every
// installation of the product: the last one installed owns them, so they
// are removed only while they still point at this installation. The
// Uninstall entry is removed last, once nothing of the product is left.
#pragma once

#include "model/InstallMngr.h"

#include <initializer_list>

class CProductRegistry {
public:
    explicit CProductRegistry(const CInstallMngr& info);

    // Removes the App Paths key, the document type and the extension where
    // they belong to this installation; TRUE when every removal worked.
    BOOL RemoveOwnedEntries() const;
    BOOL RemoveUninstallEntry() const;

private:
    // TRUE when the value is one of the forms the setups write.
    static BOOL PointsHere(HKEY hRoot, const char* pszKey, const char* pszName,
                           std::initializer_list<CString> forms);
    static BOOL RemoveKey(HKEY hRoot, const char* pszKey);

    CString m_strMainPath;
    CString m_strUninstaller;
    CString m_strAppPathKey;
    CString m_strUninstallKey;
    CString m_strDocType;
    CString m_strOpenCommandKey;
    CString m_strExtKey;
};
