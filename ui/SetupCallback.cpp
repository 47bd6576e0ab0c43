#include "SetupCallback.h"

#include "ProgressDlg.h"
#include "QuitQuestion.h"
#include "SetupHost.h"
#include "SetupLog.h"

#include "framework/CWinApp.h"

ISetupHost* g_pSetupDlg = nullptr;

namespace {
const UINT QUIT_STYLE = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

const CString& StringArg(INT_PTR p)
{
    return *reinterpret_cast<const CString*>(p);
}

void ShowError(INT_PTR nCode, INT_PTR pArg)
{
    CString strMessage = ErrorMessageText(nCode, pArg);
    if (!strMessage.IsEmpty())
        AfxMessageBox(strMessage, MB_OK | MB_ICONHAND);
}
int ReportToProgress(int nType, INT_PTR nArg)
{
    CProgressDlg& dlg = g_pSetupDlg->GetProgressDlg();
    if (dlg.TestCancel()) {
        if (AskQuitSetup(QUIT_STYLE))
            return 0;
        SetActiveWindow(dlg.m_hWnd);
    }
    if (nType == SCB_STATUSTEXT)
        dlg.SetPendingText(StringArg(nArg));
    else
        dlg.SetPos(static_cast<int>(nArg));
    return 1;
}

// A box about a file comes with that file's name in the status line.
void ShowStatusNow()
{
    if (g_pSetupDlg)
        g_pSetupDlg->GetProgressDlg().ShowPendingText();
}

int AskForDisk(INT_PTR nArg, INT_PTR pArg)
{
    CString strMessage;
    strMessage.Format("Insert the disk %u in %c: !", static_cast<unsigned>(nArg & 0xFFFF) + 1,
                      static_cast<char>(pArg & 0xFF));
    if (AfxMessageBox(strMessage, MB_OKCANCEL | MB_ICONQUESTION) != IDCANCEL)
        return 1;
    return AskQuitSetup(QUIT_STYLE) ? 0 : 1;
}
}

CString ErrorMessageText(INT_PTR nCode, INT_PTR pArg)
{
    CString strMessage;
    switch (nCode) {
    case SCBE_GENERAL:
        strMessage = "An error has occurred. The Setup will be cancelled.";
        break;
    case SCBE_FILEINUSE:
        strMessage.Format("Can't access to the file %s.\r\nIt is used by Windows.\r\n"
                          "Close all Windows-applications and restart the Setup.",
                          static_cast<const char*>(StringArg(pArg)));
        break;
    case SCBE_DISKFULL:
        strMessage.Format("There is not enough disk-space on drive %c: The Setup will be cancelled.",
                          static_cast<char>(pArg & 0xFF));
        break;
    case SCBE_CREATEDIR:
        strMessage.Format("Can't create the directory %s. Setup will be cancelled.",
                          static_cast<const char*>(StringArg(pArg)));
        break;
    case SCBE_DLLREGISTER:
        strMessage = "There has occurred an error during DLL-registration.";
        break;
    }
    return strMessage;
}

int __cdecl SetupCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    switch (nType) {
    case SCB_ERROR:
        ShowStatusNow();
        ShowError(nArg, pArg);
        return 1;
    case SCB_PROGRESS:
    case SCB_STATUSTEXT:
        return ReportToProgress(nType, nArg);
    case SCB_READONLY:
        ShowStatusNow();
        return g_pSetupDlg->AskReadOnly(StringArg(nArg));
    case SCB_INSERTDISK:
        ShowStatusNow();
        return AskForDisk(nArg, pArg);
    case SCB_LOG:
        return LogEngineLine(nArg);
    default:
        return 1;
    }
}
