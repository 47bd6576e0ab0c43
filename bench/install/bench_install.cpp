// The whole install of the one-disk Tilewright medium, enlarged to 200 MB
// with generated map files, by the real Setup.exe driven through its wizard
// (from the start of the process to its exit), against an NSIS installer of
// the same files and a plain CopyFileA of them, all under the same Wine.
//
//   bench_install prepare   writes the map files, the enlarged manifest and
//                           the NSIS script beside the staged product
//   bench_install run [n]   makes the media, times n rounds (default 5),
//                           prints medians and ratios, and the time of
//                           Setup.exe on the product's medium alone
//   bench_install clean     removes what prepare wrote
//
// The NSIS installer is built from the script between the two steps by
// scripts/bench-install.sh (makensis runs natively on the staged files).
#include "DesktopHelpers.h"
#include "InstallRun.h"

#include "bench/timer/Timer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char MANIFEST[] = "Tilewright-200MB.ini";
const char NSIS_SCRIPT[] = "Tilewright-200MB.nsi";
const char NSIS_INSTALLER[] = "Tilewright-200MB-nsis.exe";
const char FILLER_DIR[] = "filler";
const char MEDIUM_NAME[] = "bench-200MB";
const char PRODUCT_MEDIUM_NAME[] = "bench-product";
const ULONGLONG TOTAL_BYTES = 200000000;
const int FILLER_FILES = 4;
const int DEFAULT_ROUNDS = 5;
const DWORD WRITE_BLOCK = 1 << 20;

// One file of the medium: its source beside the manifest and where an
// install puts it.
struct CBenchFile {
    std::string source;
    std::string target;
};

std::string Trim(const std::string& s)
{
    size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string FillerName(int n)
{
    return "Atlas" + std::to_string(n) + ".tlr";
}

bool FileSize(const std::string& path, ULONGLONG& ullSize)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    ullSize = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

// The files of a manifest in [Files] order, then the uninstaller, which the
// setup installs as "Uninst.exe" in the destination.
bool ReadManifest(const std::string& manifest, std::vector<CBenchFile>& files)
{
    std::vector<char> section(65536);
    DWORD n = GetPrivateProfileSectionA("Files", section.data(), static_cast<DWORD>(section.size()), manifest.c_str());
    if (n == 0 || n >= section.size() - 2)
        return false;
    for (const char* p = section.data(); *p; p += strlen(p) + 1) {
        std::string line = p;
        size_t eq = line.find('=');
        std::string key = Trim(line.substr(0, eq));
        size_t slash = key.find('\\');
        if (eq == std::string::npos || slash == std::string::npos)
            return false;
        std::string source = Trim(line.substr(eq + 1, line.find('|') - eq - 1));
        // Entries of empty directories have no source: none in this medium.
        if (source.empty())
            return false;
        std::string where = key.substr(0, slash);
        std::string rest = key.substr(slash + 1);
        if (where == "Applikation")
            files.push_back({source, std::string(INSTALL_DEST) + "\\" + rest});
        else if (where == "WinSys")
            files.push_back({source, SystemDir() + "\\" + rest});
        else
            return false;
    }
    char szUninstaller[MAX_PATH];
    if (!GetPrivateProfileStringA("Setup", "Uninstaller", "", szUninstaller, MAX_PATH, manifest.c_str()))
        return false;
    files.push_back({szUninstaller, std::string(INSTALL_DEST) + "\\Uninst.exe"});
    return true;
}

// The bytes of all the files' sources.
bool TotalSize(const std::vector<CBenchFile>& files, ULONGLONG& ullTotal)
{
    ullTotal = 0;
    for (const CBenchFile& file : files) {
        ULONGLONG ullSize = 0;
        if (!FileSize(Stage(file.source.c_str()), ullSize)) {
            fprintf(stderr, "cannot find %s\n", Stage(file.source.c_str()).c_str());
            return false;
        }
        ullTotal += ullSize;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Preparing

// A map file of text rows of tiles, like the product's World.tlr.
bool WriteMapFile(const std::string& path, ULONGLONG ullSize, DWORD& x)
{
    static const char* const tiles[] = {"grass ", "water ", "sand ", "rock ", "forest ", "road "};
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::string block;
    bool bOk = true;
    for (ULONGLONG ullLeft = ullSize; bOk && ullLeft > 0;) {
        block = "TLR1 atlas row:";
        while (block.size() < WRITE_BLOCK) {
            for (int i = 0; i < 12; ++i) {
                x = x * 1103515245u + 12345u;
                block += tiles[(x >> 16) % 6];
            }
            block += "\r\n";
        }
        DWORD dwChunk = static_cast<DWORD>(ullLeft < WRITE_BLOCK ? ullLeft : WRITE_BLOCK);
        DWORD dwWritten = 0;
        bOk = WriteFile(h, block.data(), dwChunk, &dwWritten, nullptr) && dwWritten == dwChunk;
        ullLeft -= dwChunk;
    }
    return CloseHandle(h) && bOk;
}

// Writes text at the end of the file, or into a new file with dwCreation
// CREATE_ALWAYS.
bool WriteText(const std::string& path, const std::string& text, DWORD dwAccess, DWORD dwCreation)
{
    HANDLE h = CreateFileA(path.c_str(), dwAccess, 0, nullptr, dwCreation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD dwWritten = 0;
    bool bOk = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &dwWritten, nullptr) &&
               dwWritten == text.size();
    return CloseHandle(h) && bOk;
}

// An NSIS script putting the same files in the same places, without
// compression and without a window.
bool WriteNsisScript(const std::vector<CBenchFile>& files)
{
    std::string text = "Target amd64-unicode\r\nSetCompress off\r\nSilentInstall silent\r\n"
                       "RequestExecutionLevel user\r\nOutFile \"" +
                       std::string(NSIS_INSTALLER) + "\"\r\nSection\r\n";
    std::string outDir;
    for (const CBenchFile& file : files) {
        size_t slash = file.target.rfind('\\');
        if (file.target.substr(0, slash) != outDir) {
            outDir = file.target.substr(0, slash);
            text += "  SetOutPath \"" + outDir + "\"\r\n";
        }
        text += "  File \"/oname=" + file.target.substr(slash + 1) + "\" \"" + file.source + "\"\r\n";
    }
    text += "SectionEnd\r\n";
    return WriteText(Stage(NSIS_SCRIPT), text, GENERIC_WRITE, CREATE_ALWAYS);
}

// The product's files, its uninstaller included, and the map files that
// bring them to TOTAL_BYTES.
int Prepare()
{
    std::vector<CBenchFile> product;
    if (!ReadManifest(Stage("Tilewright.ini"), product)) {
        fprintf(stderr, "cannot read %s\n", Stage("Tilewright.ini").c_str());
        return 1;
    }
    ULONGLONG ullProduct = 0;
    if (!TotalSize(product, ullProduct))
        return 1;
    std::string fillerDir = Stage(FILLER_DIR);
    if (!CreateDirectoryA(fillerDir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        fprintf(stderr, "cannot create %s\n", fillerDir.c_str());
        return 1;
    }
    std::string lines = "\r\n";
    ULONGLONG ullLeft = TOTAL_BYTES - ullProduct;
    DWORD x = 20240;
    for (int n = 1; n <= FILLER_FILES; ++n) {
        ULONGLONG ullSize = n < FILLER_FILES ? (TOTAL_BYTES - ullProduct) / FILLER_FILES : ullLeft;
        if (!WriteMapFile(fillerDir + "\\" + FillerName(n), ullSize, x)) {
            fprintf(stderr, "cannot write %s (error %lu)\n", FillerName(n).c_str(), GetLastError());
            return 1;
        }
        ullLeft -= ullSize;
        lines += "Applikation\\Maps\\" + FillerName(n) + " = " + FILLER_DIR + "\\" + FillerName(n) + "\r\n";
    }
    std::string manifest = Stage(MANIFEST);
    std::vector<CBenchFile> files;
    if (!CopyFileA(Stage("Tilewright.ini").c_str(), manifest.c_str(), FALSE) || !WriteText(manifest, lines, FILE_APPEND_DATA, OPEN_EXISTING) ||
        !ReadManifest(manifest, files) || !WriteNsisScript(files)) {
        fprintf(stderr, "cannot write the manifest or the NSIS script (error %lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

void Clean()
{
    for (int n = 1; n <= FILLER_FILES; ++n)
        DeleteFileA((Stage(FILLER_DIR) + "\\" + FillerName(n)).c_str());
    RemoveDirectoryA(Stage(FILLER_DIR).c_str());
    for (const char* pszName : {MANIFEST, NSIS_SCRIPT, NSIS_INSTALLER})
        DeleteFileA(Stage(pszName).c_str());
}

// ---------------------------------------------------------------------------
// The contenders. Each returns the milliseconds taken, or a negative value
// when it failed.

// A medium with Setup.exe and the files its manifest installs.
struct CMedium {
    std::string dir;
    std::string setupExe;
    std::vector<CBenchFile> files;
    ULONGLONG ullBytes = 0;
};

bool MakeBenchMedium(const char* pszManifest, const char* pszName, CMedium& medium)
{
    std::string manifest = Stage(pszManifest);
    if (!ReadManifest(manifest, medium.files) || !TotalSize(medium.files, medium.ullBytes)) {
        fprintf(stderr, "cannot read %s: run \"prepare\" first\n", manifest.c_str());
        return false;
    }
    medium.dir = MakeMediumFrom(manifest, pszName, "2");
    medium.setupExe = medium.dir + "\\Setup.exe";
    if (medium.dir.empty() || !CopyFileA(BuildPath("app\\Setup.exe").c_str(), medium.setupExe.c_str(), FALSE)) {
        fprintf(stderr, "cannot make the medium from %s\n", manifest.c_str());
        return false;
    }
    return true;
}

double RunSetup(const CMedium& medium)
{
    CDesktopHelpers helpers;
    CTimer timer;
    CDriven run = DriveSetup(medium.setupExe);
    double dMs = timer.ElapsedMs();
    if (run.nExitCode != 0 || run.finalMessage != MSG_SUCCESS) {
        fprintf(stderr, "Setup.exe ended with %ld, final message \"%s\"\n", run.nExitCode, run.finalMessage.c_str());
        return -1.0;
    }
    return dMs;
}

double RunSilentSetup(const CMedium& medium)
{
    CDesktopHelpers helpers;
    CTimer timer;
    CSilentRun run = RunSilently(medium.setupExe, "/S");
    double dMs = timer.ElapsedMs();
    if (run.nExitCode != 0) {
        fprintf(stderr, "Setup.exe /S ended with %ld\n", run.nExitCode);
        return -1.0;
    }
    return dMs;
}

double RunNsis(const CMedium&)
{
    CChildProcess nsis;
    CTimer timer;
    if (!nsis.Start(Stage(NSIS_INSTALLER)))
        return -1.0;
    long nCode = nsis.WaitForExit(INSTALL_WAIT_MS);
    double dMs = timer.ElapsedMs();
    if (nCode != 0) {
        fprintf(stderr, "the NSIS installer ended with %ld\n", nCode);
        return -1.0;
    }
    return dMs;
}

// Creates a folder and the missing folders above it.
bool MakeFolder(const std::string& dir)
{
    if (GetFileAttributesA(dir.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    size_t slash = dir.rfind('\\');
    return slash != std::string::npos && MakeFolder(dir.substr(0, slash)) && CreateDirectoryA(dir.c_str(), nullptr);
}

double RunCopy(const CMedium& medium)
{
    CTimer timer;
    for (const CBenchFile& file : medium.files) {
        if (!MakeFolder(file.target.substr(0, file.target.rfind('\\'))) ||
            !CopyFileA(Stage(file.source.c_str()).c_str(), file.target.c_str(), FALSE)) {
            fprintf(stderr, "cannot copy %s (error %lu)\n", file.target.c_str(), GetLastError());
            return -1.0;
        }
    }
    return timer.ElapsedMs();
}

// Every file in place with its source's size; the setup rewrites the
// sample forms, so only their presence is checked.
bool CheckInstalled(const std::vector<CBenchFile>& files)
{
    for (const CBenchFile& file : files) {
        ULONGLONG ullSource = 0, ullTarget = 0;
        bool bForm = file.target.size() > 4 && file.target.compare(file.target.size() - 4, 4, ".frm") == 0;
        if (!FileSize(file.target, ullTarget) || !FileSize(Stage(file.source.c_str()), ullSource) ||
            (!bForm && ullTarget != ullSource)) {
            fprintf(stderr, "%s is missing or has the wrong size\n", file.target.c_str());
            return false;
        }
    }
    return true;
}

struct Contender {
    const char* pszName;
    double (*pfnRun)(const CMedium& medium);
    const CMedium* pMedium;
    std::vector<double> times;
};

void PrintTimes(const Contender& c)
{
    double dMedian = Median(c.times);
    auto minmax = std::minmax_element(c.times.begin(), c.times.end());
    printf("  %-34s %8.0f ms  (%6.0f..%6.0f)  %6.0f MB/s\n", c.pszName, dMedian, *minmax.first, *minmax.second,
           c.pMedium->ullBytes / 1e6 / (dMedian / 1000.0));
}

int Run(int nRounds)
{
    CMedium enlarged, product;
    if (!MakeBenchMedium(MANIFEST, MEDIUM_NAME, enlarged) ||
        !MakeBenchMedium("Tilewright.ini", PRODUCT_MEDIUM_NAME, product))
        return 1;
    std::vector<Contender> contenders = {
        {"Setup.exe, driven wizard", RunSetup, &enlarged, {}},
        {"NSIS silent installer", RunNsis, &enlarged, {}},
        {"plain copy (CopyFileA)", RunCopy, &enlarged, {}},
        {"Setup.exe, product's files only", RunSetup, &product, {}},
        {"Setup.exe /S", RunSilentSetup, &enlarged, {}},
    };
    // Rounds interleave the contenders, so that drifts of the machine fall
    // on all of them alike; the page cache is hot for all after the first.
    int status = 0;
    for (int r = 0; r < nRounds && status == 0; ++r) {
        for (Contender& c : contenders) {
            RemoveInstallation();
            double dMs = c.pfnRun(*c.pMedium);
            if (dMs < 0 || !CheckInstalled(c.pMedium->files)) {
                fprintf(stderr, "%s failed in round %d\n", c.pszName, r + 1);
                status = 1;
                break;
            }
            c.times.push_back(dMs);
        }
    }
    RemoveInstallation();
    DeleteTree(enlarged.dir);
    DeleteTree(product.dir);
    if (status != 0)
        return status;

    printf("whole install of the one-disk Tilewright medium, enlarged: %llu bytes in %u files, %u of them the "
           "product's\nmedians of %d runs, destination removed before each, warm Wine server, hot page cache\n\n",
           enlarged.ullBytes, static_cast<unsigned>(enlarged.files.size()),
           static_cast<unsigned>(product.files.size()), nRounds);
    for (int i : {0, 4, 1, 2})
        PrintTimes(contenders[i]);
    double dSetup = Median(contenders[0].times);
    double dSilent = Median(contenders[4].times);
    printf("\n  Setup/copy  x%.2f\n  Setup/NSIS  x%.2f\n  Setup /S / NSIS silent  x%.2f\n",
           dSetup / Median(contenders[2].times), dSetup / Median(contenders[1].times),
           dSilent / Median(contenders[1].times));
    printf("\nthe fixed part of Setup.exe: the product's medium alone (%llu bytes)\n", product.ullBytes);
    PrintTimes(contenders[3]);
    return 0;
}
}

int main(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "prepare") == 0)
        return Prepare();
    if (argc >= 2 && strcmp(argv[1], "clean") == 0) {
        Clean();
        return 0;
    }
    if (argc >= 2 && strcmp(argv[1], "run") == 0) {
        int nRounds = argc >= 3 ? atoi(argv[2]) : DEFAULT_ROUNDS;
        return Run(nRounds > 0 ? nRounds : DEFAULT_ROUNDS);
    }
    fprintf(stderr, "usage: bench_install prepare | run [rounds] | clean\n");
    return 2;
}
