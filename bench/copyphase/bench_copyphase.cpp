// The copy phase against its peers under the same Wine: CopyFiles of 200 MB
// in 2,000 files (one volume) and of one 100 MB file across 1.44 MB volumes,
// with the shell's own callback and progress dialog, against a plain
// CopyFileA of the same files and an NSIS installer of them. Two further
// figures say where the time goes: the same phase with a callback that does
// nothing, and a bare read/write loop of the same stream in 10,000-byte and
// in 1 MB blocks. What the journal costs: the phase with its journal in
// memory only, and with the end of a successful run (the install
// information saved, every file written flushed, the kept files deleted).
// Last, the time from a press of Cancel during the copy to the quit
// question.
//
//   bench_copyphase prepare   writes the sources and media below ROOT
//   bench_copyphase run [n]   times n rounds (default 10), prints medians
//   bench_copyphase clean     removes ROOT
//   bench_copyphase trace <contender> files|big
//                             runs one workload between two marker events,
//                             for scripts/bench-requests.sh, which counts
//                             the Wine server requests in between
//
// The NSIS installers ROOT\nsis_files.exe and ROOT\nsis_big.exe are built
// between the two steps by scripts/bench-copy.sh.
#include "bench/timer/Timer.h"

#include "engine/SetupMngr.h"
#include "framework/CHandle.h"
#include "framework/CWinApp.h"
#include "model/DataVolume.h"
#include "tools/guidriver/GuiDriver.h"
#include "ui/ProgressDlg.h"
#include "ui/SetupCallback.h"
#include "ui/SetupHost.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
const char BENCH_ROOT[] = "C:\\bench_copyphase";
const int FILE_COUNT = 2000;
const int FILES_PER_DIRECTORY = 100;
const DWORD FILE_SIZE = 100000;
const DWORD BIG_SIZE = 100000000;
const DWORD UNINSTALLER_SIZE = 50000;
const DWORD BIG_DISK_TYPE = 1;
// A disk type without a capacity: the whole stream in one volume.
const DWORD ONE_VOLUME_DISK_TYPE = 2;
const int DEFAULT_ROUNDS = 10;
const DWORD NSIS_TIMEOUT_MS = 300000;

std::string Root(const std::string& rel)
{
    return std::string(BENCH_ROOT) + "\\" + rel;
}

std::string DirName(int nDir)
{
    return "dir" + std::to_string(nDir);
}

std::string FileName(int nFile)
{
    return "file" + std::to_string(nFile) + ".bin";
}

void FillPattern(std::vector<BYTE>& bytes, DWORD& x)
{
    for (BYTE& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<BYTE>(x >> 16);
    }
}

HANDLE OpenBenchFile(const std::string& path, DWORD dwAccess, DWORD dwCreate)
{
    return CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ, nullptr, dwCreate, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteBytes(HANDLE hFile, const void* p, DWORD n)
{
    DWORD dw = 0;
    return WriteFile(hFile, p, n, &dw, nullptr) && dw == n;
}

bool WriteWhole(const std::string& path, const std::vector<BYTE>& bytes)
{
    CFileHandle file(OpenBenchFile(path, GENERIC_WRITE, CREATE_ALWAYS));
    return !file.IsEmpty() && WriteBytes(file, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void DeleteFolder(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteFolder(path);
            else if (!DeleteFileA(path.c_str()))
                fprintf(stderr, "cannot delete %s\n", path.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// Bytes and files below a folder, to check each run installed everything.
void CountFolder(const std::string& dir, ULONGLONG& ullBytes, int& nFiles)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CountFolder(dir + "\\" + name, ullBytes, nFiles);
        } else {
            ullBytes += fd.nFileSizeLow;
            ++nFiles;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

// ---------------------------------------------------------------------------
// Preparing: the plain files, the one-volume medium of the same files, the
// 100 MB file and its medium of type-1 volumes.

bool PrepareFiles()
{
    std::vector<BYTE> bytes(FILE_SIZE);
    DWORD x = 12345;
    CFileHandle stream(OpenBenchFile(Root("medium\\Data.dat"), GENERIC_WRITE, CREATE_ALWAYS));
    const BYTE header[DATAVOLUME_HEADER_SIZE] = {0, 0};
    if (stream.IsEmpty() || !WriteBytes(stream, header, sizeof header))
        return false;
    for (int i = 0; i < FILE_COUNT; ++i) {
        std::string dir = Root("files\\" + DirName(i / FILES_PER_DIRECTORY));
        if (i % FILES_PER_DIRECTORY == 0 && !CreateDirectoryA(dir.c_str(), nullptr))
            return false;
        FillPattern(bytes, x);
        if (!WriteWhole(dir + "\\" + FileName(i), bytes) || !WriteBytes(stream, bytes.data(), FILE_SIZE))
            return false;
    }
    std::vector<BYTE> uninstaller(UNINSTALLER_SIZE, 0x90);
    return WriteWhole(Root("files\\Uninst.exe"), uninstaller) && WriteWhole(Root("medium\\_Uninst.ex_"), uninstaller) &&
           WriteWhole(Root("bigmedium\\_Uninst.ex_"), uninstaller);
}

bool PrepareBig()
{
    DWORD dwCapacity = DataVolumeCapacity(BIG_DISK_TYPE);
    DWORD nVolumes = DataVolumeCount(BIG_SIZE, BIG_DISK_TYPE);
    CFileHandle big(OpenBenchFile(Root("big\\Big.bin"), GENERIC_WRITE, CREATE_ALWAYS));
    if (big.IsEmpty())
        return false;
    DWORD x = 777;
    DWORD dwLeft = BIG_SIZE;
    for (DWORD k = 0; k < nVolumes; ++k) {
        std::vector<BYTE> data(dwLeft < dwCapacity ? dwLeft : dwCapacity);
        FillPattern(data, x);
        std::string path = k == 0 ? Root("bigmedium\\Data.dat") : Root("bigvols\\" + std::to_string(k) + ".dat");
        CFileHandle volume(OpenBenchFile(path, GENERIC_WRITE, CREATE_ALWAYS));
        const BYTE header[DATAVOLUME_HEADER_SIZE] = {static_cast<BYTE>(k), static_cast<BYTE>(k >> 8)};
        if (volume.IsEmpty() || !WriteBytes(volume, header, sizeof header) ||
            !WriteBytes(volume, data.data(), static_cast<DWORD>(data.size())) ||
            !WriteBytes(big, data.data(), static_cast<DWORD>(data.size())))
            return false;
        dwLeft -= static_cast<DWORD>(data.size());
    }
    return true;
}

int Prepare()
{
    DeleteFolder(BENCH_ROOT);
    for (const char* pszDir : {"", "files", "medium", "big", "bigmedium", "bigvols"}) {
        std::string dir = *pszDir ? Root(pszDir) : std::string(BENCH_ROOT);
        if (!CreateDirectoryA(dir.c_str(), nullptr)) {
            fprintf(stderr, "cannot create %s\n", dir.c_str());
            return 1;
        }
    }
    if (!PrepareFiles() || !PrepareBig()) {
        fprintf(stderr, "cannot write the sources (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The user side of the phase: a progress bar that moves and a message pump

// The message boxes get the shell's caption.
class CBenchApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
} theBenchApp;

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

bool g_bShell = true;
// Volume swaps at the disk prompts are the "user's" time, not the phase's.
double g_dSwapMs = 0.0;
// The volume of the big medium that is its Data.dat now.
WORD g_wBigInPlace = 0;

// Puts the asked volume of the big medium in place and the one there back.
bool SwapBigVolume(WORD wDisk)
{
    std::string dataDat = Root("bigmedium\\Data.dat");
    std::string used = Root("bigvols\\" + std::to_string(g_wBigInPlace) + ".dat");
    std::string wanted = Root("bigvols\\" + std::to_string(wDisk) + ".dat");
    if (!MoveFileExA(dataDat.c_str(), used.c_str(), MOVEFILE_REPLACE_EXISTING) ||
        !MoveFileExA(wanted.c_str(), dataDat.c_str(), MOVEFILE_REPLACE_EXISTING))
        return false;
    g_wBigInPlace = wDisk;
    return true;
}

// The first volume in place again, also after a copy that was cancelled.
bool RestoreBigMedium()
{
    return g_wBigInPlace == 0 || SwapBigVolume(0);
}

// The disk prompts are answered by swapping the volumes; everything else
// goes to the shell's callback, or to none.
int __cdecl BenchCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    if (nType == SCB_INSERTDISK) {
        CTimer swap;
        bool bOk = SwapBigVolume(static_cast<WORD>(nArg));
        g_dSwapMs += swap.ElapsedMs();
        return bOk ? 1 : 0;
    }
    return g_bShell ? SetupCallback(nType, nArg, pArg) : 1;
}

// ---------------------------------------------------------------------------
// The contenders. Each returns the milliseconds taken, or a negative value
// when it failed.

CDirNode* AddDir(CDirNode* pParent, const std::string& name)
{
    CDirNode* pNode = new CDirNode(pParent);
    pNode->dir = new CInstallDir;
    pNode->dir->SetPath(name.c_str());
    pParent->children.AddTail(pNode);
    return pNode;
}

void AddFile(CDirNode* pNode, const std::string& name, DWORD dwSize)
{
    CInstalledFile* pFile = new CInstalledFile;
    pFile->SetPath(name.c_str());
    pFile->m_dwSize = dwSize;
    pNode->files.AddTail(pFile);
}

double RunCopyFileA(bool bBig);

// With bReinstall the files of an earlier installation are in place first
// (untimed): each one is replaced, kept aside during the run and deleted at
// its end, as after a successful installation.
// The tree of one workload, its medium and the destination.
void SetUpEngine(CSetupMngr& engine, bool bBig)
{
    engine.Reset();
    CDirNode* pApp = AddDir(&engine.m_root, "Applikation");
    AddDir(&engine.m_root, "WinSys");
    if (bBig) {
        AddFile(pApp, "Big.bin", BIG_SIZE);
        engine.m_nDiskType = BIG_DISK_TYPE;
        engine.m_strSourceDir = Root("bigmedium").c_str();
        engine.m_dwAppBytes = BIG_SIZE + UNINSTALLER_SIZE;
    } else {
        CDirNode* pDir = nullptr;
        for (int i = 0; i < FILE_COUNT; ++i) {
            if (i % FILES_PER_DIRECTORY == 0)
                pDir = AddDir(pApp, DirName(i / FILES_PER_DIRECTORY));
            AddFile(pDir, FileName(i), FILE_SIZE);
        }
        engine.m_nDiskType = ONE_VOLUME_DISK_TYPE;
        engine.m_strSourceDir = Root("medium").c_str();
        engine.m_dwAppBytes = FILE_COUNT * FILE_SIZE + UNINSTALLER_SIZE;
    }
    engine.m_pfnCallback = BenchCallback;
    engine.m_strDestDir = Root("out").c_str();
    engine.m_strSystemDir = Root("out").c_str();
}

// How a copy phase is run: bJournal keeps the journal on the disk, as a
// real run does, or in memory only; bSaved ends it as a successful run
// does, the install information saved, every file written flushed, the
// kept files deleted.
struct CopyRun {
    bool bShell;
    bool bReinstall;
    bool bJournal;
    bool bSaved;
};

unsigned CountKept(const CSetupMngr& engine)
{
    unsigned nKept = 0;
    for (const CJournalRecord& record : engine.m_journal.m_records)
        nKept += record.m_op == JOURNAL_KEPT_FILE ? 1 : 0;
    return nKept;
}

void DeleteKeptFiles(const CSetupMngr& engine)
{
    for (const CJournalRecord& record : engine.m_journal.m_records)
        if (record.m_op == JOURNAL_KEPT_FILE)
            DeleteFileA(record.m_strKept);
}

double RunCopyFiles(bool bBig, const CopyRun& how)
{
    if (how.bReinstall && RunCopyFileA(bBig) < 0)
        return -1.0;
    CSetupMngr engine;
    SetUpEngine(engine, bBig);
    g_bShell = how.bShell;
    g_dSwapMs = 0.0;

    if (how.bJournal) {
        engine.m_strJournalPath = CString(BENCH_ROOT) + "\\bench-copy.jnl";
        DeleteFileA(engine.m_strJournalPath);
    }
    CTimer timer;
    BOOL bOk = engine.CopyFiles();
    unsigned nKept = CountKept(engine);
    if (bOk && how.bSaved)
        bOk = engine.SaveInstallInfo();
    else
        DeleteKeptFiles(engine);
    double dMs = timer.ElapsedMs() - g_dSwapMs;
    engine.m_journal.Rewrite(std::vector<CJournalRecord>());
    DeleteFileA(Root("out\\Setup.inf").c_str());
    if (how.bReinstall && nKept != (bBig ? 1u : FILE_COUNT) + 1u) {
        fprintf(stderr, "the reinstall kept %u files aside\n", nKept);
        return -1.0;
    }
    if (bBig && !RestoreBigMedium())
        fprintf(stderr, "cannot put the big medium back in order\n");
    if (!bOk) {
        fprintf(stderr, "CopyFiles failed: %08lx\n", GetLastError());
        return -1.0;
    }
    return dMs;
}

double RunCopyFileA(bool bBig)
{
    CTimer timer;
    std::string out = Root("out");
    if (!CreateDirectoryA(out.c_str(), nullptr))
        return -1.0;
    if (!CopyFileA(Root("files\\Uninst.exe").c_str(), (out + "\\Uninst.exe").c_str(), FALSE))
        return -1.0;
    if (bBig)
        return CopyFileA(Root("big\\Big.bin").c_str(), (out + "\\Big.bin").c_str(), FALSE) ? timer.ElapsedMs() : -1.0;
    for (int i = 0; i < FILE_COUNT; ++i) {
        std::string rel = DirName(i / FILES_PER_DIRECTORY);
        if (i % FILES_PER_DIRECTORY == 0 && !CreateDirectoryA((out + "\\" + rel).c_str(), nullptr))
            return -1.0;
        rel += "\\" + FileName(i);
        if (!CopyFileA(Root("files\\" + rel).c_str(), (out + "\\" + rel).c_str(), FALSE))
            return -1.0;
    }
    return timer.ElapsedMs();
}

double RunNsis(bool bBig)
{
    std::string exe = Root(bBig ? "nsis_big.exe" : "nsis_files.exe");
    std::string cmd = "\"" + exe + "\" /D=" + Root("out");
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CTimer timer;
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1.0;
    DWORD dwWait = WaitForSingleObject(pi.hProcess, NSIS_TIMEOUT_MS);
    double dMs = timer.ElapsedMs();
    DWORD dwCode = 1;
    GetExitCodeProcess(pi.hProcess, &dwCode);
    if (dwWait != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return dwWait == WAIT_OBJECT_0 && dwCode == 0 ? dMs : -1.0;
}

// The stream of the one-volume medium into the 2,000 files, each through a
// temporary file and a rename, with no engine around it: the I/O alone.
double RunRawBlocks(DWORD dwBlock)
{
    std::vector<BYTE> buffer(dwBlock);
    CTimer timer;
    std::string out = Root("out");
    if (!CreateDirectoryA(out.c_str(), nullptr))
        return -1.0;
    CFileHandle stream(OpenBenchFile(Root("medium\\Data.dat"), GENERIC_READ, OPEN_EXISTING));
    DWORD dwRead = 0;
    if (stream.IsEmpty() || !ReadFile(stream, buffer.data(), DATAVOLUME_HEADER_SIZE, &dwRead, nullptr))
        return -1.0;
    for (int i = 0; i < FILE_COUNT; ++i) {
        std::string dir = out + "\\" + DirName(i / FILES_PER_DIRECTORY);
        if (i % FILES_PER_DIRECTORY == 0 && !CreateDirectoryA(dir.c_str(), nullptr))
            return -1.0;
        std::string temp = dir + "\\Fil.tmp";
        {
            CFileHandle file(OpenBenchFile(temp, GENERIC_WRITE, CREATE_ALWAYS));
            for (DWORD dwLeft = FILE_SIZE; dwLeft > 0;) {
                DWORD dwChunk = dwLeft < dwBlock ? dwLeft : dwBlock;
                if (!ReadFile(stream, buffer.data(), dwChunk, &dwRead, nullptr) || dwRead != dwChunk ||
                    !WriteBytes(file, buffer.data(), dwChunk))
                    return -1.0;
                dwLeft -= dwChunk;
            }
        }
        if (!MoveFileExA(temp.c_str(), (dir + "\\" + FileName(i)).c_str(), MOVEFILE_REPLACE_EXISTING))
            return -1.0;
    }
    return timer.ElapsedMs();
}

// ---------------------------------------------------------------------------

struct Contender {
    const char* pszName;
    bool bBig;
    double (*pfnRun)(bool bBig);
    std::vector<double> times;
};

// Each as {shell's callback, over an installation, journal on the disk, saved}.
double CopyFilesShell(bool bBig) { return RunCopyFiles(bBig, {true, false, true, false}); }
double CopyFilesSilent(bool bBig) { return RunCopyFiles(bBig, {false, false, true, false}); }
double CopyFilesReinstall(bool bBig) { return RunCopyFiles(bBig, {false, true, true, false}); }
double CopyFilesInMemory(bool bBig) { return RunCopyFiles(bBig, {false, false, false, false}); }
double CopyFilesSaved(bool bBig) { return RunCopyFiles(bBig, {false, false, true, true}); }
double CopyFilesReinstallSaved(bool bBig) { return RunCopyFiles(bBig, {false, true, true, true}); }
double Raw10000(bool) { return RunRawBlocks(CProgressFile::COPY_BLOCK_SIZE); }
double Raw1M(bool) { return RunRawBlocks(1 << 20); }

const char QUIT_QUESTION[] = "Do you really want to quit Setup ?";
// Into the copy of the big file, well before its end.
const DWORD CANCEL_AFTER_MS = 40;
const double QUESTION_WAIT_MS = 5000.0;

HWND FindQuitQuestion()
{
    HWND hBox = FindWindowA("#32770", "Setup");
    return hBox && std::string(GetMessageBoxText(hBox)) == QUIT_QUESTION ? hBox : nullptr;
}

// The big file copied under the shell's callback while "the user", another
// thread, presses Cancel and times the press until the quit question is on
// the screen, then answers it with Yes. The milliseconds, or a negative
// value when the question never came or the copy was not cancelled.
double RunCancelToQuestion(CBenchHost& host)
{
    CSetupMngr engine;
    SetUpEngine(engine, true);
    g_bShell = true;
    double dMs = -1.0;
    std::thread user([&host, &dMs] {
        Sleep(CANCEL_AFTER_MS);
        HWND hCancel = GetDlgItem(host.m_dlg.m_hWnd, IDCANCEL);
        CTimer timer;
        PostMessageA(host.m_dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(hCancel));
        HWND hBox = nullptr;
        while (!hBox && timer.ElapsedMs() < QUESTION_WAIT_MS)
            hBox = FindQuitQuestion();
        if (hBox) {
            dMs = timer.ElapsedMs();
            PressButton(hBox, IDYES);
        }
    });
    BOOL bCopied = engine.CopyFiles();
    user.join();
    if (!RestoreBigMedium())
        fprintf(stderr, "cannot put the big medium back in order\n");
    return bCopied ? -1.0 : dMs;
}

bool CheckOutput(const Contender& c)
{
    ULONGLONG ullBytes = 0;
    int nFiles = 0;
    CountFolder(Root("out"), ullBytes, nFiles);
    bool bRaw = c.pfnRun == Raw10000 || c.pfnRun == Raw1M;
    ULONGLONG ullWant = (c.bBig ? BIG_SIZE : ULONGLONG(FILE_COUNT) * FILE_SIZE) + (bRaw ? 0 : UNINSTALLER_SIZE);
    int nWant = (c.bBig ? 1 : FILE_COUNT) + (bRaw ? 0 : 1);
    if (ullBytes == ullWant && nFiles == nWant)
        return true;
    fprintf(stderr, "%s installed %d files of %llu bytes, expected %d of %llu\n", c.pszName, nFiles, ullBytes, nWant,
            ullWant);
    return false;
}

int Run(int nRounds)
{
    CBenchHost host;
    std::vector<Contender> contenders = {
        {"CopyFiles, shell's callback", false, CopyFilesShell, {}},
        {"CopyFiles, silent callback", false, CopyFilesSilent, {}},
        {"the same over an installation", false, CopyFilesReinstall, {}},
        {"silent, journal in memory only", false, CopyFilesInMemory, {}},
        {"silent, then saved and flushed", false, CopyFilesSaved, {}},
        {"over an installation, saved", false, CopyFilesReinstallSaved, {}},
        {"CopyFileA", false, RunCopyFileA, {}},
        {"NSIS installer", false, RunNsis, {}},
        {"raw loop, 10,000-byte blocks", false, Raw10000, {}},
        {"raw loop, 1 MB blocks", false, Raw1M, {}},
        {"CopyFiles, shell's callback", true, CopyFilesShell, {}},
        {"CopyFiles, silent callback", true, CopyFilesSilent, {}},
        {"CopyFileA", true, RunCopyFileA, {}},
        {"NSIS installer", true, RunNsis, {}},
    };
    // Rounds interleave the contenders, so that drifts of the machine fall
    // on all of them alike; the page cache is hot for all.
    for (int r = 0; r < nRounds; ++r) {
        for (Contender& c : contenders) {
            DeleteFolder(Root("out"));
            double dMs = c.pfnRun(c.bBig);
            if (dMs < 0 || (r == 0 && !CheckOutput(c))) {
                fprintf(stderr, "%s (%s) failed\n", c.pszName, c.bBig ? "100 MB file" : "2,000 files");
                return 1;
            }
            c.times.push_back(dMs);
        }
    }
    std::vector<double> cancels;
    for (int r = 0; r < nRounds; ++r) {
        DeleteFolder(Root("out"));
        double dMs = RunCancelToQuestion(host);
        if (dMs < 0) {
            fprintf(stderr, "Cancel brought no quit question in round %d\n", r + 1);
            return 1;
        }
        cancels.push_back(dMs);
    }
    DeleteFolder(Root("out"));

    printf("copy phase: medians of %d runs (warm Wine server, hot page cache)\n", nRounds);
    for (bool bBig : {false, true}) {
        printf("\n%s\n", bBig ? "one file of 100 MB, medium of 70 type-1 volumes"
                              : "200 MB in 2,000 files of 100,000 bytes, one-volume medium");
        double dCopyFileA = 0, dNsis = 0, dFresh = 0, dReinstall = 0, dInMemory = 0, dSaved = 0, dReinstallSaved = 0;
        for (const Contender& c : contenders)
            if (c.bBig == bBig) {
                if (c.pfnRun == RunCopyFileA)
                    dCopyFileA = Median(c.times);
                if (c.pfnRun == RunNsis)
                    dNsis = Median(c.times);
                if (c.pfnRun == CopyFilesSilent)
                    dFresh = Median(c.times);
                if (c.pfnRun == CopyFilesReinstall)
                    dReinstall = Median(c.times);
                if (c.pfnRun == CopyFilesInMemory)
                    dInMemory = Median(c.times);
                if (c.pfnRun == CopyFilesSaved)
                    dSaved = Median(c.times);
                if (c.pfnRun == CopyFilesReinstallSaved)
                    dReinstallSaved = Median(c.times);
            }
        double dMb = (bBig ? BIG_SIZE : double(FILE_COUNT) * FILE_SIZE) / 1e6;
        for (const Contender& c : contenders) {
            if (c.bBig != bBig)
                continue;
            double dMedian = Median(c.times);
            auto minmax = std::minmax_element(c.times.begin(), c.times.end());
            printf("  %-30s %8.0f ms  (%6.0f..%6.0f)  %6.0f MB/s  x%.2f CopyFileA  x%.2f NSIS\n", c.pszName, dMedian,
                   *minmax.first, *minmax.second, dMb / (dMedian / 1000.0), dMedian / dCopyFileA, dMedian / dNsis);
        }
        if (dReinstall > 0)
            printf("  over an installation: x%.2f the fresh install, %.3f ms more per replaced file\n",
                   dReinstall / dFresh, (dReinstall - dFresh) / (FILE_COUNT + 1));
        if (dInMemory > 0)
            printf("  the journal on the disk: %.3f ms per file; the end of a run (every file flushed, the kept ones"
                   " deleted): %.3f ms per file, %.3f ms per file over an installation\n",
                   (dFresh - dInMemory) / (FILE_COUNT + 1), (dSaved - dFresh) / (FILE_COUNT + 1),
                   (dReinstallSaved - dReinstall) / (FILE_COUNT + 1));
    }
    auto minmax = std::minmax_element(cancels.begin(), cancels.end());
    printf("\nCancel pressed during the copy of the 100 MB file, until the quit question is shown:\n"
           "  %.1f ms  (%.1f..%.1f)\n",
           Median(cancels), *minmax.first, *minmax.second);
    return 0;
}
}

// One workload, bracketed by the creation of two named events that the
// Wine server's trace shows, so that the requests in between can be
// counted; this thread's id tells the trace's lines of the process.
int Trace(const std::string& contender, const std::string& workload)
{
    CBenchHost host;
    bool bBig = workload == "big";
    DeleteFolder(Root("out"));
    printf("thread %04lx\n", static_cast<unsigned long>(GetCurrentThreadId()));
    double dMs = -1.0;
    {
        CKernelHandle start(CreateEventA(nullptr, TRUE, FALSE, "bench-trace-start"));
        if (contender == "shell")
            dMs = CopyFilesShell(bBig);
        else if (contender == "silent")
            dMs = CopyFilesSilent(bBig);
        else if (contender == "copyfile")
            dMs = RunCopyFileA(bBig);
        else if (contender == "nsis")
            dMs = RunNsis(bBig);
        CKernelHandle end(CreateEventA(nullptr, TRUE, FALSE, "bench-trace-end"));
    }
    DeleteFolder(Root("out"));
    return dMs < 0 ? 1 : 0;
}

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "prepare") == 0)
        return Prepare();
    if (argc >= 2 && strcmp(argv[1], "clean") == 0) {
        DeleteFolder(BENCH_ROOT);
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "trace") == 0)
        return Trace(argv[2], argv[3]);
    if (argc >= 2 && strcmp(argv[1], "run") == 0) {
        int nRounds = argc >= 3 ? atoi(argv[2]) : DEFAULT_ROUNDS;
        return Run(nRounds > 0 ? nRounds : DEFAULT_ROUNDS);
    }
    fprintf(stderr, "usage: bench_copyphase prepare | run [rounds] | trace <contender> files|big | clean\n");
    return 2;
}
