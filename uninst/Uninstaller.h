// One uninstall run: reads "\Setup.inf" beside the program, asks once,
// removes the product under a progress dialog and tells how it ended. A
// silent run neither asks nor shows the dialog; what it would tell goes
// to the log, which also gets each file and registry entry as it is
// handled.
#pragma once

#include "FileRemover.h"
#include "SetupInfFile.h"

#include "model/InstallMngr.h"

class CProgressDlg;

class CUninstaller {
public:
    // pszExe: the full path of the running uninstaller.
    CUninstaller(const char* pszExe, BOOL bSilent);
    // The exit code of a silent run.
    int Run();

private:
    BOOL Load();
    BOOL Confirm();
    void RemoveProduct(CFileRemover& remover);
    void RemoveProgramFolder(const CStringArray& captions, CStringArray& left);
    void ReportLeft(const CStringArray& left);
    int Complete();
    int RemoveUninstaller();
    CString FillName(const char* pszFormat) const;

    CString m_strExe;
    BOOL m_bSilent;
    CString m_strSystemDir;
    CSetupInfFile m_inf;
    CInstallMngr m_info;
};
