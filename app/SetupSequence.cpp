#include "SetupSequence.h"

const char MSG_SETUP_COMPLETED[] = "The Setup was completed successfully.";

namespace {
const char MSG_GENERAL[] = "An error has occurred. The Setup will be cancelled.";
const char MSG_NOT_RESTORED[] =
    "The Setup could not restore all the former entries in the Registry that it had changed.";
const char MSG_NOT_RECOVERED[] =
    "An interrupted installation could not be undone completely. Close all Windows-applications and start the "
    "Setup again.";

const char* LoadFailureMessage(DWORD dwError)
{
    switch (dwError) {
    case SETUP_E_INFO_MISSING:
        return "Can't find the install-informations. The Setup will be cancelled.";
    case SETUP_E_INFO_INVALID:
        return "There are errors in the install-informations. The Setup will be cancelled.";
    case SETUP_E_GROUPS:
        return "Error during initializing. Restart Windows an try the Setup again.";
    default:
        return MSG_GENERAL;
    }
}

const char* RegistryFailureMessage(DWORD dwError)
{
    if (dwError == ERROR_ACCESS_DENIED)
        return "The access to the Registry has been denieded.\r\nSetup is cancelled.";
    return "There has occurred an error during accessing the Registry.\r\nSetup is cancelled.";
}

// The phases that change the system; FALSE when the run is to be rolled back.
BOOL InstallPhases(ISetupSteps& steps, ISetupWindows& windows)
{
    windows.RepaintBackdrop();
    windows.CreateProgress();
    BOOL bCopied = steps.CopyFiles();
    DWORD dwError = GetLastError();
    windows.DestroyProgress();
    if (!bCopied) {
        if (dwError >= SETUP_E_TARGET_CHECK && dwError <= SETUP_E_TARGET_ACCESS)
            windows.ShowMessage(MSG_GENERAL, MB_OK | MB_ICONHAND);
        return FALSE;
    }

    windows.CreateStatus("Updating system...");
    if (!steps.UpdateSystem()) {
        windows.ShowMessage(RegistryFailureMessage(GetLastError()), MB_OK | MB_ICONHAND);
        return FALSE;
    }
    steps.RegisterDlls();

    windows.SetStatusText("Creating Program Folder...");
    if (!steps.CreateProgramFolder())
        windows.ShowMessage("The creation of the Program Folder has failed.", MB_OK);

    windows.SetStatusText("Saving install-informations...");
    steps.SetReadMeText(nullptr);
    return steps.SaveInstallInfo();
}
}

void RunSetupSequence(ISetupSteps& steps, ISetupWindows& windows, SETUPCALLBACK pfnCallback,
                      CString& strFinalMessage, UINT& nFinalStyle)
{
    windows.CreateStatus("Initializing Setup...");
    windows.SetIcons();
    // A run that ended midway is undone before anything else is changed.
    if (steps.FindInterruptedRun()) {
        windows.SetStatusText("Undoing an interrupted installation...");
        windows.RefuseSessionEnd("Setup");
        BOOL bRecovered = steps.RecoverInterruptedRun(pfnCallback);
        windows.AcceptSessionEnd();
        if (!bRecovered) {
            nFinalStyle = MB_ICONHAND;
            strFinalMessage = MSG_NOT_RECOVERED;
            return;
        }
        windows.SetStatusText("Initializing Setup...");
    }
    if (!steps.LoadInstallInfo(pfnCallback)) {
        nFinalStyle = MB_ICONHAND;
        strFinalMessage = LoadFailureMessage(GetLastError());
        return;
    }
    windows.DestroyStatus();
    windows.ShowBackdrop(steps.GetProductName() + " Setup");

    strFinalMessage = "The Setup was not finished completely.";
    if (windows.RunWizard() != ID_WIZFINISH)
        return;
    // Until the system is changed, or back as it was, the run must not end.
    windows.RefuseSessionEnd(steps.GetProductName() + " Setup");
    BOOL bInstalled = InstallPhases(steps, windows);
    BOOL bRestored = bInstalled || steps.Rollback();
    windows.AcceptSessionEnd();
    if (bInstalled) {
        windows.DestroyStatus();
        steps.RunPostInstall();
        strFinalMessage = MSG_SETUP_COMPLETED;
    } else if (!bRestored) {
        windows.ShowMessage(MSG_NOT_RESTORED, MB_OK | MB_ICONHAND);
    }
}
