// "mkmedium build" of 200 MB in 2,000 files against a plain CopyFileA of
// the same files under the same Wine: medians of several runs and their
// ratio, for a one-volume medium and for one of 1.44 MB volumes.
#include "bench/files/BenchFiles.h"

#include <cstdio>
#include <string>

namespace {
const CFileSet FILES = {2000, 100000};
const int RUNS = 5;
const DWORD TOOL_TIMEOUT_MS = 600000;

std::string g_root;

// The source tree: 20 folders of 100 files, each file's bytes its own.
bool MakeSources()
{
    std::string src = g_root + "\\src";
    return CreateDirectoryA(src.c_str(), nullptr) && WriteFileSet(FILES, src, nullptr) &&
           WriteWhole(src + "\\uninst.exe", std::vector<BYTE>(50000, 0x90));
}

// The last folder goes below WinSys, the others below Applikation.
bool WriteManifest()
{
    std::string text = "[Setup]\r\nName=Bench\r\nDestDir=\\Bench\r\nProgramFolder=Bench\r\n"
                       "Ident=00000000 42454E43 00000000 00000000\r\nUninstaller=src\\uninst.exe\r\n"
                       "DiskType=2\r\n\r\n[Files]\r\n";
    int nDirs = FILES.nFiles / FILES_PER_DIRECTORY;
    for (int i = 0; i < FILES.nFiles; ++i) {
        int nDir = i / FILES_PER_DIRECTORY;
        std::string top = nDir == nDirs - 1 ? "WinSys\\" : "Applikation\\";
        text += top + DirName(nDir) + "\\" + FileName(i) + "=src\\" + DirName(nDir) + "\\" + FileName(i) + "\r\n";
    }
    return WriteWhole(g_root + "\\medium.ini", std::vector<BYTE>(text.begin(), text.end()));
}

std::string ToolPath()
{
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    std::string path(szPath, n < MAX_PATH ? n : 0);
    for (int i = 0; i < 3; ++i)
        path = path.substr(0, path.rfind('\\'));
    return path + "\\tools\\mkmedium\\mkmedium.exe";
}

// One build of the medium; the time of the whole child process, or -1.
double TimeBuild(const std::string& tool, int nDiskType)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE hNul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                              OPEN_EXISTING, 0, nullptr);
    if (hNul == INVALID_HANDLE_VALUE)
        return -1.0;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = hNul;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + tool + "\" build \"" + g_root + "\\medium.ini\" \"" + g_root + "\\out\" --disk-type " +
                      std::to_string(nDiskType);
    CTimer timer;
    double dMs = -1.0;
    if (CreateProcessA(tool.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        DWORD dwCode = 1;
        if (WaitForSingleObject(pi.hProcess, TOOL_TIMEOUT_MS) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(pi.hProcess, &dwCode) && dwCode == 0)
            dMs = timer.ElapsedMs();
        else
            TerminateProcess(pi.hProcess, 99);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(hNul);
    DeleteFolder(g_root + "\\out");
    return dMs;
}

// A plain copy of the same files into a folder tree of the same shape.
double TimeCopy()
{
    std::string copy = g_root + "\\copy";
    CTimer timer;
    bool bOk = CreateDirectoryA(copy.c_str(), nullptr) && CopyFileSet(FILES, g_root + "\\src", copy);
    double dMs = bOk ? timer.ElapsedMs() : -1.0;
    DeleteFolder(copy);
    return dMs;
}

bool Measure(const std::string& tool, int nDiskType, const char* pszLabel)
{
    std::vector<double> builds, copies;
    for (int i = 0; i < RUNS; ++i) {
        double dBuild = TimeBuild(tool, nDiskType);
        double dCopy = TimeCopy();
        if (dBuild < 0 || dCopy < 0) {
            fprintf(stderr, "run %d of %s failed\n", i + 1, pszLabel);
            return false;
        }
        builds.push_back(dBuild);
        copies.push_back(dCopy);
    }
    double dBuild = Median(builds);
    double dCopy = Median(copies);
    double dMB = FILES.Bytes() / 1e6;
    printf("%s (disk type %d):\n", pszLabel, nDiskType);
    printf("  mkmedium build: median %.0f ms (%.0f MB/s), min %.0f, max %.0f\n", dBuild, dMB / dBuild * 1000.0,
           *std::min_element(builds.begin(), builds.end()), *std::max_element(builds.begin(), builds.end()));
    printf("  CopyFileA:      median %.0f ms (%.0f MB/s), min %.0f, max %.0f\n", dCopy, dMB / dCopy * 1000.0,
           *std::min_element(copies.begin(), copies.end()), *std::max_element(copies.begin(), copies.end()));
    printf("  ratio build / copy: %.2f\n", dBuild / dCopy);
    return true;
}
}

int main()
{
    char szTemp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, szTemp);
    if (!CTimer().IsValid() || n == 0 || n >= MAX_PATH) {
        fputs("no performance counter or no temporary folder\n", stderr);
        return 1;
    }
    g_root = std::string(szTemp) + "bench_mkmedium_copy-" + std::to_string(GetCurrentProcessId());
    std::string tool = ToolPath();
    if (GetFileAttributesA(tool.c_str()) == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "%s is not built\n", tool.c_str());
        return 1;
    }
    bool bOk = CreateDirectoryA(g_root.c_str(), nullptr) && MakeSources() && WriteManifest();
    if (!bOk)
        fprintf(stderr, "cannot make the source files in %s\n", g_root.c_str());
    else
        printf("%d files of %lu bytes (%.0f MB), %d runs each, hot cache\n", FILES.nFiles, FILES.dwSize,
               FILES.Bytes() / 1e6, RUNS);
    bOk = bOk && Measure(tool, 2, "one volume") && Measure(tool, 1, "1.44 MB volumes");
    DeleteFolder(g_root);
    return bOk ? 0 : 1;
}
