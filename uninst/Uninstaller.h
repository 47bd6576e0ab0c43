// One uninstall run: reads "\Setup.inf" beside the program, asks once,
// removes the product under a progress dialog and tells how it ended.
#pragma once

#include "FileRemover.h"
#include "SetupInfFile.h"

#include "model/InstallMngr.h"

class CProgressDlg;

class CUninstaller {
public:
    // pszExe: the full path of the running uninstaller.
    explicit CUninstaller(const char* pszExe);
    void Run();

private:
    BOOL Load();
    BOOL Confirm();
    void RemoveProduct(CFileRemover& remover);
    void RemoveProgramFolder(const CStringArray& captions, CStringArray& left);
    void ReportLeft(const CStringArray& left);
    void Complete();
    CString FillName(const char* pszFormat) const;

    CString m_strExe;
    CString m_strSystemDir;
    CSetupInfFile m_inf;
    CInstallMngr m_info;
};
