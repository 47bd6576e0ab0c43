// The medium tool mkmedium.exe, run as a child process: media of one and of
// several volumes, their install information and version records, the JSON
// dump, verify's faults, and bad manifests that must write nothing.
#include "TestPaths.h"

#include "framework/CHandle.h"
#include "model/DataVolume.h"
#include "model/InstallMngr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

const DWORD TOOL_TIMEOUT_MS = 120000;

std::string ReadText(const std::string& path)
{
    std::string text;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD dwRead = 0;
    while (ReadFile(h, buffer, sizeof buffer, &dwRead, nullptr) && dwRead > 0)
        text.append(buffer, dwRead);
    CloseHandle(h);
    return text;
}

Bytes ReadFileBytes(const std::string& path)
{
    std::string text = ReadText(path);
    return Bytes(text.begin(), text.end());
}

bool WriteFileBytes(const std::string& path, const void* pData, size_t nSize)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD dwWritten = 0;
    BOOL bOk = nSize == 0 || WriteFile(h, pData, static_cast<DWORD>(nSize), &dwWritten, nullptr);
    CloseHandle(h);
    return bOk && dwWritten == nSize;
}

bool WriteText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, text.data(), text.size());
}

bool IsDir(const std::string& path)
{
    DWORD dw = GetFileAttributesA(path.c_str());
    return dw != INVALID_FILE_ATTRIBUTES && (dw & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::set<std::string> ListFolder(const std::string& dir)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            names.insert(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

void DeleteFolder(const std::string& dir)
{
    for (const std::string& name : ListFolder(dir)) {
        std::string path = dir + "\\" + name;
        if (IsDir(path))
            DeleteFolder(path);
        else
            DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(dir.c_str());
}

// What a run of the tool left: its exit code (-1: did not end in time)
// and its standard output and error.
struct ToolRun {
    long nExit = -1;
    std::string out;
    std::string err;
};

HANDLE InheritableFile(const std::string& path, DWORD dwAccess, DWORD dwCreate)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, dwCreate, 0, nullptr);
}

// Runs the tool with its standard output and error in the two files; they
// are closed when it returns, so that they can be read and deleted.
void RunToolInto(const std::string& args, const std::string& outPath, const std::string& errPath, ToolRun& run)
{
    std::string exe = BuildPath("tools\\mkmedium\\mkmedium.exe");
    CFileHandle in(InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING));
    CFileHandle out(InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS));
    CFileHandle err(InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS));
    if (in.IsEmpty() || out.IsEmpty() || err.IsEmpty())
        return;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + exe + "\" " + args;
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        run.err = "CreateProcessA failed: " + std::to_string(GetLastError());
        return;
    }
    if (WaitForSingleObject(pi.hProcess, TOOL_TIMEOUT_MS) == WAIT_OBJECT_0) {
        DWORD dwCode = 0;
        if (GetExitCodeProcess(pi.hProcess, &dwCode))
            run.nExit = static_cast<long>(dwCode);
    } else {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

ToolRun RunTool(const std::string& args, const std::string& workDir)
{
    ToolRun run;
    std::string outPath = workDir + "\\tool-stdout.txt";
    std::string errPath = workDir + "\\tool-stderr.txt";
    RunToolInto(args, outPath, errPath, run);
    run.out = ReadText(outPath);
    run.err += ReadText(errPath);
    DeleteFileA(outPath.c_str());
    DeleteFileA(errPath.c_str());
    return run;
}

std::string Quote(const std::string& s)
{
    return "\"" + s + "\"";
}

// Deterministic contents that differ from file to file and from offset to
// offset, so that a misplaced block shows.
Bytes Pattern(size_t nSize, DWORD dwSeed)
{
    Bytes bytes(nSize);
    DWORD x = dwSeed * 2654435761u + 12345;
    for (size_t i = 0; i < nSize; ++i) {
        x = x * 1103515245u + 12345;
        bytes[i] = static_cast<BYTE>(x >> 16);
    }
    return bytes;
}

std::string SystemDll(const char* pszName)
{
    char szDir[MAX_PATH];
    UINT n = GetSystemDirectoryA(szDir, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(szDir) + "\\" + pszName : std::string();
}

// The fixed version record as version.dll reads it; false without one.
bool FixedVersionOf(const std::string& path, VS_FIXEDFILEINFO& version)
{
    memset(&version, 0, sizeof version);
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    if (dwSize == 0)
        return false;
    std::vector<BYTE> data(dwSize);
    if (!GetFileVersionInfoA(path.c_str(), 0, dwSize, data.data()))
        return false;
    void* p = nullptr;
    UINT nLength = 0;
    if (!VerQueryValueA(data.data(), "\\", &p, &nLength) || nLength < sizeof version)
        return false;
    memcpy(&version, p, sizeof version);
    return true;
}

std::string VersionText(DWORD dwMS, DWORD dwLS)
{
    return std::to_string(dwMS >> 16) + "." + std::to_string(dwMS & 0xFFFF) + "." + std::to_string(dwLS >> 16) + "." +
           std::to_string(dwLS & 0xFFFF);
}

BOOL LoadSetupData(const std::string& path, CInstallMngr& info)
{
    CFile file;
    file.Open(path.c_str(), CFile::modeRead);
    CArchive ar(&file, CArchive::load);
    if (!info.ReadHeader(ar))
        return FALSE;
    info.Serialize(ar);
    return TRUE;
}

// One file of a test medium: its place in the tree, its source and what
// the tree should record.
struct MediumFile {
    std::string treePath;
    std::string source;
    DWORD dwFlags;
    std::string flagText;
};

const char* const IDENT_TEXT = "00112233 544C5754 8899AABB CCDDEEFF";
const BYTE IDENT_BYTES[16] = {0x00, 0x11, 0x22, 0x33, 0x54, 0x4C, 0x57, 0x54,
                              0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

class MkMediumTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char szTemp[MAX_PATH];
        DWORD n = GetTempPathA(MAX_PATH, szTemp);
        s_root = std::string(szTemp, n) + "mkmedium-test-" + std::to_string(GetCurrentProcessId());
        DeleteFolder(s_root);
        CreateDirectoryA(s_root.c_str(), nullptr);
    }
    static void TearDownTestSuite() { DeleteFolder(s_root); }

    void SetUp() override
    {
        const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = s_root + "\\" + pInfo->name();
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr)) << "cannot create " << m_dir;
        ASSERT_TRUE(CreateDirectoryA((m_dir + "\\src").c_str(), nullptr));
        ASSERT_TRUE(Exists(BuildPath("tools\\mkmedium\\mkmedium.exe"))) << "mkmedium.exe is not built";
        m_uninstaller = m_dir + "\\src\\uninst.exe";
        Bytes uninstaller = Pattern(54321, 99);
        ASSERT_TRUE(WriteFileBytes(m_uninstaller, uninstaller.data(), uninstaller.size()));
    }

    std::string MakeSource(const char* pszName, size_t nSize, DWORD dwSeed)
    {
        std::string path = m_dir + "\\src\\" + pszName;
        Bytes bytes = Pattern(nSize, dwSeed);
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << "cannot write " << path;
        return path;
    }

    // A manifest whose [Setup] section names everything; sources given
    // relative to the manifest's folder where they lie below it.
    std::string SetupSection(int nDiskType) const
    {
        return "[Setup]\r\n"
               "Name=Tilewright\r\n"
               "Title=Welcome to Tilewright\r\n"
               "ReadMe=src\\readme.txt\r\n"
               "DestDir=\\Tilewright\r\n"
               "ProgramFolder=Tilewright Tools\r\n"
               "Ident=" + std::string(IDENT_TEXT) + "\r\n"
               "OtherBytes=4096\r\n"
               "ReserveBytes=0x10000\r\n"
               "DiskType=" + std::to_string(nDiskType) + "\r\n"
               "Uninstaller=src\\uninst.exe\r\n";
    }

    std::string WriteManifest(const std::string& setup, const std::vector<MediumFile>& files,
                              const std::string& extraFiles = "")
    {
        std::string text = "; test medium\r\n" + setup + "\r\n[Files]\r\n";
        for (const MediumFile& file : files)
            text += file.treePath + " = " + file.source + file.flagText + "\r\n";
        text += extraFiles;
        std::string path = m_dir + "\\medium.ini";
        EXPECT_TRUE(WriteText(path, text));
        EXPECT_TRUE(WriteText(m_dir + "\\src\\readme.txt", "Read me first.\r\n"));
        return path;
    }

    // The files of the multi-volume medium, in manifest order, and the
    // order in which the tree's walk visits them.
    void MakeLargeMedium(std::vector<MediumFile>& files, std::vector<size_t>& walkOrder)
    {
        MakeSource("mapsmith.bin", 700000, 1);
        MakeSource("form1.bin", 900000, 2);
        MakeSource("orbit.bin", 1000000, 3);
        MakeSource("empty.bin", 0, 4);
        MakeSource("joust.bin", 600000, 5);
        std::string versionDll = SystemDll("version.dll");
        std::string comcatDll = SystemDll("comcat.dll");
        VS_FIXEDFILEINFO v;
        ASSERT_TRUE(FixedVersionOf(versionDll, v)) << versionDll << " should carry a version resource";
        ASSERT_TRUE(FixedVersionOf(comcatDll, v)) << comcatDll << " should carry a version resource";
        files = {
            {"Applikation\\Mapsmith.exe", "src\\mapsmith.bin", FILE_PROGRAM_ITEM, " | FILE_PROGRAM_ITEM"},
            {"Applikation\\VB\\Joust\\Form1.frm", "src\\form1.bin", 0, ""},
            {"WinSys\\tilew32.dll", versionDll, FILE_REGISTER | FILE_SHARED, " | FILE_REGISTER | FILE_SHARED"},
            {"Applikation\\VB\\Orbit\\Orbit.tlr", "src\\orbit.bin", 0, ""},
            {"Applikation\\Mapsmith.hlp", m_dir + "\\src\\empty.bin", FILE_PROGRAM_ITEM, "|FILE_PROGRAM_ITEM"},
            {"Applikation\\VB\\Joust\\Joust.tlr", "src\\joust.bin", 0, ""},
            {"WinSys\\tileshl.dll", comcatDll, FILE_REGISTER_ABSENT, " | FILE_REGISTER_ABSENT"},
        };
        walkOrder = {1, 5, 3, 0, 4, 2, 6};
    }

    std::string SourcePath(const MediumFile& file) const
    {
        return file.source.find(':') == std::string::npos ? m_dir + "\\" + file.source : file.source;
    }

    // The stream the volumes must hold: the files in the walk's order.
    Bytes ExpectedStream(const std::vector<MediumFile>& files, const std::vector<size_t>& walkOrder) const
    {
        Bytes stream;
        for (size_t i : walkOrder) {
            Bytes bytes = ReadFileBytes(SourcePath(files[i]));
            stream.insert(stream.end(), bytes.begin(), bytes.end());
        }
        return stream;
    }

    void CheckInstallInfo(const std::string& setupData, const std::vector<MediumFile>& files,
                          const std::vector<size_t>& walkOrder, DWORD dwDiskType);
    void CheckMultiVolumeMedium(const std::string& out, const Bytes& stream, DWORD dwDiskType);

    static std::string s_root;
    std::string m_dir;
    std::string m_uninstaller;
};

std::string MkMediumTest::s_root;

std::string FileName(const std::string& treePath)
{
    return treePath.substr(treePath.rfind('\\') + 1);
}

void MkMediumTest::CheckInstallInfo(const std::string& setupData, const std::vector<MediumFile>& files,
                                    const std::vector<size_t>& walkOrder, DWORD dwDiskType)
{
    CInstallMngr info;
    ASSERT_TRUE(LoadSetupData(setupData, info)) << setupData << " should be a setup data archive";
    EXPECT_EQ(dwDiskType, info.m_nDiskType);
    EXPECT_STREQ("Tilewright", info.m_strProductName);
    EXPECT_STREQ("Welcome to Tilewright", info.m_strTitle);
    EXPECT_STREQ("\\Tilewright", info.m_strDestDir);
    EXPECT_STREQ("Tilewright Tools", info.m_strProgramFolder);
    EXPECT_EQ(4096u, info.m_dwOtherBytes);
    EXPECT_EQ(0x10000u, info.m_dwReserveBytes);
    EXPECT_EQ(0, memcmp(IDENT_BYTES, info.m_ident, sizeof IDENT_BYTES)) << "identification block";
    ASSERT_NE(nullptr, info.m_pszReadMe);
    EXPECT_STREQ("Read me first.\r\n", info.m_pszReadMe);

    ASSERT_EQ(2, info.m_root.children.GetCount()) << "the root holds the two top-level directories";
    POSITION pos = info.m_root.children.GetHeadPosition();
    const CDirNode* pApp = info.m_root.children.GetNext(pos);
    const CDirNode* pSys = info.m_root.children.GetNext(pos);
    ASSERT_TRUE(pApp->dir && pSys->dir);
    EXPECT_STREQ("Applikation", pApp->dir->m_strPath);
    EXPECT_STREQ("WinSys", pSys->dir->m_strPath);

    DWORD dwApp = 0, dwSys = 0;
    size_t nFile = 0;
    int nTop = -1, nDepth = 0;
    CObject* pItem = nullptr;
    for (int n = info.GetFirstItem(pItem); n != ITEM_END; n = info.GetNextItem(pItem)) {
        if (n == ITEM_ENTER_DIR && nDepth++ == 0)
            ++nTop;
        if (n == ITEM_LEAVE_DIR)
            --nDepth;
        if (n != ITEM_FILE)
            continue;
        const CInstalledFile* pFile = static_cast<const CInstalledFile*>(pItem);
        ASSERT_LT(nFile, walkOrder.size()) << "more files in the tree than in the manifest";
        const MediumFile& expected = files[walkOrder[nFile++]];
        std::string source = SourcePath(expected);
        EXPECT_EQ(FileName(expected.treePath), std::string(pFile->m_strPath)) << "file " << nFile << " of the walk";
        EXPECT_EQ(expected.dwFlags, pFile->m_dwFlags) << expected.treePath;
        EXPECT_EQ(ReadFileBytes(source).size(), pFile->m_dwSize) << expected.treePath;
        VS_FIXEDFILEINFO version;
        if (!FixedVersionOf(source, version))
            memset(&version, 0, sizeof version);
        EXPECT_EQ(0, memcmp(&version, &pFile->m_version, sizeof version))
            << expected.treePath << ": the version record should be the source's own";
        (nTop == 0 ? dwApp : dwSys) += pFile->m_dwSize;
    }
    EXPECT_EQ(walkOrder.size(), nFile);
    EXPECT_EQ(dwApp, info.m_dwAppBytes) << "the application directory's bytes";
    EXPECT_EQ(dwSys, info.m_dwSysBytes) << "the system directory's bytes";
}

void MkMediumTest::CheckMultiVolumeMedium(const std::string& out, const Bytes& stream, DWORD dwDiskType)
{
    DWORD dwCapacity = DataVolumeCapacity(dwDiskType);
    DWORD dwVolumes = static_cast<DWORD>((stream.size() + dwCapacity - 1) / dwCapacity);
    ASSERT_GE(dwVolumes, 3u) << "the test data should need at least three volumes";
    EXPECT_FALSE(Exists(out + "\\Data.dat")) << "a multi-disk medium keeps its volumes in disk folders";
    EXPECT_FALSE(Exists(out + "\\Setup.dat"));
    EXPECT_FALSE(Exists(out + "\\disk" + std::to_string(dwVolumes + 1))) << "no volume beyond the last";
    EXPECT_EQ(ReadFileBytes(m_uninstaller), ReadFileBytes(out + "\\disk1\\_Uninst.ex_"));
    EXPECT_TRUE(Exists(out + "\\disk1\\Setup.dat"));

    Bytes joined;
    for (DWORD i = 0; i < dwVolumes; ++i) {
        std::string disk = out + "\\disk" + std::to_string(i + 1);
        Bytes volume = ReadFileBytes(disk + "\\Data.dat");
        ASSERT_GE(volume.size(), 2u) << disk;
        EXPECT_EQ(i, static_cast<DWORD>(volume[0] | (volume[1] << 8))) << disk << ": disk index";
        size_t nExpected = i + 1 < dwVolumes ? dwCapacity + 2u : stream.size() - static_cast<size_t>(dwCapacity) * i + 2;
        EXPECT_EQ(nExpected, volume.size()) << disk << (i + 1 < dwVolumes ? " should be exactly full" : " is the last");
        EXPECT_EQ(i == 0, Exists(disk + "\\Setup.dat")) << "Setup.dat belongs on the first disk only";
        joined.insert(joined.end(), volume.begin() + 2, volume.end());
    }
    EXPECT_TRUE(joined == stream) << "the volumes' data should be the files in walk order";
}

TEST_F(MkMediumTest, SingleVolumeMedium)
{
    MakeSource("a.bin", 3000, 10);
    MakeSource("b.bin", 5, 11);
    std::vector<MediumFile> files = {
        {"Applikation\\Mapsmith.exe", "src\\a.bin", FILE_PROGRAM_ITEM, " | FILE_PROGRAM_ITEM"},
        {"WinSys\\tile.dll", "src\\b.bin", FILE_SHARED, " | FILE_SHARED"},
    };
    std::string manifest = WriteManifest(SetupSection(0), files);
    std::string out = m_dir + "\\out";
    ToolRun run = RunTool("build " + Quote(manifest) + " " + Quote(out), m_dir);
    ASSERT_EQ(0, run.nExit) << run.err;

    EXPECT_EQ((std::set<std::string>{"Data.dat", "Setup.dat", "_Uninst.ex_"}), ListFolder(out))
        << "data that fit one volume give one volume beside Setup.dat";
    Bytes volume = ReadFileBytes(out + "\\Data.dat");
    Bytes expected = {0x00, 0x00};
    for (const MediumFile& f : files) {
        Bytes bytes = ReadFileBytes(SourcePath(f));
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(volume == expected) << "index 0 and the two files";
    EXPECT_EQ(ReadFileBytes(m_uninstaller), ReadFileBytes(out + "\\_Uninst.ex_"));
    CheckInstallInfo(out + "\\Setup.dat", files, {0, 1}, 0);

    ToolRun verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(0, verify.nExit) << verify.out << verify.err;
    EXPECT_NE(std::string::npos, verify.out.find("sound")) << verify.out;
}

TEST_F(MkMediumTest, TypeWithoutCapacityHoldsEverythingInOneVolume)
{
    std::vector<MediumFile> files;
    std::vector<size_t> walkOrder;
    MakeLargeMedium(files, walkOrder);
    std::string manifest = WriteManifest(SetupSection(0), files);
    std::string out = m_dir + "\\out";
    ToolRun run = RunTool("build " + Quote(manifest) + " " + Quote(out) + " --disk-type 7", m_dir);
    ASSERT_EQ(0, run.nExit) << run.err;
    EXPECT_EQ((std::set<std::string>{"Data.dat", "Setup.dat", "_Uninst.ex_"}), ListFolder(out));
    Bytes volume = ReadFileBytes(out + "\\Data.dat");
    Bytes expected = {0x00, 0x00};
    Bytes stream = ExpectedStream(files, walkOrder);
    expected.insert(expected.end(), stream.begin(), stream.end());
    EXPECT_TRUE(volume == expected) << "one volume of " << expected.size() << " bytes expected, got " << volume.size();
    CheckInstallInfo(out + "\\Setup.dat", files, walkOrder, 7);
    EXPECT_EQ(0, RunTool("verify " + Quote(out), m_dir).nExit);
}

TEST_F(MkMediumTest, MultiDiskTypeZero)
{
    std::vector<MediumFile> files;
    std::vector<size_t> walkOrder;
    MakeLargeMedium(files, walkOrder);
    std::string manifest = WriteManifest(SetupSection(1), files);
    std::string out = m_dir + "\\out";
    ToolRun run = RunTool("build " + Quote(manifest) + " " + Quote(out) + " --disk-type 0", m_dir);
    ASSERT_EQ(0, run.nExit) << run.err;
    Bytes stream = ExpectedStream(files, walkOrder);
    ASSERT_GT(900000u + 600000u, DataVolumeCapacity(0)) << "Joust.tlr should span the first two volumes";
    CheckMultiVolumeMedium(out, stream, 0);
    CheckInstallInfo(out + "\\disk1\\Setup.dat", files, walkOrder, 0);
    ToolRun verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(0, verify.nExit) << verify.out << verify.err;
}

TEST_F(MkMediumTest, MultiDiskTypeOne)
{
    std::vector<MediumFile> files;
    std::vector<size_t> walkOrder;
    MakeLargeMedium(files, walkOrder);
    std::string manifest = WriteManifest(SetupSection(1), files);
    std::string out = m_dir + "\\out";
    ToolRun run = RunTool("build " + Quote(manifest) + " " + Quote(out), m_dir);
    ASSERT_EQ(0, run.nExit) << run.err;
    Bytes stream = ExpectedStream(files, walkOrder);
    ASSERT_GT(900000u + 600000u, DataVolumeCapacity(1)) << "Joust.tlr should span the first two volumes";
    CheckMultiVolumeMedium(out, stream, 1);
    CheckInstallInfo(out + "\\disk1\\Setup.dat", files, walkOrder, 1);
    ToolRun verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(0, verify.nExit) << verify.out << verify.err;
}

TEST_F(MkMediumTest, DumpShowsTheWholeInstallInformation)
{
    std::vector<MediumFile> files;
    std::vector<size_t> walkOrder;
    MakeLargeMedium(files, walkOrder);
    std::string manifest = WriteManifest(SetupSection(1), files, "Applikation\\Samples\\=\r\n");
    std::string out = m_dir + "\\out";
    ASSERT_EQ(0, RunTool("build " + Quote(manifest) + " " + Quote(out), m_dir).nExit);
    ToolRun dump = RunTool("dump " + Quote(out + "\\disk1\\Setup.dat"), m_dir);
    ASSERT_EQ(0, dump.nExit) << dump.err;
    const std::string& json = dump.out;

    VS_FIXEDFILEINFO v;
    ASSERT_TRUE(FixedVersionOf(SystemDll("version.dll"), v));
    std::string versionEntry = "{\"name\": \"tilew32.dll\", \"size\": " +
                               std::to_string(ReadFileBytes(SystemDll("version.dll")).size()) +
                               ", \"flags\": 9, \"flagNames\": [\"FILE_REGISTER\", \"FILE_SHARED\"], \"fileVersion\": \"" +
                               VersionText(v.dwFileVersionMS, v.dwFileVersionLS) + "\", \"productVersion\": \"" +
                               VersionText(v.dwProductVersionMS, v.dwProductVersionLS) + "\"}";
    const std::string expectedParts[] = {
        "\"ident\": \"00112233544C57548899AABBCCDDEEFF\"",
        "\"diskType\": 1,",
        "\"otherBytes\": 4096,",
        "\"reserveBytes\": 65536,",
        "\"destDir\": \"\\\\Tilewright\"",
        "\"productName\": \"Tilewright\"",
        "\"programFolder\": \"Tilewright Tools\"",
        "\"title\": \"Welcome to Tilewright\"",
        "\"readMeLength\": 16,",
        "\"name\": \"Applikation\"",
        "\"name\": \"WinSys\"",
        "\"name\": \"Samples\",\n",
        "{\"name\": \"Form1.frm\", \"size\": 900000, \"flags\": 0, \"flagNames\": [], \"fileVersion\": \"0.0.0.0\", "
        "\"productVersion\": \"0.0.0.0\"}",
        "{\"name\": \"Mapsmith.hlp\", \"size\": 0, \"flags\": 4, \"flagNames\": [\"FILE_PROGRAM_ITEM\"]",
        versionEntry,
    };
    for (const std::string& part : expectedParts)
        EXPECT_NE(std::string::npos, json.find(part)) << "the dump should contain " << part << "\n" << json;
    EXPECT_LT(json.find("Form1.frm"), json.find("Orbit.tlr")) << "the tree keeps its order";
    EXPECT_LT(json.find("Orbit.tlr"), json.find("Mapsmith.exe")) << "subdirectories before files";
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), std::count(json.begin(), json.end(), '}'));
    EXPECT_EQ(std::count(json.begin(), json.end(), '['), std::count(json.begin(), json.end(), ']'));

    ToolRun bad = RunTool("dump " + Quote(manifest), m_dir);
    EXPECT_EQ(1, bad.nExit) << "a file that is not an archive is refused";
    EXPECT_NE(std::string::npos, bad.err.find("not a setup data archive")) << bad.err;
    EXPECT_TRUE(bad.out.empty());
}

TEST_F(MkMediumTest, VerifyCatchesATruncatedVolume)
{
    std::vector<MediumFile> files;
    std::vector<size_t> walkOrder;
    MakeLargeMedium(files, walkOrder);
    std::string manifest = WriteManifest(SetupSection(0), files);
    std::string out = m_dir + "\\out";
    ASSERT_EQ(0, RunTool("build " + Quote(manifest) + " " + Quote(out), m_dir).nExit);

    std::string second = out + "\\disk2\\Data.dat";
    Bytes volume = ReadFileBytes(second);
    ASSERT_EQ(1200000u, volume.size());
    ASSERT_TRUE(WriteFileBytes(second, volume.data(), volume.size() - 1000));
    ToolRun verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(1, verify.nExit) << verify.out << verify.err;
    EXPECT_NE(std::string::npos, verify.out.find("disk2\\Data.dat: holds 1198998 bytes of file data, expected 1199998"))
        << verify.out;
    EXPECT_EQ(std::string::npos, verify.out.find("disk1\\Data.dat")) << "the sound volumes are not named";

    ASSERT_TRUE(WriteFileBytes(second, volume.data(), volume.size()));
    EXPECT_EQ(0, RunTool("verify " + Quote(out), m_dir).nExit) << "restored, the medium is sound again";
    std::string last = out + "\\disk3\\Data.dat";
    Bytes lastVolume = ReadFileBytes(last);
    ASSERT_TRUE(WriteFileBytes(last, lastVolume.data(), 1));
    verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(1, verify.nExit);
    EXPECT_NE(std::string::npos, verify.out.find("disk3\\Data.dat: too short to hold its disk index")) << verify.out;

    ASSERT_TRUE(DeleteFileA(last.c_str()));
    ASSERT_TRUE(RemoveDirectoryA((out + "\\disk3").c_str()));
    verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(1, verify.nExit);
    EXPECT_NE(std::string::npos, verify.out.find("2 data volume(s) found")) << verify.out;
}

TEST_F(MkMediumTest, VerifyCatchesSwappedVolumes)
{
    std::vector<MediumFile> files;
    std::vector<size_t> walkOrder;
    MakeLargeMedium(files, walkOrder);
    std::string manifest = WriteManifest(SetupSection(1), files);
    std::string out = m_dir + "\\out";
    ASSERT_EQ(0, RunTool("build " + Quote(manifest) + " " + Quote(out), m_dir).nExit);
    std::string first = out + "\\disk1\\Data.dat";
    std::string second = out + "\\disk2\\Data.dat";
    std::string spare = out + "\\swap.tmp";
    ASSERT_TRUE(MoveFileA(first.c_str(), spare.c_str()));
    ASSERT_TRUE(MoveFileA(second.c_str(), first.c_str()));
    ASSERT_TRUE(MoveFileA(spare.c_str(), second.c_str()));

    ToolRun verify = RunTool("verify " + Quote(out), m_dir);
    EXPECT_EQ(1, verify.nExit) << verify.out << verify.err;
    EXPECT_NE(std::string::npos, verify.out.find("disk1\\Data.dat: disk index 1, expected 0")) << verify.out;
    EXPECT_NE(std::string::npos, verify.out.find("disk2\\Data.dat: disk index 0, expected 1")) << verify.out;
}

// Runs a build that must be refused: exit code 1, a message naming what
// is wrong, and the case's folder exactly as it was.
void ExpectRefused(const std::string& dir, const std::string& args, const std::string& messagePart)
{
    std::set<std::string> before = ListFolder(dir);
    ToolRun run = RunTool(args, dir);
    EXPECT_EQ(1, run.nExit) << args << "\n" << run.err;
    EXPECT_NE(std::string::npos, run.err.find(messagePart)) << "the message should name " << messagePart << ":\n"
                                                             << run.err;
    EXPECT_EQ(before, ListFolder(dir)) << "a refused build should write nothing";
    EXPECT_FALSE(Exists(dir + "\\out"));
}

TEST_F(MkMediumTest, BadFilesEntriesWriteNothing)
{
    MakeSource("a.bin", 100, 1);
    std::string out = Quote(m_dir + "\\out");
    std::string setup = SetupSection(0);
    struct {
        std::string entries;
        std::string message;
    } cases[] = {
        {"Applikation\\a.exe = src\\missing.bin\r\nWinSys\\=\r\n",
         "[Files] Applikation\\a.exe: the source file \"" + m_dir + "\\src\\missing.bin\" cannot be read"},
        {"Applikation\\" + std::string(256, 'n') + ".exe = src\\a.bin\r\nWinSys\\=\r\n",
         "is longer than 255 characters"},
        {"Applikation\\" + std::string(120, 'd') + "\\" + std::string(130, 'f') + " = src\\a.bin\r\nWinSys\\=\r\n",
         "the installed path would be too long"},
        {"Applikation\\a.exe = src\\a.bin | FILE_REGISTER | FILE_BOGUS\r\nWinSys\\=\r\n",
         "[Files] Applikation\\a.exe: unknown flag \"FILE_BOGUS\""},
        {"Applikation\\a.exe = src\\a.bin\r\n", "[Files]: the tree has no WinSys directory"},
        {"WinSys\\a.dll = src\\a.bin\r\n", "[Files]: the tree has no Applikation directory"},
        {"", "[Files]: the tree has no Applikation directory"},
        {"Programs\\a.exe = src\\a.bin\r\nWinSys\\=\r\n", "[Files] Programs\\a.exe: files lie below Applikation or WinSys"},
        {"Applikation\\a.exe = src\\a.bin\r\nApplikation\\A.EXE = src\\a.bin\r\nWinSys\\=\r\n", "given twice"},
        {"Applikation\\x = src\\a.bin\r\nApplikation\\x\\y = src\\a.bin\r\nWinSys\\=\r\n",
         "[Files] Applikation\\x\\y: \"x\" is both a file and a directory"},
        {"Applikation\\a?.exe = src\\a.bin\r\nWinSys\\=\r\n", "contains a character that a file name cannot hold"},
        {"Applikation\\a.exe = \r\nWinSys\\=\r\n", "[Files] Applikation\\a.exe: no source file is given"},
    };
    for (const auto& c : cases) {
        std::string text = setup + "[Files]\r\n" + c.entries;
        ASSERT_TRUE(WriteText(m_dir + "\\medium.ini", text));
        ASSERT_TRUE(WriteText(m_dir + "\\src\\readme.txt", "r"));
        ExpectRefused(m_dir, "build " + Quote(m_dir + "\\medium.ini") + " " + out, c.message);
    }
}

TEST_F(MkMediumTest, BadSetupEntriesWriteNothing)
{
    MakeSource("a.bin", 100, 1);
    ASSERT_TRUE(WriteText(m_dir + "\\src\\readme.txt", "r"));
    std::string out = Quote(m_dir + "\\out");
    std::string filesSection = "[Files]\r\nApplikation\\a.exe = src\\a.bin\r\nWinSys\\=\r\n";
    auto without = [this](const std::string& key) {
        std::string setup = SetupSection(0);
        size_t at = setup.find(key + "=");
        return setup.substr(0, at) + setup.substr(setup.find("\r\n", at) + 2);
    };
    struct {
        std::string setup;
        std::string message;
    } cases[] = {
        {without("Name"), "[Setup] Name: missing or empty"},
        {without("Uninstaller"), "[Setup] Uninstaller: missing or empty"},
        {without("Ident"), "[Setup] Ident: missing or empty"},
        {without("Ident") + "Ident=0011\r\n", "[Setup] Ident: give the 16 bytes as 32 hexadecimal digits"},
        {without("Ident") + "Ident=" + std::string(32, 'g') + "\r\n", "[Setup] Ident"},
        {without("DiskType") + "DiskType=256\r\n", "[Setup] DiskType: \"256\" is not a number from 0 to 255"},
        {without("OtherBytes") + "OtherBytes=12x\r\n", "[Setup] OtherBytes"},
        {without("ReserveBytes") + "ReserveBytes=4294967296\r\n", "[Setup] ReserveBytes"},
        {without("DestDir") + "DestDir=C:\\Tilewright\r\n", "[Setup] DestDir"},
        {without("DestDir") + "DestDir=\\" + std::string(250, 'd') + "\r\n", "[Setup] DestDir"},
        {without("Name") + "Name=" + std::string(256, 'n') + "\r\n", "[Setup] Name: the product name is longer"},
        {without("ProgramFolder") + "ProgramFolder=Tile|wright\r\n", "[Setup] ProgramFolder"},
        {without("ReadMe") + "ReadMe=src\\nothere.txt\r\n", "[Setup] ReadMe: the source file"},
        {without("Uninstaller") + "Uninstaller=src\r\n", "[Setup] Uninstaller: the source file"},
        {SetupSection(0) + "Colour=blue\r\n", "[Setup] Colour: unknown key"},
        {SetupSection(0) + "[Extras]\r\nA=1\r\n", "[Extras]: unknown section"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteText(m_dir + "\\medium.ini", c.setup + filesSection));
        ExpectRefused(m_dir, "build " + Quote(m_dir + "\\medium.ini") + " " + out, c.message);
    }
}

// The installer seeks within a volume by signed 32-bit offsets: one volume
// of more than 2 GB could be written but never installed.
TEST_F(MkMediumTest, OneVolumeBeyondWhatTheInstallerReadsIsRefused)
{
    for (const char* pszName : {"big1.bin", "big2.bin"}) {
        std::string path = m_dir + "\\src\\" + pszName;
        HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hFile) << path << ": error " << GetLastError();
        LARGE_INTEGER size;
        size.QuadPart = 0x40000000;
        BOOL bSized = SetFilePointerEx(hFile, size, nullptr, FILE_BEGIN) && SetEndOfFile(hFile);
        CloseHandle(hFile);
        ASSERT_TRUE(bSized) << path << ": sparse 1 GB, error " << GetLastError();
    }
    std::string manifest = WriteManifest(SetupSection(7), {{"Applikation\\big1.bin", "src\\big1.bin", 0, ""},
                                                           {"Applikation\\big2.bin", "src\\big2.bin", 0, ""}},
                                         "WinSys\\=\r\n");
    ExpectRefused(m_dir, "build " + Quote(manifest) + " " + Quote(m_dir + "\\out"),
                  "[Setup] DiskType: disk type 7 holds all data in one volume, and they exceed 2 GB");
}

TEST_F(MkMediumTest, ReadMeWithAZeroByteIsRefused)
{
    MakeSource("a.bin", 100, 1);
    std::string manifest = WriteManifest(SetupSection(0), {{"Applikation\\a.exe", "src\\a.bin", 0, ""}},
                                         "WinSys\\=\r\n");
    ASSERT_TRUE(WriteFileBytes(m_dir + "\\src\\readme.txt", "ab\0cd", 5));
    ExpectRefused(m_dir, "build " + Quote(manifest) + " " + Quote(m_dir + "\\out"),
                  "[Setup] ReadMe: the read-me text holds a zero byte at offset 2");
}

TEST_F(MkMediumTest, CommandLineAndOutputFolderFaultsWriteNothing)
{
    MakeSource("a.bin", 100, 1);
    std::string manifest = WriteManifest(SetupSection(0), {{"Applikation\\a.exe", "src\\a.bin", 0, ""}},
                                         "WinSys\\=\r\n");
    ExpectRefused(m_dir, "build " + Quote(m_dir + "\\nothere.ini") + " " + Quote(m_dir + "\\out"),
                  "the manifest cannot be found");
    ExpectRefused(m_dir, "build " + Quote(manifest) + " " + Quote(m_dir + "\\no\\such\\out"),
                  "does not exist");

    std::set<std::string> before = ListFolder(m_dir);
    ToolRun usage = RunTool("build " + Quote(manifest) + " " + Quote(m_dir + "\\out") + " --disk-type 300", m_dir);
    EXPECT_EQ(2, usage.nExit) << usage.err;
    EXPECT_NE(std::string::npos, usage.err.find("--disk-type"));
    EXPECT_EQ(2, RunTool("build " + Quote(manifest), m_dir).nExit);
    EXPECT_EQ(2, RunTool("pack", m_dir).nExit);
    EXPECT_EQ(before, ListFolder(m_dir));

    std::string busy = m_dir + "\\busy";
    ASSERT_TRUE(CreateDirectoryA(busy.c_str(), nullptr));
    ASSERT_TRUE(WriteText(busy + "\\keep.txt", "keep"));
    ToolRun run = RunTool("build " + Quote(manifest) + " " + Quote(busy), m_dir);
    EXPECT_EQ(1, run.nExit);
    EXPECT_NE(std::string::npos, run.err.find("exists and is not empty")) << run.err;
    EXPECT_EQ(std::set<std::string>{"keep.txt"}, ListFolder(busy)) << "a folder in use is left alone";
    EXPECT_EQ("keep", ReadText(busy + "\\keep.txt"));

    std::string empty = m_dir + "\\empty";
    ASSERT_TRUE(CreateDirectoryA(empty.c_str(), nullptr));
    run = RunTool("build " + Quote(manifest) + " " + Quote(empty), m_dir);
    EXPECT_EQ(0, run.nExit) << "an empty output folder is filled: " << run.err;
    EXPECT_EQ((std::set<std::string>{"Data.dat", "Setup.dat", "_Uninst.ex_"}), ListFolder(empty));
}

}  // namespace
