#include "SetupSequence.h"

const char MSG_SETUP_COMPLETED[] = "The Setup was completed successfully.";

namespace {
const char MSG_GENERAL[] = "An error has occurred. The Setup will be cancelled.";
const char MSG_NOT_RESTORED[] =
    "The Setup could not restore all the former entries in the Registry that it had changed.";
const char MSG_NOT_RECOVERED[] =
    "An interrupted installation could not be undone completely. Close all Windows-applications and start the "
    "Setup again.";

const char MSG_FILES_NOT_UNDONE[] = "The Setup could not put these files back as they were:";
const char MSG_START_AGAIN[] = "Close the programs that use them and start the Setup again: it will put them back.";
// A list longer than this would not fit on the screen; the log names all.
const int MAX_FILES_NAMED = 10;

// The files named one to a line, the rest counted.
CString FileList(const CStringArray& files)
{
    CString strList;
    int nNamed = files.GetSize() < MAX_FILES_NAMED ? files.GetSize() : MAX_FILES_NAMED;
    for (int i = 0; i < nNamed; ++i)
        strList += "\r\n" + files[i];
    if (nNamed < files.GetSize()) {
        CString strMore;
        strMore.Format("\r\nand %d more", files.GetSize() - nNamed);
        strList += strMore;
    }
    return strList;
}

// What a rollback left: the files it could not put back, which the user can
// free, or else the registry, which the user cannot.
CString NotRestoredMessage(const CStringArray& files)
{
    if (files.IsEmpty())
        return MSG_NOT_RESTORED;
    return MSG_FILES_NOT_UNDONE + FileList(files) + "\r\n\r\n" + MSG_START_AGAIN;
}

CString NotRecoveredMessage(const CStringArray& files)
{
    if (files.IsEmpty())
        return MSG_NOT_RECOVERED;
    return CString(MSG_NOT_RECOVERED) + "\r\n\r\n" + MSG_FILES_NOT_UNDONE + FileList(files);
}

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

BOOL RunSetupSequence(ISetupSteps& steps, ISetupWindows& windows, SETUPCALLBACK pfnCallback,
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
            strFinalMessage = NotRecoveredMessage(steps.FilesNotUndone());
            return FALSE;
        }
        windows.SetStatusText("Initializing Setup...");
    }
    if (!steps.LoadInstallInfo(pfnCallback)) {
        nFinalStyle = MB_ICONHAND;
        strFinalMessage = LoadFailureMessage(GetLastError());
        return TRUE;
    }
    windows.DestroyStatus();
    windows.ShowBackdrop(steps.GetProductName() + " Setup");

    strFinalMessage = "The Setup was not finished completely.";
    if (windows.RunWizard() != ID_WIZFINISH)
        return TRUE;
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
        windows.ShowMessage(NotRestoredMessage(steps.FilesNotUndone()), MB_OK | MB_ICONHAND);
    }
    return bRestored;
}
