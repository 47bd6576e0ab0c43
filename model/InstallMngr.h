// The whole install information: the tree, sizes, names, proposals and the
// read-me text, with the archive form of "\Setup.dat" and "\Setup.inf".
#pragma once

#include "InstallTree.h"
#include "SetupCallback.h"

#include "framework/CArray.h"
#include "framework/CFile.h"
#include "platform/ProgressFile.h"

// First dword of every setup data archive.
const DWORD SETUP_MAGIC = 0x03047523;

class CInstallMngr;
typedef void (*AFTERINSTALLPROC)(CInstallMngr* pInfo);

class CInstallMngr : public CInstallTree {
    DECLARE_SERIAL(CInstallMngr)
public:
    CInstallMngr();
    ~CInstallMngr() override;

    void Reset();
    // Loading reads the body only (the header comes first, through
    // ReadHeader); storing writes header, identification block and body.
    void Serialize(CArchive& ar) override;
    BOOL ReadHeader(CArchive& ar);

    void SetReadMeText(const char* pszText);
    char DriveLetter(int nIndex) const;
    void SetDestination(const char* pszDir) { m_strDestDir = pszDir; }
    void SetCurDrive(int nIndex) { m_nCurDrive = nIndex; }
    void SetProgramFolder(const char* pszFolder) { m_strProgramFolder = pszFolder; }
    void RunPostInstall();
    // An empty new file beside strPath, for contents that are to replace
    // it: its name, or an empty string with the reason in the last-error
    // value. A run records it, so that one ended midway leaves none.
    virtual CString NewFileBeside(const CString& strPath);

    DWORD m_nDiskType = 0;
    WORD m_wExtra = 0;
    CByteArray m_drives;
    int m_nCurDrive = 0;
    BYTE m_nWinDrive = 0;
    DWORD m_dwAppBytes = 0;
    DWORD m_dwSysBytes = 0;
    DWORD m_dwSpare = 0;
    DWORD m_dwOtherBytes = 0;
    DWORD m_dwReserveBytes = 0;
    CString m_strSourceDir;
    int m_nReadMeLen = 0;
    char* m_pszReadMe = nullptr;
    CString m_strTitle;
    SETUPCALLBACK m_pfnCallback = nullptr;
    CString m_strCurPath;
    int m_nDepth = 0;
    int m_nTopIndex = 3;
    CStringArray m_groups;
    CString m_strDestDir;
    CString m_strSystemDir;
    CString m_strWindowsDir;
    BYTE m_ident[16];
    CString m_strProductName;
    CString m_strProgramFolder;
    CString m_strMainExe;
    CString m_strDocExt;
    // Not stored: the three counts of the install information summed, and
    // the part of them done, in 64 bits.
    ULONGLONG m_ullBytesDone = 0;
    ULONGLONG m_ullBytesTotal = 0;
    CProgressFile m_dataFile;
    WORD m_wDisk = 0;
    DWORD m_dwDataLeft = 0;
    AFTERINSTALLPROC m_pfnAfterInstall = nullptr;

private:
    void ReadReadMe(CArchive& ar);
};

// A creatable variant with two further texts that are not stored.
class CSetupEdit : public CInstallMngr {
    DECLARE_SERIAL(CSetupEdit)
public:
    CString m_strEdit1;
    CString m_strEdit2;
};

// Adds the bytes to those done and reports the percentage of the current
// install information (the one last Reset) through its callback; 0 means
// the user cancelled.
int ReportProgress(DWORD dwBytes);
