// What the medium tool shares about a medium: the names of its files, the
// flag names of file records, reading a setup data archive ("Setup.dat" or
// "Setup.inf") the way the setup reads it, and the byte sums of the tree.
#pragma once

#include "model/InstallMngr.h"

const char* const MEDIUM_SETUP_DATA = "Setup.dat";
const char* const MEDIUM_UNINSTALLER = "_Uninst.ex_";

// The flag bits of a file record by the names the manifest and the dump use.
struct FileFlagName {
    const char* pszName;
    DWORD dwBit;
};
extern const FileFlagName FILE_FLAG_NAMES[4];

// Reads header, identification block and body. FALSE with a message when
// the file cannot be opened, is not a setup data archive or ends before its
// body is complete.
BOOL LoadInfoFile(const char* pszPath, CInstallMngr& info, CString& strError);

// The bytes of file data the files of a directory and its subtree take.
ULONGLONG SubtreeBytes(const CDirNode& node);
