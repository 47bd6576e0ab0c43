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
//   bench_copyphase run [n]   times n rounds (default 10), each running
//                             every contender once in an order of its own,
//                             prints medians and the medians of the rounds'
//                             ratios, with their spread
//   bench_copyphase clean     removes ROOT
//   bench_copyphase trace silent|shell|reinstall|copyfile|nsis files|big
//                             runs one workload between two marker events,
//                             for scripts/bench-requests.sh, which counts
//                             the Wine server requests in between (for
//                             reinstall, the installation it replaces is
//                             put in place before the first marker)
//
// The NSIS installers ROOT\nsis_files.exe and ROOT\nsis_big.exe are built
// between the two steps by scripts/bench-copy.sh.
#include "bench/copyrun/CopyRun.h"

#include "model/DataVolume.h"
#include "tools/guidriver/GuiDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
const char BENCH_ROOT[] = "C:\\bench_copyphase";
const CFileSet FILES = {2000, 100000};
const DWORD BIG_SIZE = 100000000;
const DWORD UNINSTALLER_SIZE = 50000;
const DWORD BIG_DISK_TYPE = 1;
const int DEFAULT_ROUNDS = 10;
const DWORD NSIS_TIMEOUT_MS = 300000;

std::string Root(const std::string& rel)
{
    return std::string(BENCH_ROOT) + "\\" + rel;
}

// ---------------------------------------------------------------------------
// Preparing: the plain files, the one-volume medium of the same files, the
// 100 MB file and its medium of type-1 volumes.

bool PrepareFiles()
{
    CFileHandle stream(OpenBenchFile(Root("medium\\Data.dat"), GENERIC_WRITE, CREATE_ALWAYS));
    const BYTE header[DATAVOLUME_HEADER_SIZE] = {0, 0};
    if (stream.IsEmpty() || !WriteBytes(stream, header, sizeof header) || !WriteFileSet(FILES, Root("files"), stream))
        return false;
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
// The big medium's volumes, swapped at the disk prompts as a user would

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
    return ShellOrSilentCallback(nType, nArg, pArg);
}

// ---------------------------------------------------------------------------
// The contenders. Each returns the milliseconds taken, or a negative value
// when it failed.

// The tree of one workload, its medium and the destination.
void SetUpEngine(CSetupMngr& engine, bool bBig)
{
    CDirNode* pApp = SetUpFileSet(engine, bBig ? CFileSet{0, 0} : FILES, Root(bBig ? "bigmedium" : "medium"),
                                  Root("out"), UNINSTALLER_SIZE);
    if (bBig) {
        AddFile(pApp, "Big.bin", BIG_SIZE);
        engine.m_nDiskType = BIG_DISK_TYPE;
        engine.m_dwAppBytes += BIG_SIZE;
    }
    engine.m_pfnCallback = BenchCallback;
}

// With how.bReinstall the caller has put an installation in place.
double RunCopyFiles(bool bBig, const CopyRun& how)
{
    CSetupMngr engine;
    SetUpEngine(engine, bBig);
    g_dSwapMs = 0.0;
    double dMs = 0.0;
    unsigned nKept = 0;
    bool bOk = TimeCopyFiles(engine, how, dMs, nKept);
    if (bBig && !RestoreBigMedium())
        fprintf(stderr, "cannot put the big medium back in order\n");
    if (how.bReinstall && nKept != (bBig ? 1u : FILES.nFiles) + 1u) {
        fprintf(stderr, "the reinstall kept %u files aside\n", nKept);
        return -1.0;
    }
    return bOk ? dMs - g_dSwapMs : -1.0;
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
    return CopyFileSet(FILES, Root("files"), out) ? timer.ElapsedMs() : -1.0;
}

double RunNsis(bool bBig)
{
    std::string exe = Root(bBig ? "nsis_big.exe" : "nsis_files.exe");
    return TimeProgram(exe, "\"" + exe + "\" /D=" + Root("out"), NSIS_TIMEOUT_MS);
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
    for (int i = 0; i < FILES.nFiles; ++i) {
        std::string dir = out + "\\" + DirName(i / FILES_PER_DIRECTORY);
        if (i % FILES_PER_DIRECTORY == 0 && !CreateDirectoryA(dir.c_str(), nullptr))
            return -1.0;
        std::string temp = dir + "\\Fil.tmp";
        {
            CFileHandle file(OpenBenchFile(temp, GENERIC_WRITE, CREATE_ALWAYS));
            for (DWORD dwLeft = FILES.dwSize; dwLeft > 0;) {
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

// Over an installation: its files put in place first, untimed, by
// CopyFileA.
double OverInstallation(bool bBig, const CopyRun& how)
{
    return RunCopyFileA(bBig) < 0 ? -1.0 : RunCopyFiles(bBig, how);
}

// Each as {shell's callback, over an installation, journal on the disk, saved}.
const CopyRun REINSTALL = {false, true, true, false};
double CopyFilesShell(bool bBig) { return RunCopyFiles(bBig, {true, false, true, false}); }
double CopyFilesSilent(bool bBig) { return RunCopyFiles(bBig, {false, false, true, false}); }
double CopyFilesReinstall(bool bBig) { return OverInstallation(bBig, REINSTALL); }
double CopyFilesInMemory(bool bBig) { return RunCopyFiles(bBig, {false, false, false, false}); }
double CopyFilesSaved(bool bBig) { return RunCopyFiles(bBig, {false, false, true, true}); }
double CopyFilesReinstallSaved(bool bBig) { return OverInstallation(bBig, {false, true, true, true}); }
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
    ULONGLONG ullWant = (c.bBig ? BIG_SIZE : FILES.Bytes()) + (bRaw ? 0 : UNINSTALLER_SIZE);
    int nWant = (c.bBig ? 1 : FILES.nFiles) + (bRaw ? 0 : 1);
    if (ullBytes == ullWant && nFiles == nWant)
        return true;
    fprintf(stderr, "%s installed %d files of %llu bytes, expected %d of %llu\n", c.pszName, nFiles, ullBytes, nWant,
            ullWant);
    return false;
}

// The times of a workload's contender that runs pfnRun.
const std::vector<double>& TimesOf(const std::vector<Contender>& contenders, bool bBig, double (*pfnRun)(bool))
{
    for (const Contender& c : contenders)
        if (c.bBig == bBig && c.pfnRun == pfnRun)
            return c.times;
    static const std::vector<double> none;
    return none;
}

void PrintWorkload(const std::vector<Contender>& contenders, bool bBig)
{
    printf("\n%s\n", bBig ? "one file of 100 MB, medium of 70 type-1 volumes"
                          : "200 MB in 2,000 files of 100,000 bytes, one-volume medium");
    const std::vector<double>& copyFileA = TimesOf(contenders, bBig, RunCopyFileA);
    const std::vector<double>& nsis = TimesOf(contenders, bBig, RunNsis);
    double dMb = (bBig ? BIG_SIZE : FILES.Bytes()) / 1e6;
    for (const Contender& c : contenders) {
        if (c.bBig != bBig)
            continue;
        CSpread time = SpreadOf(c.times);
        printf("  %-30s %8.0f ms  (%6.0f..%6.0f)  %6.0f MB/s  %s CopyFileA  %s NSIS\n", c.pszName, time.dMedian,
               time.dMin, time.dMax, dMb / (time.dMedian / 1000.0), RatioText(RatioSpread(c.times, copyFileA)).c_str(),
               RatioText(RatioSpread(c.times, nsis)).c_str());
    }
    const std::vector<double>& fresh = TimesOf(contenders, bBig, CopyFilesSilent);
    const std::vector<double>& reinstall = TimesOf(contenders, bBig, CopyFilesReinstall);
    if (reinstall.empty())
        return;
    double dFresh = Median(fresh), dReinstall = Median(reinstall);
    double nFiles = FILES.nFiles + 1;
    printf("  over an installation: %s the fresh install, %.3f ms more per replaced file\n",
           RatioText(RatioSpread(reinstall, fresh)).c_str(), (dReinstall - dFresh) / nFiles);
    printf("  the shell's callback against the raw loop of 10,000-byte blocks: %s\n",
           RatioText(RatioSpread(TimesOf(contenders, bBig, CopyFilesShell), TimesOf(contenders, bBig, Raw10000)))
               .c_str());
    printf("  the journal on the disk: %.3f ms per file; the end of a run (every file flushed, the kept ones"
           " deleted): %.3f ms per file, %.3f ms per file over an installation\n",
           (dFresh - Median(TimesOf(contenders, bBig, CopyFilesInMemory))) / nFiles,
           (Median(TimesOf(contenders, bBig, CopyFilesSaved)) - dFresh) / nFiles,
           (Median(TimesOf(contenders, bBig, CopyFilesReinstallSaved)) - dReinstall) / nFiles);
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
    // Each round runs every contender once, in an order of its own; the
    // page cache is hot for all.
    for (int r = 0; r < nRounds; ++r) {
        for (size_t i : RoundOrder(contenders.size(), r)) {
            Contender& c = contenders[i];
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

    printf("copy phase: medians of %d rounds, each running every contender once in an order of its own (warm Wine\n"
           "server, hot page cache); each ratio the median of the rounds' ratios, with their smallest and largest\n",
           nRounds);
    for (bool bBig : {false, true})
        PrintWorkload(contenders, bBig);
    CSpread cancel = SpreadOf(cancels);
    printf("\nCancel pressed during the copy of the 100 MB file, until the quit question is shown:\n"
           "  %.1f ms  (%.1f..%.1f)\n",
           cancel.dMedian, cancel.dMin, cancel.dMax);
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
    // The installation that the reinstall replaces, before the marker.
    if (contender == "reinstall" && RunCopyFileA(bBig) < 0)
        return 1;
    double dMs = -1.0;
    {
        CKernelHandle start(CreateEventA(nullptr, TRUE, FALSE, "bench-trace-start"));
        if (contender == "shell")
            dMs = CopyFilesShell(bBig);
        else if (contender == "reinstall")
            dMs = RunCopyFiles(bBig, REINSTALL);
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
