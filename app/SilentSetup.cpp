#include "SilentSetup.h"

#include "SetupSequence.h"

#include "model/SetupChoices.h"
#include "platform/FileUtil.h"
#include "ui/SetupCallback.h"
#include "ui/SetupLog.h"

#include <cctype>

namespace {
// The run the callback answers for; there is one at a time.
CSilentSetup* s_pRun = nullptr;

// More precise than "failed" for an administrator: a file or directory
// the run may not write, a file in use, a disk too small, another
// application in the destination.
const DWORD REASON_ACCESS_DENIED = ERROR_ACCESS_DENIED;
const DWORD REASON_IN_USE = ERROR_SHARING_VIOLATION;
const DWORD REASON_DISK_FULL = ERROR_DISK_FULL;
const DWORD REASON_OTHER_APPLICATION = ERROR_DIR_NOT_EMPTY;

// The reason a file or directory could not be written, told by the system's
// code the engine reported it with; 0 for none of the precise ones.
DWORD FileErrorReason(DWORD dwError)
{
    switch (dwError) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return REASON_ACCESS_DENIED;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return REASON_IN_USE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return REASON_DISK_FULL;
    default:
        return 0;
    }
}

// A drive's root ("C:") or a share's ("\\server\share").
bool IsRootDirectory(const CString& strDir)
{
    CString strParent = GetDirectoryFromPath(strDir);
    return strParent.IsEmpty() || (strDir.Left(2) == "\\\\" && GetDirectoryFromPath(strParent).IsEmpty());
}

// Disk folders are looked for beside a medium folder that has a parent
// folder of its own. Beside "C:\Setup" they would lie at a drive's (or a
// share's) root, and beside a medium at a drive's root they would be
// "\disk2" on whatever drive is current: folders there can be made by any
// user.
bool HasDiskFolders(const char* pszMediumDir)
{
    CString strParent = GetDirectoryFromPath(pszMediumDir);
    return !strParent.IsEmpty() && !IsRootDirectory(strParent);
}

// The destination as the system resolves it, for the log: "C:" is the
// drive's root here, not the drive's current directory.
CString FullDestinationPath(const CString& strPath)
{
    CString strFull = GetFullPath(strPath + "\\");
    if (strFull.GetLength() <= 3)
        return strFull.IsEmpty() ? strPath : strFull;
    return strFull.Left(strFull.GetLength() - 1);
}

int FindDrive(const CSetupMngr& engine, char chLetter)
{
    for (int i = 0; i < engine.m_drives.GetSize(); ++i)
        if (engine.DriveLetter(i) == toupper(static_cast<unsigned char>(chLetter)))
            return i;
    return -1;
}
}

CSilentSetup::CSilentSetup(CSetupMngr& engine, const CCommandLine& commandLine)
    : m_engine(engine), m_commandLine(commandLine)
{
    s_pRun = this;
    // Deployment tools start the run where no shell may answer.
    m_engine.m_bCommonLinks = TRUE;
}

CSilentSetup::~CSilentSetup()
{
    s_pRun = nullptr;
}

int CSilentSetup::Run()
{
    CEngineSteps steps(m_engine);
    CString strFinalMessage;
    UINT nFinalStyle = MB_ICONINFORMATION;
    BOOL bUndone = RunSetupSequence(steps, *this, SilentCallback, strFinalMessage, nFinalStyle);
    LogFormat("final message: %s", static_cast<const char*>(strFinalMessage));
    return bUndone ? ExitCode(strFinalMessage) : SETUP_EXIT_NOT_UNDONE;
}

// The first precise reason noted is the cause; what followed it came of it.
int CSilentSetup::ExitCode(const CString& strFinalMessage) const
{
    if (strFinalMessage == MSG_SETUP_COMPLETED)
        return m_engine.m_bRestartNeeded ? SETUP_EXIT_RESTART_NEEDED : SETUP_EXIT_SUCCESS;
    if (m_nRefusal != SETUP_EXIT_SUCCESS)
        return m_nRefusal;
    if (m_dwReason != 0)
        return static_cast<int>(m_dwReason);
    return SETUP_EXIT_FAILED;
}

void CSilentSetup::CreateStatus(const char* pszText)
{
    LogFormat("status: %s", pszText);
}

void CSilentSetup::SetStatusText(const char* pszText)
{
    LogFormat("status: %s", pszText);
}

int CSilentSetup::ShowMessage(const char* pszText, UINT)
{
    NoteMessage(pszText, GetLastError());
    return IDOK;
}

void CSilentSetup::NoteMessage(const char* pszText, DWORD dwError)
{
    CString strLine = CString("message: ") + pszText;
    if (dwError != ERROR_SUCCESS)
        LogLine(strLine, dwError);
    else
        LogLine(strLine);
    DWORD dwReason = FileErrorReason(dwError);
    if (dwReason != REASON_ACCESS_DENIED)
        NoteReason(dwReason);
}

void CSilentSetup::NoteReason(DWORD dwReason)
{
    if (m_dwReason == 0)
        m_dwReason = dwReason;
}

// A hidden window of its own refuses for the run.
void CSilentSetup::RefuseSessionEnd(const CString& strTitle)
{
    if (!m_wndSession.Create(strTitle, m_endSession)) {
        LogLine("session end: no window to refuse it with", GetLastError());
        return;
    }
    m_endSession.Refuse(m_wndSession.m_hWnd, strTitle);
}

void CSilentSetup::AcceptSessionEnd()
{
    DWORD dwError = GetLastError();
    m_endSession.Accept();
    m_wndSession.Destroy();
    SetLastError(dwError);
}

// The wizard's choices, made without it. A choice the wizard would refuse,
// or ask about, ends the run before anything is changed.
INT_PTR CSilentSetup::RunWizard()
{
    m_strMediumDir = m_engine.m_strSourceDir;
    LogLoaded(m_engine);
    m_nRefusal = ChooseDestination();
    if (m_nRefusal == SETUP_EXIT_SUCCESS)
        m_nRefusal = ChooseFolder();
    return m_nRefusal == SETUP_EXIT_SUCCESS ? ID_WIZFINISH : IDCANCEL;
}

int CSilentSetup::ChooseDestination()
{
    BOOL bGiven = !m_commandLine.m_strDir.IsEmpty();
    CString strPath = bGiven ? MakeDestinationPath(m_commandLine.m_strDir)
                             : MakeDestinationPath(m_engine.DriveLetter(m_engine.m_nCurDrive), m_engine.m_strDestDir);
    int nDrive = FindDrive(m_engine, strPath[0]);
    if (!IsValidDestinationPath(strPath) || nDrive < 0) {
        LogFormat("refused: %s is no destination on a local drive", static_cast<const char*>(strPath));
        return SETUP_EXIT_BAD_COMMAND_LINE;
    }
    m_engine.SetCurDrive(nDrive);
    m_engine.ClearPrevInstall();
    if (!m_engine.EnoughSpace()) {
        LogFormat("refused: not enough free space for %s", static_cast<const char*>(strPath));
        return static_cast<int>(REASON_DISK_FULL);
    }
    DWORD dwCode = CheckDirectoryExists(strPath);
    if (dwCode == ERROR_SUCCESS && !m_engine.CheckExistingInstallation(strPath)) {
        DWORD dwError = GetLastError();
        if (dwError == REASON_OTHER_APPLICATION) {
            LogFormat("refused: there is already another application in %s", static_cast<const char*>(strPath));
            return static_cast<int>(REASON_OTHER_APPLICATION);
        }
        CString strLine;
        strLine.Format("refused: the earlier installation's %s\\Setup.inf cannot be read",
                       static_cast<const char*>(strPath));
        LogLine(strLine, dwError);
        return SETUP_EXIT_FAILED;
    }
    if (dwCode != ERROR_SUCCESS && dwCode != ERROR_PATH_NOT_FOUND) {
        LogFormat("refused: the destination %s cannot be examined", static_cast<const char*>(strPath));
        return SETUP_EXIT_FAILED;
    }
    m_engine.SetDestination(strPath);
    LogFormat(bGiven ? "destination: %s (from the command line)" : "destination: %s (proposed)",
              static_cast<const char*>(FullDestinationPath(strPath)));
    return SETUP_EXIT_SUCCESS;
}

int CSilentSetup::ChooseFolder()
{
    BOOL bGiven = !m_commandLine.m_strGroup.IsEmpty();
    CString strFolder = bGiven ? m_commandLine.m_strGroup : m_engine.m_strProgramFolder;
    if (!IsValidFolderName(strFolder)) {
        LogFormat("refused: \"%s\" is no program folder name", static_cast<const char*>(strFolder));
        return SETUP_EXIT_BAD_COMMAND_LINE;
    }
    m_engine.SetProgramFolder(MakeFolderName(strFolder));
    LogFormat(bGiven ? "program folder: %s (from the command line)" : "program folder: %s (proposed)",
              static_cast<const char*>(m_engine.m_strProgramFolder));
    return SETUP_EXIT_SUCCESS;
}

// Administrators copy the disks of a medium into folders "disk2", "disk3",
// ... beside the first; the medium's own folder is looked at last, for a
// drive whose disk is changed by other means. Each place is offered once.
int CSilentSetup::FindDisk(WORD wDisk)
{
    if (wDisk != m_wDiskSought) {
        m_wDiskSought = wDisk;
        m_nDiskTries = 0;
    }
    CString places[2];
    int nPlaces = 0;
    if (HasDiskFolders(m_strMediumDir))
        places[nPlaces++].Format("%s\\disk%u", static_cast<const char*>(GetDirectoryFromPath(m_strMediumDir)),
                                 static_cast<unsigned>(wDisk) + 1);
    places[nPlaces++] = m_strMediumDir;
    for (; m_nDiskTries < nPlaces; ++m_nDiskTries) {
        const CString& strPlace = places[m_nDiskTries];
        if (CheckFileExists(strPlace + "\\Data.dat") != ERROR_SUCCESS)
            continue;
        ++m_nDiskTries;
        m_engine.m_strSourceDir = strPlace;
        LogFormat("disk %u: looked for in %s", static_cast<unsigned>(wDisk) + 1, static_cast<const char*>(strPlace));
        return 1;
    }
    LogFormat("disk %u: not found beside %s", static_cast<unsigned>(wDisk) + 1,
              static_cast<const char*>(m_strMediumDir));
    return 0;
}

int __cdecl SilentCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    switch (nType) {
    case SCB_ERROR: {
        // Only the engine's own file reports tell access denied: a box's
        // code may be a registry key's.
        DWORD dwError = GetLastError();
        s_pRun->NoteMessage(ErrorMessageText(nArg, pArg), dwError);
        if (nArg == SCBE_DISKFULL)
            s_pRun->NoteReason(REASON_DISK_FULL);
        else if (nArg == SCBE_FILEINUSE || nArg == SCBE_CREATEDIR)
            s_pRun->NoteReason(FileErrorReason(dwError));
        return 1;
    }
    case SCB_READONLY:
        return SCBR_OVERWRITE;
    case SCB_INSERTDISK:
        return s_pRun->FindDisk(static_cast<WORD>(nArg));
    case SCB_PROGRESS:
    case SCB_STATUSTEXT:
        s_pRun->PumpMessages();
        return 1;
    case SCB_LOG:
        return LogEngineLine(nArg);
    default:
        return 1;
    }
}
