// Whole installs of the Tilewright medium by the real Setup.exe, driven
// through its wizard like a user, checked on the machine afterwards: files,
// registry, self-registration, program group, saved install information.
#include "DesktopHelpers.h"
#include "InstallRun.h"

#include "platform/VersionInfo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <thread>

namespace {

std::string TempDirectory()
{
    char szTemp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, szTemp);
    return szTemp;
}

std::string UserName()
{
    char szUser[257] = "";
    DWORD dwSize = sizeof szUser;
    GetUserNameA(szUser, &dwSize);
    return szUser;
}

std::vector<BYTE> Replaced(std::vector<BYTE> bytes, const std::string& from, const std::string& to)
{
    std::string text(bytes.begin(), bytes.end());
    size_t i = text.find(from);
    if (i != std::string::npos)
        text.replace(i, from.size(), to);
    return std::vector<BYTE>(text.begin(), text.end());
}

// The program items are looked for in group, and looked for nowhere when
// it is empty; the other place must hold no folder of the product.
void ExpectInstalled(const std::string& group = ProgramGroupDir())
{
    for (const auto& file : ProductFiles()) {
        std::string installed = std::string(INSTALL_DEST) + "\\" + file.first;
        ASSERT_EQ(0u, CheckFileExists(installed.c_str())) << installed << " is missing";
        EXPECT_EQ(ReadBytes(Stage(file.second.c_str())), ReadBytes(installed)) << installed << " differs from its source";
    }
    for (const char* pszSample : {"Joust", "Orbit"}) {
        std::string form = std::string("VB\\") + pszSample + "\\Form1.frm";
        std::vector<BYTE> expected =
            Replaced(ReadBytes(Stage(("data\\" + form).c_str())),
                     std::string("C:\\PROJEKTE\\Language\\English\\") + pszSample + ".tlr",
                     std::string(INSTALL_DEST) + "\\VB\\" + pszSample + "\\" + pszSample + ".tlr");
        EXPECT_EQ(expected, ReadBytes(std::string(INSTALL_DEST) + "\\" + form)) << form << " was not fixed up";
    }
    std::string shared = SharedLibrary();
    EXPECT_EQ(ReadBytes(Stage("bin\\TileShr.dll")), ReadBytes(shared)) << "the shared library";
    EXPECT_EQ(ReadBytes(Stage("bin\\Uninst.exe")), ReadBytes(std::string(INSTALL_DEST) + "\\Uninst.exe"));
    EXPECT_EQ(0u, CheckFileExists((std::string(INSTALL_DEST) + "\\Setup.inf").c_str()));

    EXPECT_EQ(std::string(INSTALL_DEST) + "\\Mapsmith.exe", RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, nullptr));
    EXPECT_EQ(INSTALL_DEST, RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, "Path"));
    EXPECT_EQ("Tilewright", RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "DisplayName"));
    EXPECT_EQ("\"" + std::string(INSTALL_DEST) + "\\Uninst.exe\"",
              RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString"));
    EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, KEY_SHARED, shared.c_str()));
    EXPECT_EQ("Tilewright Resource", RegString(HKEY_CLASSES_ROOT, "Mapsmith.Document", nullptr));
    std::string command = RegString(HKEY_CLASSES_ROOT, "Mapsmith.Document\\shell\\open\\command", nullptr);
    EXPECT_NE(std::string::npos, command.find("Mapsmith.exe \"%1\"")) << command;
    EXPECT_EQ("Mapsmith.Document", RegString(HKEY_CLASSES_ROOT, ".tlr", nullptr));
    EXPECT_EQ("", RegString(HKEY_CLASSES_ROOT, ".tlr\\ShellNew", "NullFile"));
    EXPECT_EQ(std::string(INSTALL_DEST) + "\\Tilewrig.ocx",
              RegString(HKEY_CLASSES_ROOT, (std::string(KEY_CONTROL_CLSID) + "\\InprocServer32").c_str(), nullptr))
        << "the control did not register itself";

    for (const std::string& place : {ProgramGroupDir(), CommonProgramGroupDir()})
        EXPECT_TRUE(place == group || CheckFileExists(place.c_str()) != 0) << "a program folder " << place;
    if (group.empty())
        return;
    for (const char* pszItem : {"Mapsmith", "Tilewright ActiveX Help", "Mapsmith Help", "Joust - VB", "Orbit - VB",
                                "Joust - Delphi", "Orbit - Delphi"})
        EXPECT_EQ(0u, CheckFileExists((group + "\\" + pszItem + ".lnk").c_str())) << "program item " << pszItem;
}

// What "reg query" prints for the product's Uninstall entry.
std::string QueryUninstallEntry()
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string out = std::string(szTemp) + "e2e-reg-query.txt";
    DeleteFileA(out.c_str());
    char szSystem[MAX_PATH];
    GetSystemDirectoryA(szSystem, MAX_PATH);
    CChildProcess reg;
    std::string args = "/c reg query \"HKLM\\" + std::string(KEY_UNINSTALL) + "\" > \"" + out + "\"";
    if (!reg.Start(std::string(szSystem) + "\\cmd.exe", args) || reg.WaitForExit(INSTALL_WAIT_MS) != 0)
        return "";
    std::vector<BYTE> text = ReadBytes(out);
    return std::string(text.begin(), text.end());
}

// "name  REG_SZ  value" in reg's listing, blanks folded.
std::string RegLine(const char* pszName, const char* pszType, const std::string& value)
{
    return std::string(pszName) + " " + pszType + " " + value;
}

std::string FoldBlanks(const std::string& text)
{
    std::string folded;
    for (char ch : text) {
        bool bBlank = ch == ' ' || ch == '\t';
        if (!bBlank || (!folded.empty() && folded.back() != ' '))
            folded += bBlank ? ' ' : ch;
    }
    return folded;
}

class Install : public ::testing::Test {
protected:
    void SetUp() override { RemoveInstallation(); }
    void TearDown() override { RemoveInstallation(); }

    // The folder windows that creating the group opens would outlive the test.
    CDesktopHelpers m_desktopHelpers;
    CDriven m_first;
};

TEST_F(Install, OneDiskMediumInstallsEverything)
{
    std::string medium = MakeMedium("single", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    CDriven run = DriveSetup(medium + "\\Setup.exe");
    EXPECT_EQ(MSG_SUCCESS, run.finalMessage);
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_TRUE(run.diskPrompts.empty());
    ASSERT_EQ(1u, run.questions.size()) << "only the question to create the destination";
    EXPECT_EQ("The destination directory C:\\Tilewright does not exist. Do you want to create it ?", run.questions[0]);
    ExpectInstalled();

    CDriven again = DriveSetup(medium + "\\Setup.exe");
    EXPECT_EQ(MSG_SUCCESS, again.finalMessage) << "a second install over the first";
    EXPECT_TRUE(again.questions.empty()) << "the earlier installation of the same product is recognised";
    EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, KEY_SHARED, SharedLibrary().c_str()))
        << "a library the earlier installation counted keeps its count";
    ExpectInstalled();
}

TEST_F(Install, MultiDiskMediumFromARemovableDrive)
{
    if (GetDriveTypeA("A:\\") != DRIVE_REMOVABLE)
        GTEST_SKIP() << "no removable drive A: in this prefix (the test session links one)";
    std::string medium = MakeMedium("multi", "0");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    DeleteTree("A:\\Setup");
    for (const char* pszFile : {"Setup.dat", "_Uninst.ex_", "Data.dat"})
        ASSERT_TRUE(CopyFileA((medium + "\\disk1\\" + pszFile).c_str(), (std::string("A:\\") + pszFile).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(BuildPath("app\\Setup.exe").c_str(), "A:\\Setup.exe", FALSE));
    CAnswers answers;
    answers.onDisk = [&medium](const std::string& prompt) {
        std::string disk = prompt.substr(16, prompt.find(' ', 16) - 16);
        CopyFileA((medium + "\\disk" + disk + "\\Data.dat").c_str(), "A:\\Data.dat", FALSE);
        return IDOK;
    };
    CDriven run = DriveSetup("A:\\Setup.exe", answers);
    EXPECT_EQ(MSG_SUCCESS, run.finalMessage);
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_EQ(std::vector<std::string>({"Insert the disk 2 in A: !", "Insert the disk 3 in A: !",
                                        "Insert the disk 4 in A: !"}),
              run.diskPrompts);
    ExpectInstalled();
    for (const char* pszFile : {"Setup.exe", "Setup.dat", "_Uninst.ex_", "Data.dat"})
        DeleteFileA((std::string("A:\\") + pszFile).c_str());
}

// A second copy started while the first shows its wizard brings the first
// to the front and ends at once, without a window of its own.
TEST_F(Install, SecondCopyActivatesTheFirst)
{
    std::string medium = MakeMedium("second", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    CChildProcess first;
    ASSERT_TRUE(first.Start(medium + "\\Setup.exe"));
    WindowQuery query;
    query.dwProcessId = first.Id();
    query.pszTitle = "Welcome to Tilewright";
    HWND hSheet = WaitForTopWindow(query, INSTALL_WAIT_MS);
    ASSERT_TRUE(hSheet) << "the first copy shows no wizard";
    SetForegroundWindow(GetDesktopWindow());

    CChildProcess second;
    ASSERT_TRUE(second.Start(medium + "\\Setup.exe"));
    EXPECT_EQ(0, second.WaitForExit(INSTALL_WAIT_MS)) << "the second copy must end by itself";
    EXPECT_TRUE(IsWindow(hSheet)) << "the first copy's wizard must stay";
    DWORD dwForeground = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &dwForeground);
    EXPECT_EQ(first.Id(), dwForeground) << "the first copy must come to the front";
}

// A first copy busy for seconds without pumping messages (here in a slow
// self-registration) cannot answer the second copy's broadcast in time: the
// second copy must still end by itself with 0, without a wizard, and the
// first must finish its installation.
TEST_F(Install, SecondCopyEndsWhileTheFirstIsBusy)
{
    std::vector<BYTE> manifest = ReadBytes(Stage("Tilewright.ini"));
    std::string slow = "Applikation\\Slow.dll = " + BuildPath("tools\\payload\\payload_reg_slow.dll") +
                       " | FILE_REGISTER\r\n";
    manifest.insert(manifest.end(), slow.begin(), slow.end());
    WriteBytes(Stage("SlowRegister.ini"), manifest);
    std::string medium = MakeMediumFrom(Stage("SlowRegister.ini"), "slow", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    ASSERT_TRUE(CopyFileA(BuildPath("app\\Setup.exe").c_str(), (medium + "\\Setup.exe").c_str(), FALSE));
    HANDLE hRegistering = CreateEventA(nullptr, TRUE, FALSE, "SetupTestsRegistering");
    ASSERT_NE(nullptr, hRegistering);

    std::thread firstRun([&medium, this] { m_first = DriveSetup(medium + "\\Setup.exe"); });
    bool bBusy = WaitForSingleObject(hRegistering, INSTALL_WAIT_MS) == WAIT_OBJECT_0;
    long nSecondExit = -1;
    bool bSecondWizard = false;
    if (bBusy) {
        CChildProcess second;
        if (second.Start(medium + "\\Setup.exe")) {
            for (DWORD dwStart = GetTickCount(); nSecondExit == -1 && GetTickCount() - dwStart < 20000;) {
                bSecondWizard = bSecondWizard || FindProcessWindow(second.Id(), "Welcome to Tilewright");
                nSecondExit = second.WaitForExit(100);
            }
        }
    }
    firstRun.join();
    CloseHandle(hRegistering);
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, "Software\\SetupTests");
    ASSERT_TRUE(bBusy) << "the first copy never reached the slow registration";
    EXPECT_EQ(0, nSecondExit) << "the second copy must end by itself while the first is busy";
    EXPECT_FALSE(bSecondWizard) << "the second copy showed a wizard of its own";
    EXPECT_EQ(MSG_SUCCESS, m_first.finalMessage) << "the first copy's installation";
}

// The names and sizes of the logs that silent runs without /LOG left in
// the temporary directory.
std::map<std::string, DWORD> DefaultLogs()
{
    std::map<std::string, DWORD> logs;
    ForEachEntry(TempDirectory(), [&logs](const WIN32_FIND_DATAA& fd) {
        if (std::string(fd.cFileName).rfind("Tilewright Setup ", 0) == 0)
            logs[fd.cFileName] = fd.nFileSizeLow;
    });
    return logs;
}

std::string Today()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    char szDate[16];
    snprintf(szDate, sizeof szDate, "%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
    return szDate;
}

// An unattended install: no window at all, the proposed folder, exit code
// 0, the same result as the driven install but for the
// program items, which are links in the Programs menu of all users, the
// values deployment tools read in the Uninstall entry, and a log that tells
// what was done, and when, by whom and with what rights the run was started
// and the full paths it resolved. The line is a deployment tool's: the
// destination with forward slashes and a trailing backslash, the log
// relative to the current directory.
TEST_F(Install, SilentInstallWithALog)
{
    std::string medium = MakeMedium("silent", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    std::string log = medium + "\\Setup log.txt";
    CSilentRun run =
        RunSilently(medium + "\\Setup.exe", "/s /NoRestart /Dir=C:/Tilewright/ -Log=\"Setup log.txt\"", medium.c_str());
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_FALSE(run.bWindowShown) << "a silent run showed a window";
    ExpectInstalled(CommonProgramGroupDir());

    CString strings[VERSION_STRING_COUNT];
    ASSERT_TRUE(GetVersionStrings((std::string(INSTALL_DEST) + "\\Mapsmith.exe").c_str(), strings));
    std::string entry = FoldBlanks(QueryUninstallEntry());
    for (const std::string& line :
         {RegLine("DisplayVersion", "REG_SZ", static_cast<const char*>(strings[VERSION_PRODUCT_VERSION])),
          RegLine("Publisher", "REG_SZ", "Tilewright Software"), RegLine("InstallLocation", "REG_SZ", INSTALL_DEST),
          RegLine("DisplayIcon", "REG_SZ", std::string(INSTALL_DEST) + "\\Mapsmith.exe"),
          RegLine("NoModify", "REG_DWORD", "0x1"), RegLine("NoRepair", "REG_DWORD", "0x1"),
          RegLine("EstimatedSize", "REG_DWORD", "0x")})
        EXPECT_NE(std::string::npos, entry.find(line)) << "reg query lacks \"" << line << "\" in:\n" << entry;

    std::vector<BYTE> bytes = ReadBytes(log);
    std::string text(bytes.begin(), bytes.end());
    for (const std::string& line :
         {std::string("start: ") + medium + "\\Setup.exe, version ", ", " + Today() + " ",
          ", user " + UserName() + ", elevated, command line: /s /NoRestart /Dir=C:/Tilewright/ -Log=",
          "ms  log: " + log + "\r\n", std::string("loaded: Tilewright, "),
          std::string("destination: C:\\Tilewright (from the command line)"),
          std::string("program folder: Tilewright (proposed)"),
          std::string("file copied: C:\\Tilewright\\Mapsmith.exe ("),
          std::string("registry written: HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
                      "Paths\\Mapsmith.exe, (default) = \"C:\\Tilewright\\Mapsmith.exe\" (was not set)"),
          std::string("self-registration: C:\\Tilewright\\Tilewrig.ocx: registered, 4 keys created and 5 values "
                      "written"),
          "program item \"Mapsmith\": C:\\Tilewright\\Mapsmith.exe, link " + CommonProgramGroupDir() + "\\Mapsmith.lnk",
          std::string("install information saved: C:\\Tilewright\\Setup.inf"),
          std::string("final message: The Setup was completed successfully."), std::string("end: exit code 0, ")})
        EXPECT_NE(std::string::npos, text.find(line)) << "the log lacks \"" << line << "\"";
    EXPECT_NE(std::string::npos, text.find(" ms  end: ")) << "each line starts with its milliseconds";

    // Without /LOG a silent run logs to a new file of the temporary
    // directory, never over an earlier one.
    std::map<std::string, DWORD> before = DefaultLogs();
    run = RunSilently(medium + "\\Setup.exe", "/S /DIR=Tilewright");
    EXPECT_EQ(1639, run.nExitCode) << "a destination without drive";
    std::map<std::string, DWORD> after = DefaultLogs();
    std::string made;
    for (const auto& entry : after) {
        if (!before.count(entry.first))
            made = entry.first;
        else
            EXPECT_EQ(before[entry.first], entry.second) << "a silent run wrote over " << entry.first;
    }
    ASSERT_EQ(before.size() + 1, after.size()) << "no new log in " << TempDirectory();
    EXPECT_EQ("Tilewright Setup " + Today() + " ", made.substr(0, 28)) << made;
    bytes = ReadBytes(TempDirectory() + made);
    text.assign(bytes.begin(), bytes.end());
    for (const std::string& line : {"ms  log: " + TempDirectory() + made + "\r\n",
                                    std::string("ms  refused: Tilewright is no destination on a local drive\r\n")})
        EXPECT_NE(std::string::npos, text.find(line)) << "the default log lacks \"" << line << "\" in:\n" << text;
}

// Administrators copy the disks of a medium into folders "disk1", "disk2",
// ...: the silent run takes each next disk from its folder, without asking.
// Asked for no icons, it makes no program folder anywhere.
TEST_F(Install, SilentMultiDiskInstallFromDiskFolders)
{
    std::string medium = MakeMedium("silent-multi", "0");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    ASSERT_TRUE(CopyFileA(BuildPath("app\\Setup.exe").c_str(), (medium + "\\disk1\\Setup.exe").c_str(), FALSE));
    CSilentRun run = RunSilently(medium + "\\disk1\\Setup.exe", "/S /noicons");
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_FALSE(run.bWindowShown) << "a silent run showed a window";
    ExpectInstalled("");
}

// A medium at a drive's root, or in a folder at a drive's root, has no disk
// folders beside it: "\disk2" or "C:\disk2" would be a folder at a drive's
// root, which any user can make. The run looks in the medium's own folder
// only, and fails there.
TEST_F(Install, SilentRunNearADriveRootIgnoresDiskFoldersAtTheRoot)
{
    if (GetDriveTypeA("A:\\") != DRIVE_REMOVABLE)
        GTEST_SKIP() << "no removable drive A: in this prefix (the test session links one)";
    std::string medium = MakeMedium("silent-root", "0");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    DeleteTree("A:\\Setup");
    for (const char* pszDisk : {"disk2", "disk3", "disk4"}) {
        std::string planted = std::string("C:\\") + pszDisk;
        ASSERT_TRUE(CreateDirectoryA(planted.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_TRUE(
            CopyFileA((medium + "\\" + pszDisk + "\\Data.dat").c_str(), (planted + "\\Data.dat").c_str(), FALSE));
    }
    for (const std::string place : {"A:", "C:\\Setup"}) {
        ASSERT_TRUE(GetFileAttributesA((place + "\\").c_str()) != INVALID_FILE_ATTRIBUTES
                    || CreateDirectoryA(place.c_str(), nullptr))
            << place << ": error " << GetLastError();
        for (const char* pszFile : {"Setup.dat", "_Uninst.ex_", "Data.dat"})
            ASSERT_TRUE(CopyFileA((medium + "\\disk1\\" + pszFile).c_str(), (place + "\\" + pszFile).c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(BuildPath("app\\Setup.exe").c_str(), (place + "\\Setup.exe").c_str(), FALSE));
        std::string log = medium + "\\root log.txt";
        DeleteFileA(log.c_str());
        CSilentRun run = RunSilently(place + "\\Setup.exe", "/s -Log=\"" + log + "\"", "C:\\");
        for (const char* pszFile : {"Setup.exe", "Setup.dat", "_Uninst.ex_", "Data.dat"})
            DeleteFileA((place + "\\" + pszFile).c_str());

        EXPECT_EQ(1603, run.nExitCode) << place << ": the run found disk 2 somewhere";
        std::vector<BYTE> bytes = ReadBytes(log);
        std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(std::string::npos, text.find("disk 2: not found beside " + place)) << text;
        EXPECT_EQ(std::string::npos, text.find("\\disk2")) << "the run looked into a folder at the root:\n" << text;
        EXPECT_NE(0u, CheckFileExists((std::string(INSTALL_DEST) + "\\Mapsmith.exe").c_str()))
            << place << ": the failed run left the product installed";
    }
    RemoveDirectoryA("C:\\Setup");
    for (const char* pszDisk : {"disk2", "disk3", "disk4"})
        DeleteTree(std::string("C:\\") + pszDisk);
}

}  // namespace
