#include "SetupApp.h"

#include "SetupDlg.h"

#include "model/TrackedAlloc.h"

#include <commctrl.h>

namespace {
// The one application object, constructed before the entry code runs.
CSetupApp theApp;
}

// The tracked blocks are freed by the framework's part of the application
// object, once the engine that holds some of them is gone.
CSetupApp::CSetupApp() : CWinApp(TrackedTerm) {}

BOOL CSetupApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    CSetupDlg dlg(m_engine);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

BOOL CSetupApp::OnCmdMsg(UINT nID)
{
    if (nID == ID_HELP) {
        OnHelp();
        return TRUE;
    }
    return FALSE;
}
