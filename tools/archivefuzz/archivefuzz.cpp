// Mutation run over the install-information reader: takes a sound archive,
// damages it in many ways with a fixed seed, and reads every damaged copy
// both as the loader does and as the destination page's check of an
// earlier installation does. Every read must end in success or a clean
// refusal: no crash, no hang, no unbounded memory. Then it gives folders
// and files of the sound tree names that leave their folder or name a
// device: the loader must refuse every such copy (exit code 1 otherwise).
//   archivefuzz <Setup.dat> <work dir> <count> [seed]
#include "engine/SetupMngr.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {
std::vector<BYTE> ReadFileBytes(const std::string& path)
{
    std::vector<BYTE> bytes;
    CFile file;
    file.Open(path.c_str(), CFile::modeRead);
    bytes.resize(file.GetLength());
    if (!bytes.empty())
        file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::vector<BYTE>& bytes)
{
    CFile file;
    file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    if (!bytes.empty())
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
}

std::vector<BYTE> Mutate(const std::vector<BYTE>& good, std::mt19937& rng)
{
    std::vector<BYTE> bytes = good;
    switch (rng() % 4) {
    case 0:
        bytes.resize(rng() % (bytes.size() + 1));
        break;
    case 1: {
        int n = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < n; ++i)
            bytes[rng() % bytes.size()] = static_cast<BYTE>(rng());
        break;
    }
    case 2: {
        // A count or length field made huge or negative, half the time as a
        // string's 32-bit length prefix (FF FFFF, after the 16-bit text
        // marker FF FFFE or not).
        static const BYTE s_prefixes[][6] = {{0xFF, 0xFF, 0xFF}, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF}};
        static const DWORD s_values[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x40000000,
                                         0xC0000000, 0x0000FFFF, 0x00FFFFFF};
        size_t nPrefix = 0;
        const BYTE* pPrefix = nullptr;
        if (rng() % 2) {
            pPrefix = s_prefixes[rng() % 2];
            nPrefix = pPrefix[1] == 0xFE ? 6 : 3;
        }
        if (bytes.size() < nPrefix + 4)
            break;
        size_t at = rng() % (bytes.size() - nPrefix - 3);
        for (size_t i = 0; i < nPrefix; ++i)
            bytes[at++] = pPrefix[i];
        DWORD v = s_values[rng() % (sizeof s_values / sizeof s_values[0])];
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<BYTE>(v >> (8 * i));
        break;
    }
    default: {
        size_t at = rng() % bytes.size();
        size_t n = 1 + rng() % 64;
        std::vector<BYTE> insert(n);
        for (BYTE& b : insert)
            b = static_cast<BYTE>(rng() % 3 == 0 ? 0xFF : rng());
        bytes.insert(bytes.begin() + static_cast<long>(at), insert.begin(), insert.end());
        break;
    }
    }
    return bytes;
}

// 0 loaded, 1 refused cleanly.
int ReadAsLoader(const std::string& path)
{
    CInstallMngr info;
    try {
        CFile file;
        file.Open(path.c_str(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        if (!info.ReadHeader(ar))
            return 1;
        info.Serialize(ar);
        return CSetupMngr::IsInstallableTree(info.m_root) ? 0 : 1;
    } catch (CException&) {
        return 1;
    }
}

const char* const HOSTILE_NAMES[] = {
    "", ".", "..", "..\\..\\Windows", "C:\\evil.dll", "C:evil.dll", "sub/evil.dll", "a:b", "CON",
    "nul", "Aux", "prn.txt", "con.tar.gz", "Com1.dat", "COM9", "lpt1", "LPT5.log", "nul .txt",
};

// The folders below the top-level directories, and every file.
void CollectNamed(CDirNode& node, int nDepth, std::vector<CInstallDir*>& dirs, std::vector<CInstalledFile*>& files)
{
    if (nDepth > 1 && node.dir)
        dirs.push_back(node.dir);
    for (POSITION pos = node.files.GetHeadPosition(); pos;)
        files.push_back(node.files.GetNext(pos));
    for (POSITION pos = node.children.GetHeadPosition(); pos;)
        CollectNamed(*node.children.GetNext(pos), nDepth + 1, dirs, files);
}

// The sound archive with one folder or file, picked at random, renamed.
void WriteWithName(const std::string& good, const std::string& target, const char* pszName, std::mt19937& rng)
{
    CInstallMngr info;
    {
        CFile file;
        file.Open(good.c_str(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        info.ReadHeader(ar);
        info.Serialize(ar);
    }
    std::vector<CInstallDir*> dirs;
    std::vector<CInstalledFile*> files;
    CollectNamed(info.m_root, 0, dirs, files);
    if (!dirs.empty() && rng() % 2)
        dirs[rng() % dirs.size()]->SetPath(pszName);
    else
        files[rng() % files.size()]->SetPath(pszName);
    CFile file;
    file.Open(target.c_str(), CFile::modeCreate | CFile::modeWrite);
    CArchive ar(&file, CArchive::store);
    info.Serialize(ar);
    ar.Close();
    file.Close();
}
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: archivefuzz <Setup.dat> <work dir> <count> [seed]\n");
        return 2;
    }
    std::string workDir = argv[2];
    long nCount = atol(argv[3]);
    unsigned seed = argc > 4 ? static_cast<unsigned>(atol(argv[4])) : 20261208u;
    std::vector<BYTE> good = ReadFileBytes(argv[1]);
    CreateDirectoryA(workDir.c_str(), nullptr);
    std::string target = workDir + "\\Setup.inf";

    CSetupMngr engine;
    memcpy(engine.m_ident, good.data() + 12, sizeof engine.m_ident);
    std::mt19937 rng(seed);
    long nLoaded = 0, nRefused = 0, nRecognised = 0;
    LARGE_INTEGER t0, t1, freq;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    for (long i = 0; i < nCount; ++i) {
        WriteFileBytes(target, Mutate(good, rng));
        (ReadAsLoader(target) == 0 ? nLoaded : nRefused)++;
        if (engine.CheckExistingInstallation(workDir.c_str()))
            ++nRecognised;
        engine.ClearPrevInstall();
    }
    long nNamesRefused = 0, nNamesLoaded = 0;
    const int NAME_ROUNDS = 20;
    for (int nRound = 0; nRound < NAME_ROUNDS; ++nRound)
        for (const char* pszName : HOSTILE_NAMES) {
            WriteWithName(argv[1], target, pszName, rng);
            (ReadAsLoader(target) == 0 ? nNamesLoaded : nNamesRefused)++;
        }
    QueryPerformanceCounter(&t1);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    DeleteFileA(target.c_str());
    printf("mutated archives: %ld (seed %u)\n", nCount, seed);
    printf("loader: %ld loaded, %ld refused cleanly\n", nLoaded, nRefused);
    printf("earlier-installation check: %ld recognised, %ld not\n", nRecognised, nCount - nRecognised);
    printf("names outside their folder or of devices: %ld refused, %ld loaded\n", nNamesRefused, nNamesLoaded);
    printf("time: %.1f s, peak working set: %.1f MB\n",
           static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart),
           static_cast<double>(pmc.PeakWorkingSetSize) / 1048576.0);
    return nNamesLoaded == 0 ? 0 : 1;
}
