// The registry names the system update writes and the rollback undoes, built
// from the install information in one place so that both agree.
#pragma once

#include "model/InstallMngr.h"
#include "platform/FileUtil.h"

const char SYSKEY_APP_PATHS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char SYSKEY_UNINSTALL[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char SYSKEY_SHARED_DLLS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class CSystemKeys {
public:
    explicit CSystemKeys(const CInstallMngr& info)
        : m_strMainPath(info.m_strDestDir + "\\" + info.m_strMainExe),
          m_strTitle(GetFileTitleFromPath(info.m_strMainExe)),
          m_strAppPathKey(CString(SYSKEY_APP_PATHS) + "\\" + info.m_strMainExe),
          m_strUninstallKey(CString(SYSKEY_UNINSTALL) + "\\" + info.m_strProductName),
          m_strExtKey(CString(".") + info.m_strDocExt)
    {
        m_strDocType.Format("%s.Document", static_cast<const char*>(m_strTitle));
        m_strOpenCommandKey.Format("%s\\shell\\open\\%s", static_cast<const char*>(m_strDocType),
                                   "command");
        m_strShellNewKey.Format("%s\\ShellNew", static_cast<const char*>(m_strExtKey));
    }

    CString m_strMainPath;        // the main program in the destination
    CString m_strTitle;           // the main program's name without extension
    CString m_strAppPathKey;      // under HKEY_LOCAL_MACHINE
    CString m_strUninstallKey;    // under HKEY_LOCAL_MACHINE
    CString m_strExtKey;          // under HKEY_CLASSES_ROOT
    CString m_strDocType;         // under HKEY_CLASSES_ROOT
    CString m_strOpenCommandKey;  // under HKEY_CLASSES_ROOT
    CString m_strShellNewKey;     // under HKEY_CLASSES_ROOT
};
