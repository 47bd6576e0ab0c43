#include "Uninstaller.h"

#include "InfoCheck.h"
#include "ProductRegistry.h"
#include "SelfDelete.h"
#include "UninstCommandLine.h"

#include "framework/CWinApp.h"
#include "model/ItemCaption.h"
#include "platform/FileUtil.h"
#include "platform/Progman.h"
#include "platform/ShellLinks.h"
#include "ui/ProgressDlg.h"
#include "ui/SetupLog.h"

namespace {
const char MSG_CONFIRM[] = "Do you want to remove %s and all of its components from this computer?";
const char MSG_INTERRUPTED[] = "An installation was interrupted before it was finished. Start the Setup again to "
                               "undo it, then remove the product.\r\nNothing has been removed.";
const char MSG_MISSING[] = "The install information %s cannot be found.\r\nNothing has been removed.";
const char MSG_DAMAGED[] = "The install information %s is damaged or does not belong to this "
                           "installation.\r\nNothing has been removed.";
const char MSG_DONE[] = "%s has been removed from this computer.";
const char MSG_LEFT[] = "%s could not be removed completely. These items are in use or cannot be "
                        "deleted:\r\n\r\n%s\r\nClose the programs that use them and start the "
                        "uninstall again.";
const char LEFT_FOLDER[] = "Program folder %s";

CString SystemDirectory()
{
    char sz[MAX_PATH];
    UINT nLength = GetSystemDirectoryA(sz, MAX_PATH);
    return nLength > 0 && nLength < MAX_PATH ? CString(sz) : CString();
}

int CountFiles(CInstallTree& tree)
{
    int nFiles = 0;
    CObject* pItem;
    for (int n = tree.GetFirstItem(pItem); n != ITEM_END; n = tree.GetNextItem(pItem))
        if (n == ITEM_FILE)
            ++nFiles;
    return nFiles;
}

// The captions of the items the setup added to the program folder.
void CollectItemCaptions(CInstallTree& tree, CStringArray& captions)
{
    CObject* pItem;
    for (int n = tree.GetFirstItem(pItem); n != ITEM_END; n = tree.GetNextItem(pItem)) {
        const CInstalledFile* pFile = static_cast<const CInstalledFile*>(pItem);
        if (n == ITEM_FILE && (pFile->m_dwFlags & FILE_PROGRAM_ITEM))
            captions.Add(GetItemCaption(pFile->GetFileName()));
    }
}

// The progress dialog, moved on by one file at a time; a silent run has
// none.
class CFileProgress {
public:
    CFileProgress(int nFiles, BOOL bShow) : m_nFiles(nFiles > 0 ? nFiles : 1)
    {
        m_bShown = bShow && m_dlg.Create(nullptr);
    }
    void OnFile(const CString& strPath)
    {
        if (!m_bShown)
            return;
        m_dlg.SetText(GetFileNameFromPath(strPath));
        m_dlg.SetPos(m_nDone++ * 100 / m_nFiles);
    }

private:
    CProgressDlg m_dlg;
    int m_nFiles;
    int m_nDone = 0;
    BOOL m_bShown;
};
}

CUninstaller::CUninstaller(const char* pszExe, BOOL bSilent)
    : m_strExe(pszExe), m_bSilent(bSilent), m_strSystemDir(SystemDirectory()),
      m_inf(GetDirectoryFromPath(pszExe) + "\\Setup.inf")
{
}

int CUninstaller::Run()
{
    if (!Load())
        return UNINST_EXIT_FAILED;
    if (!m_bSilent && !Confirm()) {
        LogLine("answered No: nothing removed");
        return UNINST_EXIT_SUCCESS;
    }
    // Taken before the tree loses the records of the removed files.
    CStringArray captions;
    CollectItemCaptions(m_info, captions);
    CFileProgress progress(CountFiles(m_info), !m_bSilent);
    CFileRemover remover(m_strSystemDir, [&progress](const CString& strPath) { progress.OnFile(strPath); });
    RemoveProduct(remover);
    CStringArray left = remover.GetLeftFiles();
    RemoveProgramFolder(captions, left);
    if (left.IsEmpty()) {
        if (m_inf.Delete()) {
            LogFormat("install information deleted: %s", static_cast<const char*>(m_inf.GetPath()));
        } else {
            LogLine(CString("install information left: ") + m_inf.GetPath(), GetLastError());
            left.Add(m_inf.GetPath());
        }
    }
    if (left.IsEmpty())
        return Complete();
    ReportLeft(left);
    return UNINST_EXIT_FAILED;
}

BOOL CUninstaller::Load()
{
    // A half-done installation is the setup's to undo: removing what it
    // left would strand the rest of it.
    CString strJournal = GetJournalPath();
    if (!strJournal.IsEmpty() && CheckFileExists(strJournal) != ERROR_FILE_NOT_FOUND) {
        LogFormat("refused: the journal %s of an interrupted installation is there",
                  static_cast<const char*>(strJournal));
        AfxMessageBox(MSG_INTERRUPTED, MB_OK | MB_ICONSTOP);
        return FALSE;
    }
    CSetupInfFile::LoadResult result = m_inf.Load(m_info);
    CInfoCheck check(GetDirectoryFromPath(m_strExe), m_strSystemDir);
    if (result == CSetupInfFile::LOADED && !m_strSystemDir.IsEmpty() && check.IsTrustworthy(m_info)) {
        LogFormat("loaded: %s, %d files, from %s", static_cast<const char*>(m_info.m_strProductName),
                  CountFiles(m_info), static_cast<const char*>(m_inf.GetPath()));
        return TRUE;
    }
    CString strText;
    strText.Format(result == CSetupInfFile::MISSING ? MSG_MISSING : MSG_DAMAGED,
                   static_cast<const char*>(m_inf.GetPath()));
    AfxMessageBox(strText, MB_OK | MB_ICONSTOP);
    return FALSE;
}

BOOL CUninstaller::Confirm()
{
    return AfxMessageBox(FillName(MSG_CONFIRM), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The registry first: whether the shared entries still point here is told
// by the files they name, which are about to go.
void CUninstaller::RemoveProduct(CFileRemover& remover)
{
    CProductRegistry(m_info).RemoveOwnedEntries();
    remover.RemoveTree(m_info);
}

// Only the items the setup added go. The group may have existed before and
// hold other products' items: it goes only when nothing is left in it. An
// unattended setup made the items as links in the Programs menu all users
// share, which needs no Program Manager to remove; the install information
// does not tell which setup made them, so both places are looked at.
void CUninstaller::RemoveProgramFolder(const CStringArray& captions, CStringArray& left)
{
    const CString& strGroup = m_info.m_strProgramFolder;
    if (strGroup.IsEmpty())
        return;
    CString strCommon = GetCommonProgramFolder(strGroup);
    BOOL bCommon = !strCommon.IsEmpty() && CheckDirectoryExists(strCommon) == ERROR_SUCCESS;
    CString strUser = GetProgmanGroupFolder(strGroup);
    BOOL bUser = !strUser.IsEmpty() && CheckDirectoryExists(strUser) == ERROR_SUCCESS;
    BOOL bRemoved = !bCommon || RemoveShellLinks(strCommon, captions, TRUE);
    if (bUser || !bCommon)
        bRemoved = RemoveProgmanItems(strGroup, captions, TRUE) && bRemoved;
    if (bRemoved)
        return;
    CString strLeft;
    strLeft.Format(LEFT_FOLDER, static_cast<const char*>(m_info.m_strProgramFolder));
    left.Add(strLeft);
}

// What is left stays listed, with the uninstaller and the Uninstall entry,
// so that the user can try again. Should the new list fail to save, the
// old one serves as well: a file already gone counts as removed.
void CUninstaller::ReportLeft(const CStringArray& left)
{
    if (!m_inf.Save(m_info))
        LogLine(CString("the list of what is left cannot be saved: ") + m_inf.GetPath(), GetLastError());
    CString strList;
    for (int i = 0; i < left.GetSize(); ++i) {
        LogFormat("stays: %s", static_cast<const char*>(left[i]));
        strList += left[i] + "\r\n";
    }
    LogLine("stays for another try: the uninstaller, the install information and the Uninstall entry");
    CString strText;
    strText.Format(MSG_LEFT, static_cast<const char*>(m_info.m_strProductName),
                   static_cast<const char*>(strList));
    AfxMessageBox(strText, MB_OK | MB_ICONEXCLAMATION);
}

int CUninstaller::Complete()
{
    BOOL bEntryGone = CProductRegistry(m_info).RemoveUninstallEntry();
    AfxMessageBox(FillName(MSG_DONE), MB_OK | MB_ICONINFORMATION);
    int nExitCode = RemoveUninstaller();
    return bEntryGone ? nExitCode : UNINST_EXIT_FAILED;
}

// Should the copy that removes the uninstaller not start, the system
// removes the uninstaller and the destination at its next start instead.
int CUninstaller::RemoveUninstaller()
{
    CString strDir = GetDirectoryFromPath(m_strExe);
    if (CSelfDelete::Start(m_strExe)) {
        LogFormat("uninstaller: %s and %s go as soon as this program has ended", static_cast<const char*>(m_strExe),
                  static_cast<const char*>(strDir));
        return UNINST_EXIT_SUCCESS;
    }
    LogLine("uninstaller: the copy that removes it did not start", GetLastError());
    if (!MoveFileExA(m_strExe, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)
        || !MoveFileExA(strDir, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        LogLine(CString("stays: ") + m_strExe + ", which cannot be marked to go at the next restart", GetLastError());
        return UNINST_EXIT_FAILED;
    }
    LogFormat("uninstaller: %s and %s go at the next restart", static_cast<const char*>(m_strExe),
              static_cast<const char*>(strDir));
    return UNINST_EXIT_RESTART_NEEDED;
}

CString CUninstaller::FillName(const char* pszFormat) const
{
    CString strText;
    strText.Format(pszFormat, static_cast<const char*>(m_info.m_strProductName));
    return strText;
}
