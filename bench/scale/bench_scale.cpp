// The installer as the number of files grows: 2,000, 10,000 and 50,000
// files of 4 KB, 100 to a directory, beside 2,000 files of 100,000 bytes.
// For each workload, the copy phase (CopyFiles as bench_copyphase runs it)
// with the shell's callback and progress dialog and with a silent one,
// fresh and over an installation, against CopyFileA of the same files and
// an NSIS installer of them, fresh and over its own installation; and the
// whole silent install, the real Setup.exe /S from a medium that mkmedium
// made of the files, fresh and over the installation, with the setup
// process's peak working set.
//
//   bench_scale prepare <files> <bytes> <uninstaller>
//                                         writes the sources and the
//                                         manifest of their medium below
//                                         ROOT, with the build's uninstaller
//                                         (the setup installs over an
//                                         installation only when it finds
//                                         its own uninstaller there)
//   bench_scale run <files> <bytes> [n]   times n rounds (default 1), each
//                                         running every contender once in
//                                         an order of its own, prints the
//                                         workload's figures and adds its
//                                         medians to RESULTS
//   bench_scale report                    prints every workload's time per
//                                         file and its growth with the count
//   bench_scale clean                     removes ROOT
//
// Between prepare and run scripts/bench-scale.sh makes ROOT\medium with the
// build's mkmedium, puts Setup.exe beside it, and builds the NSIS installer
// ROOT\nsis_files.exe of ROOT\files.
#include "InstallRun.h"

#include "bench/copyrun/CopyRun.h"

// K32GetProcessMemoryInfo, which kernel32 exports: no psapi needed.
#define PSAPI_VERSION 2
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {
const char BENCH_ROOT[] = "C:\\bench_scale";
const char RESULTS[] = "C:\\bench_scale-results.txt";
const int DEFAULT_ROUNDS = 1;
// Setup.exe /S over an installation of 50,000 files takes about three
// minutes here; room for a machine three times slower, and more.
const DWORD PROGRAM_TIMEOUT_MS = 30 * 60 * 1000;
const DWORD PEAK_POLL_MS = 20;
// The workload whose time per file the others are held against.
const CFileSet BASE = {2000, 4096};

std::string Root(const std::string& rel)
{
    return std::string(BENCH_ROOT) + "\\" + rel;
}

// What a round measures; the contenders fill them.
enum Figure { SHELL, SILENT, SILENT_OVER, COPYFILEA, NSIS, NSIS_OVER, SETUP, SETUP_OVER, FIGURE_COUNT };

const char* const FIGURE_NAMES[FIGURE_COUNT] = {
    "CopyFiles, shell's callback",  "CopyFiles, silent callback", "  over an installation",
    "CopyFileA",                    "NSIS installer",             "  over its installation",
    "Setup.exe /S, whole install", "  over the installation",
};

// The figures of one workload, one of each per round, and the peak working
// sets of Setup.exe /S in MB, fresh and over the installation.
struct CScaleRun {
    CFileSet set;
    DWORD dwUninstallerSize;
    std::vector<double> times[FIGURE_COUNT];
    std::vector<double> peaks[2];
};

// ---------------------------------------------------------------------------
// Preparing: the files, the uninstaller and a manifest for mkmedium that
// installs them into the proposed destination of the product.

bool WriteManifest(const CFileSet& set)
{
    std::ofstream manifest(Root("scale.ini"), std::ios::binary);
    manifest << "[Setup]\r\nName = Tilewright\r\nDestDir = \\Tilewright\r\nProgramFolder = Tilewright\r\n"
                "Ident = 54 57 01 00 31 54 57 52 00 00 01 00 00 00 00 00\r\nDiskType = 2\r\n"
                "Uninstaller = files\\Uninst.exe\r\n\r\n[Files]\r\nWinSys\\=\r\n";
    for (int i = 0; i < set.nFiles; ++i)
        manifest << "Applikation\\" << set.RelPath(i) << " = files\\" << set.RelPath(i) << "\r\n";
    return static_cast<bool>(manifest.flush());
}

int Prepare(const CFileSet& set, const char* pszUninstaller)
{
    DeleteFolder(BENCH_ROOT);
    if (!CreateDirectoryA(BENCH_ROOT, nullptr) || !CreateDirectoryA(Root("files").c_str(), nullptr) ||
        !WriteFileSet(set, Root("files"), nullptr) ||
        !CopyFileA(pszUninstaller, Root("files\\Uninst.exe").c_str(), TRUE) || !WriteManifest(set)) {
        fprintf(stderr, "cannot write the sources (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The contenders. Each adds its figures of the round to the run; false
// when it failed. The first round checks what each installed.

// Every file of the set and the uninstaller below dir, and nOthers more.
bool CheckInstalled(const CScaleRun& run, const std::string& dir, int nOthers)
{
    ULONGLONG ullBytes = 0;
    int nFiles = 0;
    CountFolder(dir, ullBytes, nFiles);
    int nWant = run.set.nFiles + 1 + nOthers;
    ULONGLONG ullWant = run.set.Bytes() + run.dwUninstallerSize;
    if (nFiles == nWant && ullBytes >= ullWant)
        return true;
    fprintf(stderr, "%s holds %d files of %llu bytes, expected %d of at least %llu\n", dir.c_str(), nFiles, ullBytes,
            nWant, ullWant);
    return false;
}

bool AddCopyFiles(CScaleRun& run, Figure figure, const CopyRun& how)
{
    CSetupMngr engine;
    SetUpFileSet(engine, run.set, Root("medium"), Root("out"), run.dwUninstallerSize);
    double dMs = 0.0;
    unsigned nKept = 0;
    if (!TimeCopyFiles(engine, how, dMs, nKept))
        return false;
    unsigned nWant = how.bReinstall ? run.set.nFiles + 1u : 0u;
    if (nKept != nWant) {
        fprintf(stderr, "CopyFiles kept %u files aside, expected %u\n", nKept, nWant);
        return false;
    }
    run.times[figure].push_back(dMs);
    return run.times[figure].size() > 1 || CheckInstalled(run, Root("out"), 0);
}

// Each as {shell's callback, over an installation, journal on the disk, saved}.
bool RunShell(CScaleRun& run)
{
    return AddCopyFiles(run, SHELL, {true, false, true, false});
}

// Fresh, then over what the fresh run installed.
bool RunSilent(CScaleRun& run)
{
    return AddCopyFiles(run, SILENT, {false, false, true, false}) &&
           AddCopyFiles(run, SILENT_OVER, {false, true, true, false});
}

bool RunCopyFileA(CScaleRun& run)
{
    CTimer timer;
    std::string out = Root("out");
    if (!CreateDirectoryA(out.c_str(), nullptr) ||
        !CopyFileA(Root("files\\Uninst.exe").c_str(), (out + "\\Uninst.exe").c_str(), FALSE) ||
        !CopyFileSet(run.set, Root("files"), out)) {
        fprintf(stderr, "CopyFileA failed (error %lu)\n", GetLastError());
        return false;
    }
    run.times[COPYFILEA].push_back(timer.ElapsedMs());
    return run.times[COPYFILEA].size() > 1 || CheckInstalled(run, out, 0);
}

bool AddNsis(CScaleRun& run, Figure figure)
{
    std::string exe = Root("nsis_files.exe");
    double dMs = TimeProgram(exe, "\"" + exe + "\" /D=" + Root("out"), PROGRAM_TIMEOUT_MS);
    if (dMs < 0) {
        fprintf(stderr, "the NSIS installer failed\n");
        return false;
    }
    run.times[figure].push_back(dMs);
    return run.times[figure].size() > 1 || CheckInstalled(run, Root("out"), 0);
}

bool RunNsis(CScaleRun& run)
{
    return AddNsis(run, NSIS) && AddNsis(run, NSIS_OVER);
}

// Setup.exe /S from the medium to its end, its peak working set read while
// it runs: under Wine a process that has ended tells nothing of its memory.
bool AddSetup(CScaleRun& run, Figure figure)
{
    std::string log = Root("setup.log");
    DeleteFileA(log.c_str());
    CChildProcess setup;
    CTimer timer;
    if (!setup.Start(Root("medium\\Setup.exe"), "/S /LOG=\"" + log + "\""))
        return false;
    CKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, setup.Id()));
    SIZE_T peak = 0;
    long nCode = -1;
    while (nCode == -1 && timer.ElapsedMs() < PROGRAM_TIMEOUT_MS) {
        PROCESS_MEMORY_COUNTERS counters = {};
        if (!process.IsEmpty() && GetProcessMemoryInfo(process, &counters, sizeof counters))
            peak = std::max(peak, counters.PeakWorkingSetSize);
        nCode = setup.WaitForExit(PEAK_POLL_MS);
    }
    double dMs = timer.ElapsedMs();
    if (nCode != 0 || peak == 0) {
        fprintf(stderr, "Setup.exe /S ended with %ld, peak working set %llu bytes read\n", nCode,
                static_cast<ULONGLONG>(peak));
        return false;
    }
    run.times[figure].push_back(dMs);
    run.peaks[figure == SETUP_OVER ? 1 : 0].push_back(peak / 1048576.0);
    return run.times[figure].size() > 1 || CheckInstalled(run, INSTALL_DEST, 1);
}

bool RunSetup(CScaleRun& run)
{
    RemoveInstallation();
    bool bOk = AddSetup(run, SETUP) && AddSetup(run, SETUP_OVER);
    RemoveInstallation();
    return bOk;
}

struct Contender {
    const char* pszName;
    bool (*pfnRun)(CScaleRun& run);
};

// ---------------------------------------------------------------------------

void PrintRun(const CScaleRun& run, int nRounds)
{
    printf("\n%d files of %lu bytes (%.0f MB), %d round%s\n", run.set.nFiles, run.set.dwSize, run.set.Bytes() / 1e6,
           nRounds, nRounds == 1 ? "" : "s");
    printf("  %-30s %8s  %-16s %9s  %-21s %s\n", "", "ms", "(min..max)", "ms/file", "against CopyFileA",
           "against NSIS");
    for (int f = 0; f < FIGURE_COUNT; ++f) {
        CSpread time = SpreadOf(run.times[f]);
        printf("  %-30s %8.0f  (%6.0f..%6.0f) %9.3f  %-21s %s\n", FIGURE_NAMES[f], time.dMedian, time.dMin, time.dMax,
               time.dMedian / run.set.nFiles, RatioText(RatioSpread(run.times[f], run.times[COPYFILEA])).c_str(),
               RatioText(RatioSpread(run.times[f], run.times[NSIS])).c_str());
    }
    printf("  over an installation against fresh: CopyFiles %s, NSIS %s, Setup.exe /S %s\n",
           RatioText(RatioSpread(run.times[SILENT_OVER], run.times[SILENT])).c_str(),
           RatioText(RatioSpread(run.times[NSIS_OVER], run.times[NSIS])).c_str(),
           RatioText(RatioSpread(run.times[SETUP_OVER], run.times[SETUP])).c_str());
    printf("  Setup.exe /S peak working set: %.1f MB fresh, %.1f MB over the installation\n", Median(run.peaks[0]),
           Median(run.peaks[1]));
}

// One line per workload: the set, the median of each figure, the peaks.
bool AppendResults(const CScaleRun& run)
{
    std::ofstream results(RESULTS, std::ios::app);
    results << run.set.nFiles << ' ' << run.set.dwSize;
    for (int f = 0; f < FIGURE_COUNT; ++f)
        results << ' ' << Median(run.times[f]);
    results << ' ' << Median(run.peaks[0]) << ' ' << Median(run.peaks[1]) << '\n';
    return static_cast<bool>(results.flush());
}

int Run(const CFileSet& set, int nRounds)
{
    WIN32_FILE_ATTRIBUTE_DATA uninstaller;
    if (!GetFileAttributesExA(Root("files\\Uninst.exe").c_str(), GetFileExInfoStandard, &uninstaller)) {
        fprintf(stderr, "no uninstaller in %s: run \"prepare\" first\n", BENCH_ROOT);
        return 1;
    }
    CBenchHost host;
    CScaleRun run = {set, uninstaller.nFileSizeLow, {}, {}};
    const Contender contenders[] = {
        {"CopyFiles, shell's callback", RunShell}, {"CopyFiles, silent callback", RunSilent},
        {"CopyFileA", RunCopyFileA},               {"NSIS installer", RunNsis},
        {"Setup.exe /S", RunSetup},
    };
    const size_t nContenders = sizeof contenders / sizeof contenders[0];
    for (int r = 0; r < nRounds; ++r) {
        for (size_t i : RoundOrder(nContenders, r)) {
            DeleteFolder(Root("out"));
            if (!contenders[i].pfnRun(run)) {
                fprintf(stderr, "%s failed in round %d\n", contenders[i].pszName, r + 1);
                return 1;
            }
        }
    }
    DeleteFolder(Root("out"));
    PrintRun(run, nRounds);
    return AppendResults(run) ? 0 : 1;
}

double ReadNumber(std::istream& in)
{
    double d = 0.0;
    in >> d;
    return d;
}

// The medians of every workload run, each figure per file, and how that
// grows with the count against BASE.
int Report()
{
    std::ifstream results(RESULTS);
    std::vector<CScaleRun> runs;
    CScaleRun run = {};
    while (results >> run.set.nFiles >> run.set.dwSize) {
        for (std::vector<double>& figure : run.times)
            figure.assign(1, ReadNumber(results));
        for (std::vector<double>& peak : run.peaks)
            peak.assign(1, ReadNumber(results));
        runs.push_back(run);
    }
    const CScaleRun* pBase = nullptr;
    for (const CScaleRun& r : runs)
        if (r.set.nFiles == BASE.nFiles && r.set.dwSize == BASE.dwSize)
            pBase = &r;
    printf("\nms per file (medians); in brackets the time per file against that of %d files of %lu bytes\n",
           BASE.nFiles, BASE.dwSize);
    printf("  %-30s", "");
    for (const CScaleRun& r : runs)
        printf(" %-17s", (std::to_string(r.set.nFiles) + " x " + std::to_string(r.set.dwSize)).c_str());
    printf("\n");
    for (int f = 0; f < FIGURE_COUNT; ++f) {
        printf("  %-30s", FIGURE_NAMES[f]);
        for (const CScaleRun& r : runs) {
            double dPerFile = r.times[f][0] / r.set.nFiles;
            char szGrowth[16] = "";
            if (pBase && r.set.dwSize == BASE.dwSize && &r != pBase)
                snprintf(szGrowth, sizeof szGrowth, "(x%.2f)", dPerFile / (pBase->times[f][0] / BASE.nFiles));
            printf(" %8.3f %-8s", dPerFile, szGrowth);
        }
        printf("\n");
    }
    printf("  %-30s", "Setup.exe /S peak working set");
    for (const CScaleRun& r : runs)
        printf(" %5.1f/%5.1f MB %2s", r.peaks[0][0], r.peaks[1][0], "");
    printf("\n  (fresh/over the installation)\n");
    return runs.empty() ? 1 : 0;
}
}

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "report") == 0)
        return Report();
    if (argc >= 2 && strcmp(argv[1], "clean") == 0) {
        DeleteFolder(BENCH_ROOT);
        return 0;
    }
    if (argc >= 4) {
        CFileSet set = {atoi(argv[2]), static_cast<DWORD>(strtoul(argv[3], nullptr, 10))};
        if (strcmp(argv[1], "prepare") == 0 && set.nFiles > 0 && argc >= 5)
            return Prepare(set, argv[4]);
        int nRounds = argc >= 5 ? atoi(argv[4]) : DEFAULT_ROUNDS;
        if (strcmp(argv[1], "run") == 0 && set.nFiles > 0)
            return Run(set, nRounds > 0 ? nRounds : DEFAULT_ROUNDS);
    }
    fprintf(stderr, "usage: bench_scale prepare <files> <bytes> <uninstaller> | run <files> <bytes> [rounds] | report | clean\n");
    return 2;
}
