// The copy phase as the benchmarks run it: the engine's tree of a set of
// generated files, the shell's progress dialog and callback, and the timed
// CopyFiles with its journal and its end as a real run has them.
// Shared by the benchmarks of the copy phase, one program each.
#pragma once

#include "bench/files/BenchFiles.h"
#include "bench/timer/Timer.h"

#include "engine/SetupMngr.h"
#include "framework/CWinApp.h"
#include "ui/ProgressDlg.h"
#include "ui/SetupCallback.h"
#include "ui/SetupHost.h"

#include <cstdio>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// The user side of the phase: a progress bar that moves and a message pump

// The message boxes get the shell's caption.
class CBenchApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
};
inline CBenchApp theBenchApp;

// The shell's progress dialog, shown as Setup.exe shows it while copying.
class CBenchHost : public ISetupHost {
public:
    CBenchHost()
    {
        g_pSetupDlg = this;
        m_dlg.Create(nullptr);
        ShowWindow(m_dlg.m_hWnd, SW_SHOW);
    }
    CBenchHost(const CBenchHost&) = delete;
    CBenchHost& operator=(const CBenchHost&) = delete;
    ~CBenchHost()
    {
        m_dlg.DestroyWindow();
        g_pSetupDlg = nullptr;
    }
    CProgressDlg& GetProgressDlg() override { return m_dlg; }
    int AskReadOnly(const CString&) override { return SCBR_OVERWRITE; }

    CProgressDlg m_dlg;
};

// Whether the engine's reports go to the shell's callback or to none.
inline bool g_bShell = true;

inline int __cdecl ShellOrSilentCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    return g_bShell ? SetupCallback(nType, nArg, pArg) : 1;
}

// ---------------------------------------------------------------------------
// The engine's tree

inline CDirNode* AddDir(CDirNode* pParent, const std::string& name)
{
    CDirNode* pNode = new CDirNode(pParent);
    pNode->dir = new CInstallDir;
    pNode->dir->SetPath(name.c_str());
    pParent->children.AddTail(pNode);
    return pNode;
}

inline void AddFile(CDirNode* pNode, const std::string& name, DWORD dwSize)
{
    CInstalledFile* pFile = new CInstalledFile;
    pFile->SetPath(name.c_str());
    pFile->m_dwSize = dwSize;
    pNode->files.AddTail(pFile);
}

// The set's directories and files below the application's directory, in
// the order of its stream.
inline void AddFileSet(CDirNode* pApp, const CFileSet& set)
{
    CDirNode* pDir = nullptr;
    for (int i = 0; i < set.nFiles; ++i) {
        if (i % FILES_PER_DIRECTORY == 0)
            pDir = AddDir(pApp, DirName(i / FILES_PER_DIRECTORY));
        AddFile(pDir, FileName(i), set.dwSize);
    }
}

// A disk type without a capacity: the whole stream in one volume.
const DWORD ONE_VOLUME_DISK_TYPE = 2;

// An engine that installs a set and an uninstaller of dwUninstallerSize
// bytes from a one-volume medium into dest; its application directory,
// for more files.
inline CDirNode* SetUpFileSet(CSetupMngr& engine, const CFileSet& set, const std::string& medium,
                              const std::string& dest, DWORD dwUninstallerSize)
{
    engine.Reset();
    CDirNode* pApp = AddDir(&engine.m_root, "Applikation");
    AddDir(&engine.m_root, "WinSys");
    AddFileSet(pApp, set);
    engine.m_nDiskType = ONE_VOLUME_DISK_TYPE;
    engine.m_strSourceDir = medium.c_str();
    engine.m_dwAppBytes = static_cast<DWORD>(set.Bytes()) + dwUninstallerSize;
    engine.m_pfnCallback = ShellOrSilentCallback;
    engine.m_strDestDir = dest.c_str();
    engine.m_strSystemDir = dest.c_str();
    return pApp;
}

// ---------------------------------------------------------------------------
// The timed phase

// How a copy phase is run: bJournal keeps the journal on the disk, as a
// real run does, or in memory only; bSaved ends it as a successful run
// does, the install information saved, every file written flushed, the
// kept files deleted. With bReinstall the files of an earlier installation
// are in place: each one is replaced, kept aside during the run and
// deleted at its end.
struct CopyRun {
    bool bShell;
    bool bReinstall;
    bool bJournal;
    bool bSaved;
};

inline unsigned CountKept(const CSetupMngr& engine)
{
    unsigned nKept = 0;
    for (const CJournalRecord& record : engine.m_journal.m_records)
        nKept += record.m_op == JOURNAL_KEPT_FILE ? 1 : 0;
    return nKept;
}

inline void DeleteKeptFiles(const CSetupMngr& engine)
{
    for (const CJournalRecord& record : engine.m_journal.m_records)
        if (record.m_op == JOURNAL_KEPT_FILE)
            DeleteFileA(record.m_strKept);
}

// CopyFiles of an engine set up by the caller, with the journal beside the
// destination; its end as told. The milliseconds taken and the files kept
// aside; false when the phase failed.
inline bool TimeCopyFiles(CSetupMngr& engine, const CopyRun& how, double& dMs, unsigned& nKept)
{
    g_bShell = how.bShell;
    if (how.bJournal) {
        std::string dest = static_cast<const char*>(engine.m_strDestDir);
        engine.m_strJournalPath = (dest.substr(0, dest.rfind('\\')) + "\\bench-copy.jnl").c_str();
        DeleteFileA(engine.m_strJournalPath);
    }
    CTimer timer;
    BOOL bOk = engine.CopyFiles();
    nKept = CountKept(engine);
    if (bOk && how.bSaved)
        bOk = engine.SaveInstallInfo();
    else
        DeleteKeptFiles(engine);
    dMs = timer.ElapsedMs();
    DWORD dwError = bOk ? 0 : GetLastError();
    engine.m_journal.Rewrite(std::vector<CJournalRecord>());
    DeleteFileA(engine.m_strDestDir + "\\Setup.inf");
    if (!bOk)
        fprintf(stderr, "CopyFiles failed: %08lx\n", dwError);
    return bOk != FALSE;
}
