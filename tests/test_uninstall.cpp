// Uninst.exe against real installs of the Tilewright medium by the real
// Setup.exe: what an uninstall leaves of the machine, also with the signed
// programs, shared libraries of two products, Wine's own uninstaller as a
// client of the Uninstall entry, a file in use, and install information
// that cannot be trusted.
#include "AccessRights.h"
#include "DesktopHelpers.h"
#include "InstallRun.h"

#include "ui/InstanceMutex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const char UNINSTALLER[] = "C:\\Tilewright\\Uninst.exe";
// The uninstall command the setup writes: the uninstaller's path, quoted.
const char UNINSTALL_COMMAND[] = "\"C:\\Tilewright\\Uninst.exe\"";
const char QUIET_UNINSTALL_COMMAND[] = "\"C:\\Tilewright\\Uninst.exe\" /S";
const char SETUP_INF[] = "C:\\Tilewright\\Setup.inf";
const char MSG_CONFIRM[] = "Do you want to remove Tilewright and all of its components from this computer?";
const char MSG_DONE[] = "Tilewright has been removed from this computer.";
const char NOTHING_REMOVED[] = "\r\nNothing has been removed.";
const DWORD GONE_WAIT_MS = 20000;

// The second product that shares the library: the same files under another
// name, destination, folder and signature.
const char OTHER_DEST[] = "C:\\TileTools";
const char OTHER_NAME[] = "Tile Tools";
const char KEY_OTHER_UNINSTALL[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tile Tools";

struct CUninstallRun {
    std::vector<std::string> boxes;
    long nExitCode = -1;
};

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitForGone(const std::string& path)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < GONE_WAIT_MS; Sleep(50))
        if (!Exists(path))
            return true;
    return false;
}

// Answers the uninstaller's boxes: nQuestion (Yes) to the question, OK to
// the rest. Boxes of any process count, for an uninstaller started by
// another program.
CUninstallRun AnswerUninstaller(CChildProcess& process, DWORD dwBoxProcess, int nQuestion = IDYES)
{
    CUninstallRun run;
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < INSTALL_WAIT_MS;) {
        HWND hBox = WaitForMessageBox(dwBoxProcess, "Uninstall", 50);
        if (!hBox) {
            if (process.WaitForExit(0) != -1)
                break;
            continue;
        }
        run.boxes.push_back(static_cast<const char*>(GetMessageBoxText(hBox)));
        PressButton(hBox, GetDlgItem(hBox, IDYES) ? nQuestion : IDOK);
        WaitForWindowGone(hBox, INSTALL_WAIT_MS);
    }
    run.nExitCode = process.WaitForExit(INSTALL_WAIT_MS);
    return run;
}

CUninstallRun RunUninstaller(const std::string& exe, int nQuestion = IDYES, const std::string& args = "")
{
    CChildProcess process;
    if (!process.Start(exe, args))
        return CUninstallRun();
    return AnswerUninstaller(process, process.Id(), nQuestion);
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += "  " + line + "\n";
    return text;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The uninstaller run as deployment tools run it, with a log: the log's
// text goes to text ("" without one), and the log file goes.
CSilentRun UninstallSilently(const std::string& args, std::string& text)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string log = std::string(szTemp) + "uninstall log.txt";
    DeleteFileA(log.c_str());
    CSilentRun run = RunSilently(UNINSTALLER, args + " /LOG=\"" + log + "\"");
    text = ReadText(log);
    DeleteFileA(log.c_str());
    return run;
}

void ExpectLogHas(const char* pszCase, const std::string& text, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        EXPECT_NE(std::string::npos, text.find(line)) << pszCase << ": the log lacks \"" << line << "\" in:\n" << text;
}

// --- The machine state the setup touches ---------------------------------

void ListFiles(const std::string& dir, bool bRecursive, std::vector<std::string>& out)
{
    ForEachEntry(dir, [&](const WIN32_FIND_DATAA& fd) {
        std::string path = dir + "\\" + fd.cFileName;
        bool bDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out.push_back((bDir ? "dir  " : "file ") + path + (bDir ? "" : " " + std::to_string(fd.nFileSizeLow)));
        if (bDir && bRecursive)
            ListFiles(path, true, out);
    });
}

void DumpKey(HKEY hRoot, const std::string& rootName, const std::string& key, std::vector<std::string>& out)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    std::string name = rootName + "\\" + key;
    out.push_back("key   " + name);
    char szValue[256];
    BYTE data[1024];
    for (DWORD i = 0;; ++i) {
        DWORD cchValue = sizeof szValue, cbData = sizeof data, dwType = 0;
        if (RegEnumValueA(hKey, i, szValue, &cchValue, nullptr, &dwType, data, &cbData) != ERROR_SUCCESS)
            break;
        std::string text = dwType == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                               : std::string(reinterpret_cast<char*>(data), cbData);
        out.push_back("value " + name + " [" + szValue + "] = " + text);
    }
    std::vector<std::string> children;
    char szChild[256];
    for (DWORD i = 0; RegEnumKeyA(hKey, i, szChild, sizeof szChild) == ERROR_SUCCESS; ++i)
        children.push_back(szChild);
    RegCloseKey(hKey);
    for (const std::string& child : children)
        DumpKey(hRoot, rootName, key + "\\" + child, out);
}

std::vector<std::string> Snapshot()
{
    std::vector<std::string> state;
    ListFiles(INSTALL_DEST, true, state);
    ListFiles(SystemDir(), false, state);
    // The uninstaller's copy that finishes the work runs from here.
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    ListFiles(std::string(szTemp, strlen(szTemp) - 1), false, state);
    ListFiles(ProgramGroupDir().substr(0, ProgramGroupDir().rfind('\\')), true, state);
    ListFiles(CommonProgramsDir(), true, state);
    for (const char* pszKey : {"App Paths", "Uninstall", "SharedDLLs"})
        DumpKey(HKEY_LOCAL_MACHINE, "HKLM", std::string("Software\\Microsoft\\Windows\\CurrentVersion\\") + pszKey,
                state);
    for (const char* pszKey : {".tlr", "Mapsmith.Document", KEY_CONTROL_CLSID, "Tilewright.TileView"})
        DumpKey(HKEY_CLASSES_ROOT, "HKCR", pszKey, state);
    std::sort(state.begin(), state.end());
    return state;
}

std::vector<std::string> Without(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    std::vector<std::string> out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// Whether the snapshot sees an install made since before: its main
// program, its keys and the shared count it raised.
::testing::AssertionResult SeesTheInstall(const std::vector<std::string>& before)
{
    std::vector<std::string> installed = Without(Snapshot(), before);
    for (const std::string& expected :
         std::vector<std::string>{"file C:\\Tilewright\\Mapsmith.exe", "key   HKCR\\Mapsmith.Document",
                                  "key   HKCR\\" + std::string(KEY_CONTROL_CLSID),
                                  "value HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs [" + SharedLibrary() + "] = 1"})
        if (std::none_of(installed.begin(), installed.end(),
                         [&](const std::string& line) { return line.rfind(expected, 0) == 0; }))
            return ::testing::AssertionFailure()
                   << "the snapshot does not see the install: no " << expected << " in\n" << Joined(installed);
    return ::testing::AssertionSuccess();
}

void ExpectMachineAsBefore(const std::vector<std::string>& before)
{
    std::vector<std::string> after = Snapshot();
    // Parent keys that the setup's value writes created, and that nothing
    // of this product owns.
    std::vector<std::string> allowed = {
        "key   HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    };
    std::vector<std::string> extra = Without(Without(after, before), allowed);
    // The logs silent runs without /LOG leave in the temporary directory
    // are meant to stay.
    extra.erase(std::remove_if(extra.begin(), extra.end(),
                               [](const std::string& line) {
                                   return line.find("\\Temp\\Tilewright Setup ") != std::string::npos;
                               }),
                extra.end());
    std::vector<std::string> missing = Without(before, after);
    EXPECT_TRUE(extra.empty()) << "left behind by install and uninstall:\n" << Joined(extra);
    EXPECT_TRUE(missing.empty()) << "gone that was there before the install:\n" << Joined(missing);
}

// --- Install information --------------------------------------------------

bool LoadInfo(const std::string& path, CInstallMngr& info)
{
    try {
        CFile file;
        file.Open(path.c_str(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        if (!info.ReadHeader(ar))
            return false;
        info.Serialize(ar);
        return true;
    } catch (CException&) {
        return false;
    }
}

std::vector<std::string> InfoFiles(CInstallMngr& info)
{
    std::vector<std::string> files;
    CObject* pItem;
    for (int n = info.GetFirstItem(pItem); n != ITEM_END; n = info.GetNextItem(pItem))
        if (n == ITEM_FILE)
            files.push_back(static_cast<const char*>(static_cast<CInstalledFile*>(pItem)->m_strPath));
    return files;
}

CDirNode* AppNode(CInstallMngr& info)
{
    return info.m_root.children.GetAt(info.m_root.children.GetHeadPosition());
}

// Install information with one more file record, in the application
// directory's node or in the system directory's.
std::vector<BYTE> HostileInfo(const std::vector<BYTE>& original, const char* pszPath, bool bSystemNode = false,
                              DWORD dwFlags = 0)
{
    std::string path = std::string(SETUP_INF) + ".hostile";
    WriteBytes(path, original);
    CInstallMngr info;
    if (!LoadInfo(path, info))
        return {};
    CInstalledFile* pFile = new CInstalledFile;
    pFile->SetPath(pszPath);
    pFile->m_dwFlags = dwFlags;
    CDirNode* pNode = AppNode(info);
    for (POSITION pos = info.m_root.children.GetHeadPosition(); pos && bSystemNode;)
        pNode = info.m_root.children.GetNext(pos);
    pNode->files.AddTail(pFile);
    WriteInfo(info, path);
    std::vector<BYTE> bytes = ReadBytes(path);
    DeleteFileA(path.c_str());
    return bytes;
}

// Wine's own uninstaller: "--list" prints each entry as key|||DisplayName.
std::string WineUninstallerList()
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string out = std::string(szTemp) + "uninstaller-list.txt";
    DeleteFileA(out.c_str());
    CChildProcess cmd;
    if (!cmd.Start(SystemDir() + "\\cmd.exe", "/c uninstaller.exe --list > \"" + out + "\"")
        || cmd.WaitForExit(INSTALL_WAIT_MS) != 0)
        return "<uninstaller --list did not run>";
    return ReadText(out);
}

// The second product: the Tilewright manifest under another name,
// destination, program folder and signature.
std::string MakeOtherMedium()
{
    std::string manifest = ReadText(Stage("Tilewright.ini"));
    for (const auto& change : std::vector<std::pair<std::string, std::string>>{
             {"Name = Tilewright", std::string("Name = ") + OTHER_NAME},
             {"DestDir = \\Tilewright", "DestDir = \\TileTools"},
             {"ProgramFolder = Tilewright", std::string("ProgramFolder = ") + OTHER_NAME},
             {"Ident = 54 57 01 00 31", "Ident = 54 57 01 00 32"}}) {
        size_t i = manifest.find(change.first);
        if (i == std::string::npos)
            return "";
        manifest.replace(i, change.first.size(), change.second);
    }
    std::string path = Stage("TileTools.ini");
    std::ofstream(path, std::ios::binary) << manifest;
    return MakeMediumFrom(path, "tiletools", "2");
}

// --- Fixture ---------------------------------------------------------------

void RemoveOtherProduct()
{
    DeleteTree(OTHER_DEST);
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, KEY_OTHER_UNINSTALL);
    DeleteTree(ProgramGroupDir().substr(0, ProgramGroupDir().rfind('\\')) + "\\" + OTHER_NAME);
}

class Uninstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveInstallation();
        RemoveOtherProduct();
    }
    void TearDown() override
    {
        RemoveInstallation();
        RemoveOtherProduct();
    }

    void Install(const std::string& medium)
    {
        ASSERT_FALSE(medium.empty()) << "mkmedium failed";
        CDriven run = DriveSetup(medium + "\\Setup.exe");
        ASSERT_EQ(MSG_SUCCESS, run.finalMessage) << "the setup did not finish; boxes:\n" << Joined(run.boxes);
        m_desktopHelpers.End("explorer.exe");
    }

    void ExpectCompleteRun(const CUninstallRun& run, const char* pszDest, const char* pszDone)
    {
        EXPECT_EQ(0, run.nExitCode) << "the uninstaller did not end";
        ASSERT_EQ(2u, run.boxes.size()) << "expected the question and the closing report, saw:\n" << Joined(run.boxes);
        EXPECT_EQ(pszDone, run.boxes[1]);
        EXPECT_TRUE(WaitForGone(pszDest)) << pszDest << " is still there after the uninstall";
    }

    // Runs the installed uninstaller, says Yes, and compares the machine
    // with the snapshot taken before the install.
    void UninstallAndExpectMachineAsBefore(const std::vector<std::string>& before)
    {
        CUninstallRun run = RunUninstaller(UNINSTALLER);
        ASSERT_FALSE(run.boxes.empty()) << "the uninstaller showed nothing";
        EXPECT_EQ(MSG_CONFIRM, run.boxes[0]);
        ExpectCompleteRun(run, INSTALL_DEST, MSG_DONE);
        m_desktopHelpers.End(nullptr);
        ExpectMachineAsBefore(before);
    }

    // The folder windows that creating the group opens would outlive the test.
    CDesktopHelpers m_desktopHelpers;
};

TEST_F(Uninstall, RoundTripLeavesTheMachineAsBefore)
{
    std::string medium = MakeMedium("uninst", "2");
    std::vector<std::string> before = Snapshot();
    Install(medium);
    ASSERT_TRUE(SeesTheInstall(before));
    ASSERT_EQ(UNINSTALL_COMMAND, RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString"));
    // The unquoted uninstall command of earlier setups, and the open command
    // with the quoted long path of a drive without short names, are this
    // installation's entries as well.
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString", UNINSTALLER));
    ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_CLASSES_ROOT, "Mapsmith.Document\\shell\\open\\command", nullptr,
                                          "\"C:\\Tilewright\\Mapsmith.exe\" \"%1\""));

    UninstallAndExpectMachineAsBefore(before);
}

// The medium of the ctest entry package_x86_64 (tests/check_package.sh),
// whose Setup.exe and packed uninstaller carry an Authenticode signature,
// installed unattended: the signed setup runs, and the uninstaller it
// installs is the signed one, which removes everything.
TEST_F(Uninstall, SignedMediumInstallsAndRemoves)
{
    std::string medium = BuildPath("package\\medium");
    ASSERT_TRUE(Exists(medium + "\\Setup.exe") && Exists(medium + "\\_Uninst.ex_"))
        << "no signed medium in " << medium << ": tests/check_package.sh makes it";
    std::vector<BYTE> signedUninstaller = ReadBytes(medium + "\\_Uninst.ex_");
    ASSERT_TRUE(signedUninstaller != ReadBytes(BuildPath("uninst\\Uninst.exe")))
        << "the medium's uninstaller is the unsigned one of the build";

    std::vector<std::string> before = Snapshot();
    CSilentRun install = RunSilently(medium + "\\Setup.exe", "/S");
    ASSERT_EQ(0, install.nExitCode) << "the signed setup did not install";
    EXPECT_FALSE(install.bWindowShown) << "the silent run showed a window";
    m_desktopHelpers.End("explorer.exe");
    EXPECT_TRUE(ReadBytes(UNINSTALLER) == signedUninstaller)
        << UNINSTALLER << " is not the medium's signed uninstaller, byte for byte";

    UninstallAndExpectMachineAsBefore(before);
}

// A deployment tool running as SYSTEM starts the setup where no shell
// answers: the unattended run needs no Program Manager, makes its items as
// links in the Programs menu of all users and logs them; the silent
// uninstall, there too, removes them and their folder, and the machine is
// as it was.
TEST_F(Uninstall, SilentInstallWhereNoShellAnswersThenUninstall)
{
    std::string medium = MakeMedium("uninst-noshell", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    std::vector<std::string> before = Snapshot();
    std::string log = medium + "\\noshell.log";
    CStationWithoutShell station("TilewrightNoShell");
    ASSERT_TRUE(station.IsMade()) << "no window station of its own, error " << GetLastError();
    CSilentRun run = RunSilently(medium + "\\Setup.exe", "/S /LOG=\"" + log + "\"", nullptr, station.Desktop());
    ASSERT_EQ(0, run.nExitCode) << "the run without a shell; it logged:\n" << ReadText(log);
    std::string text = ReadText(log);
    const std::string group = CommonProgramGroupDir();
    for (const char* pszItem : {"Mapsmith", "Tilewright ActiveX Help", "Mapsmith Help", "Joust - VB", "Orbit - VB",
                                "Joust - Delphi", "Orbit - Delphi"}) {
        std::string link = group + "\\" + pszItem + ".lnk";
        EXPECT_TRUE(Exists(link)) << link << " was not made";
        EXPECT_NE(std::string::npos, text.find(std::string("program item \"") + pszItem + "\": ")) << text;
        EXPECT_NE(std::string::npos, text.find(", link " + link)) << "the log does not name " << link;
    }
    EXPECT_EQ(std::string::npos, text.find("warning: ")) << text;
    EXPECT_FALSE(Exists(ProgramGroupDir())) << "a folder in the user's Programs menu";

    std::string uninstallLog = medium + "\\noshell-uninstall.log";
    CSilentRun removal = RunSilently(UNINSTALLER, "/S /LOG=\"" + uninstallLog + "\"", nullptr, station.Desktop());
    ASSERT_EQ(0, removal.nExitCode) << "the silent uninstall without a shell; it logged:\n" << ReadText(uninstallLog);
    EXPECT_TRUE(WaitForGone(INSTALL_DEST)) << INSTALL_DEST << " is still there after the uninstall";
    EXPECT_FALSE(Exists(group)) << "the program folder outlived the uninstall";
    ExpectMachineAsBefore(before);
}

TEST_F(Uninstall, SharedLibraryStaysUntilTheLastProductGoes)
{
    std::string other = MakeOtherMedium();
    ASSERT_FALSE(other.empty()) << "the second product's medium could not be made";
    ASSERT_TRUE(CopyFileA(BuildPath("app\\Setup.exe").c_str(), (other + "\\Setup.exe").c_str(), FALSE));
    Install(MakeMedium("uninst", "2"));
    Install(other);
    std::string shared = SharedLibrary();
    ASSERT_EQ(2u, RegDword(HKEY_LOCAL_MACHINE, KEY_SHARED, shared.c_str())) << "both products count the library";
    std::string otherMain = std::string(OTHER_DEST) + "\\Mapsmith.exe";
    ASSERT_EQ(otherMain, RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, nullptr)) << "the later install owns App Paths";
    // Further records of the library, as an altered Setup.inf may hold them,
    // must not lower the count once each.
    std::string upper = shared;
    CharUpperA(&upper[0]);
    for (const std::string& duplicate : {shared, upper})
        WriteBytes(SETUP_INF, HostileInfo(ReadBytes(SETUP_INF), duplicate.c_str(), true, FILE_SHARED));

    ExpectCompleteRun(RunUninstaller(UNINSTALLER), INSTALL_DEST, MSG_DONE);
    EXPECT_TRUE(Exists(shared)) << "the library was removed while the other product still uses it";
    EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, KEY_SHARED, shared.c_str())) << "the count should be lowered once, to 1";
    EXPECT_EQ(otherMain, RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, nullptr))
        << "App Paths of the other installation was touched";
    EXPECT_EQ("Mapsmith.Document", RegString(HKEY_CLASSES_ROOT, ".tlr", nullptr))
        << "the extension that the other installation owns was removed";
    EXPECT_EQ("Tilewright Resource", RegString(HKEY_CLASSES_ROOT, "Mapsmith.Document", nullptr));
    EXPECT_EQ("\"" + std::string(OTHER_DEST) + "\\Uninst.exe\"",
              RegString(HKEY_LOCAL_MACHINE, KEY_OTHER_UNINSTALL, "UninstallString"));
    EXPECT_EQ("<no key>", RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString"));

    ExpectCompleteRun(RunUninstaller(std::string(OTHER_DEST) + "\\Uninst.exe"), OTHER_DEST,
                      "Tile Tools has been removed from this computer.");
    EXPECT_FALSE(Exists(shared)) << "the last product's uninstall left the library";
    EXPECT_EQ(0xFFFFFFFFu, RegDword(HKEY_LOCAL_MACHINE, KEY_SHARED, shared.c_str())) << "the count value stayed";
    EXPECT_EQ("<no key>", RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, nullptr));
    EXPECT_EQ("<no key>", RegString(HKEY_CLASSES_ROOT, ".tlr", nullptr));
    EXPECT_EQ("<no key>", RegString(HKEY_CLASSES_ROOT, "Mapsmith.Document", nullptr));
    EXPECT_EQ("<no key>", RegString(HKEY_LOCAL_MACHINE, KEY_OTHER_UNINSTALL, "UninstallString"));
}

TEST_F(Uninstall, WineUninstallerListsTheProductUntilItIsRemoved)
{
    Install(MakeMedium("uninst", "2"));
    std::string listed = WineUninstallerList();
    EXPECT_NE(std::string::npos, listed.find("|||Tilewright")) << "not listed after the install:\n" << listed;

    // Started the way Wine's uninstaller starts an entry's UninstallString.
    CChildProcess remover;
    ASSERT_TRUE(remover.Start(SystemDir() + "\\uninstaller.exe", "--remove Tilewright"));
    CUninstallRun run = AnswerUninstaller(remover, 0);
    ASSERT_EQ(2u, run.boxes.size()) << "expected the question and the closing report, saw:\n" << Joined(run.boxes);
    EXPECT_EQ(MSG_CONFIRM, run.boxes[0]);
    EXPECT_EQ(MSG_DONE, run.boxes[1]);
    EXPECT_TRUE(WaitForGone(INSTALL_DEST));

    listed = WineUninstallerList();
    EXPECT_EQ(std::string::npos, listed.find("|||Tilewright")) << "still listed after the uninstall:\n" << listed;
}

// Holds a file open with no sharing until released, from another process.
class CFileHolder {
public:
    explicit CFileHolder(const std::string& path)
        : m_ready(CreateEventA(nullptr, TRUE, FALSE, "UninstallTestReady")),
          m_release(CreateEventA(nullptr, TRUE, FALSE, "UninstallTestRelease"))
    {
        m_bHolding = !m_ready.IsEmpty() && !m_release.IsEmpty()
                     && m_holder.Start(BuildPath("tools\\payload\\payload_holdfile.exe"),
                                       "\"" + path + "\" UninstallTestReady UninstallTestRelease")
                     && WaitForSingleObject(m_ready, INSTALL_WAIT_MS) == WAIT_OBJECT_0;
    }
    CFileHolder(const CFileHolder&) = delete;
    CFileHolder& operator=(const CFileHolder&) = delete;
    ~CFileHolder() { Release(); }
    bool IsHolding() const { return m_bHolding; }
    void Release()
    {
        SetEvent(m_release);
        m_holder.WaitForExit(INSTALL_WAIT_MS);
    }

private:
    CKernelHandle m_ready;
    CKernelHandle m_release;
    CChildProcess m_holder;
    bool m_bHolding = false;
};

TEST_F(Uninstall, FileInUseIsReportedAndASecondRunFinishes)
{
    Install(MakeMedium("uninst", "2"));
    std::string held = std::string(INSTALL_DEST) + "\\ReadMe.txt";
    CFileHolder holder(held);
    ASSERT_TRUE(holder.IsHolding()) << "the helper could not hold " << held;

    CUninstallRun run = RunUninstaller(UNINSTALLER);
    EXPECT_EQ(0, run.nExitCode);
    ASSERT_EQ(2u, run.boxes.size()) << "expected the question and the report, saw:\n" << Joined(run.boxes);
    EXPECT_NE(std::string::npos, run.boxes[1].find("could not be removed completely")) << run.boxes[1];
    EXPECT_NE(std::string::npos, run.boxes[1].find(held)) << "the file in use is not named:\n" << run.boxes[1];
    for (const auto& file : ProductFiles()) {
        if (file.first == "ReadMe.txt")
            continue;
        EXPECT_FALSE(Exists(std::string(INSTALL_DEST) + "\\" + file.first)) << file.first << " was not removed";
    }
    EXPECT_TRUE(Exists(held));
    EXPECT_FALSE(Exists(SharedLibrary())) << "the library only this product counted stayed";
    EXPECT_FALSE(Exists(std::string(INSTALL_DEST) + "\\VB")) << "emptied directories stayed";
    EXPECT_FALSE(Exists(ProgramGroupDir())) << "the program group stayed";
    EXPECT_EQ("<no key>", RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, nullptr));
    EXPECT_EQ(UNINSTALL_COMMAND, RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString"))
        << "the Uninstall entry must stay while something is left";
    ASSERT_TRUE(Exists(UNINSTALLER)) << "the uninstaller must stay while something is left";
    CInstallMngr left;
    ASSERT_TRUE(LoadInfo(SETUP_INF, left)) << "the install information of what is left cannot be read";
    EXPECT_EQ(std::vector<std::string>{held}, InfoFiles(left)) << "Setup.inf should list just what is left";

    // Unattended, the same outcome is told by the exit code and the log.
    std::string text;
    CSilentRun silent = UninstallSilently("/S", text);
    EXPECT_EQ(1603, silent.nExitCode);
    EXPECT_FALSE(silent.bWindowShown) << "the silent uninstall showed a window";
    ExpectLogHas("a file in use", text,
                 {"file left: " + held + ": error 32: ", "stays: " + held, "end: exit code 1603, "});
    EXPECT_TRUE(Exists(UNINSTALLER)) << "the uninstaller must stay while something is left";
    EXPECT_EQ(QUIET_UNINSTALL_COMMAND, RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "QuietUninstallString"))
        << "the Uninstall entry must stay whole while something is left";

    holder.Release();
    ExpectCompleteRun(RunUninstaller(UNINSTALLER), INSTALL_DEST, MSG_DONE);
    EXPECT_EQ("<no key>", RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString"));
}

// What a refused uninstall must leave: everything.
void ExpectStillInstalled(const char* pszCase)
{
    for (const auto& file : ProductFiles())
        EXPECT_TRUE(Exists(std::string(INSTALL_DEST) + "\\" + file.first)) << pszCase << ": " << file.first << " removed";
    EXPECT_TRUE(Exists(UNINSTALLER)) << pszCase;
    EXPECT_TRUE(Exists(SharedLibrary())) << pszCase;
    EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, KEY_SHARED, SharedLibrary().c_str())) << pszCase;
    EXPECT_EQ(std::string(INSTALL_DEST) + "\\Mapsmith.exe", RegString(HKEY_LOCAL_MACHINE, KEY_APP_PATHS, nullptr))
        << pszCase;
    EXPECT_EQ(UNINSTALL_COMMAND, RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "UninstallString")) << pszCase;
    EXPECT_EQ("Mapsmith.Document", RegString(HKEY_CLASSES_ROOT, ".tlr", nullptr)) << pszCase;
    EXPECT_NE("<no key>", RegString(HKEY_CLASSES_ROOT, KEY_CONTROL_CLSID, nullptr)) << pszCase << ": unregistered";
    EXPECT_TRUE(Exists(ProgramGroupDir()) || Exists(CommonProgramGroupDir()))
        << pszCase << ": the program group was removed";
}

TEST_F(Uninstall, BrokenInstallInformationRemovesNothing)
{
    Install(MakeMedium("uninst", "2"));
    const std::string canary = "C:\\canary.txt";
    WriteBytes(canary, {'k', 'e', 'e', 'p'});
    std::vector<BYTE> original = ReadBytes(SETUP_INF);
    ASSERT_GT(original.size(), 100u);
    std::vector<BYTE> truncated(original.begin(), original.begin() + original.size() / 2);
    std::vector<BYTE> trailing = original;
    trailing.push_back(0);
    struct CCase {
        const char* pszName;
        std::vector<BYTE> bytes;
        const char* pszMessage;
    };
    const std::vector<CCase> cases = {
        {"missing", {}, "The install information C:\\Tilewright\\Setup.inf cannot be found."},
        {"truncated", truncated, "The install information C:\\Tilewright\\Setup.inf is damaged"},
        {"trailing bytes", trailing, "The install information C:\\Tilewright\\Setup.inf is damaged"},
        {"file outside", HostileInfo(original, canary.c_str()), "The install information C:\\Tilewright\\Setup.inf is damaged"},
        {"climbing out", HostileInfo(original, "C:\\Tilewright\\..\\canary.txt"),
         "The install information C:\\Tilewright\\Setup.inf is damaged"},
    };
    for (const CCase& c : cases) {
        if (c.bytes.empty())
            DeleteFileA(SETUP_INF);
        else
            WriteBytes(SETUP_INF, c.bytes);
        CUninstallRun run = RunUninstaller(UNINSTALLER);
        EXPECT_EQ(0, run.nExitCode) << c.pszName;
        ASSERT_EQ(1u, run.boxes.size()) << c.pszName << ": expected one message and no question, saw:\n"
                                        << Joined(run.boxes);
        EXPECT_EQ(0u, run.boxes[0].rfind(c.pszMessage, 0)) << c.pszName << ": " << run.boxes[0];
        EXPECT_NE(std::string::npos, run.boxes[0].find(NOTHING_REMOVED)) << c.pszName << ": " << run.boxes[0];
        EXPECT_TRUE(Exists(canary)) << c.pszName << ": the file outside the installation was deleted";
        ExpectStillInstalled(c.pszName);
    }
    DeleteFileA(canary.c_str());
    WriteBytes(SETUP_INF, original);

    // The journal an interrupted setup left: the setup undoes that, not
    // the uninstaller.
    char szWindows[MAX_PATH];
    ASSERT_NE(0u, GetWindowsDirectoryA(szWindows, MAX_PATH));
    std::string journal = std::string(szWindows) + "\\Setup.jnl";
    WriteBytes(journal, {'C', '\r', '\n'});
    CUninstallRun run = RunUninstaller(UNINSTALLER);
    DeleteFileA(journal.c_str());
    ASSERT_EQ(1u, run.boxes.size()) << "expected one message and no question, saw:\n" << Joined(run.boxes);
    EXPECT_EQ(0u, run.boxes[0].rfind("An installation was interrupted", 0)) << run.boxes[0];
    ExpectStillInstalled("an interrupted installation");
}

TEST_F(Uninstall, NoToTheQuestionRemovesNothing)
{
    Install(MakeMedium("uninst", "2"));
    CUninstallRun run = RunUninstaller(UNINSTALLER, IDNO);
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_EQ(std::vector<std::string>{MSG_CONFIRM}, run.boxes) << "the question alone, then nothing";
    ExpectStillInstalled("answered No");
}

// Deployment tools install with /S and remove with the Uninstall entry's
// quiet command: no window at any time, the machine as before, and a log
// of the removal. A bad command line, and a setup running beside it, are
// refused first, without a window and without removing anything.
TEST_F(Uninstall, RoundTripUnattendedWithALog)
{
    std::string medium = MakeMedium("uninst", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    std::vector<std::string> before = Snapshot();
    CSilentRun install = RunSilently(medium + "\\Setup.exe", "/S");
    ASSERT_EQ(0, install.nExitCode) << "the silent install failed";
    EXPECT_FALSE(install.bWindowShown) << "the silent install showed a window";
    m_desktopHelpers.End("explorer.exe");
    ASSERT_TRUE(SeesTheInstall(before));
    ASSERT_EQ(QUIET_UNINSTALL_COMMAND, RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "QuietUninstallString"));

    // An unknown switch, a repeated one, one without its value.
    const std::vector<std::pair<const char*, const char*>> badLines = {
        {"/S /QUIET", "/QUIET"}, {"-s /S", "/S"}, {"/LOG= /S", "/LOG="}};
    std::string text;
    CSilentRun refused;
    for (const auto& bad : badLines) {
        refused = UninstallSilently(bad.first, text);
        EXPECT_EQ(1639, refused.nExitCode) << bad.first;
        EXPECT_FALSE(refused.bWindowShown) << bad.first << ": a window for a bad command line with /S";
        ExpectLogHas(bad.first, text,
                     {"start: ", std::string("refused: Invalid argument: ") + bad.second, "end: exit code 1639, "});
    }
    {
        CKernelHandle running(CreateMutexA(nullptr, TRUE, (std::string("Global\\") + SETUP_INSTANCE_MUTEX).c_str()));
        ASSERT_FALSE(running.IsEmpty()) << "error " << GetLastError();
        refused = UninstallSilently("/S", text);
        ReleaseMutex(running);
    }
    EXPECT_EQ(1618, refused.nExitCode) << text;
    EXPECT_FALSE(refused.bWindowShown) << "a window while a setup runs";
    EXPECT_TRUE(text.empty()) << "the log, which may be the running copy's, was written:\n" << text;
    ExpectStillInstalled("refused");

    CSilentRun run = UninstallSilently("/S", text);
    EXPECT_EQ(0, run.nExitCode) << text;
    EXPECT_FALSE(run.bWindowShown) << "the silent uninstall showed a window";
    EXPECT_TRUE(WaitForGone(INSTALL_DEST)) << INSTALL_DEST << " is still there after the uninstall";
    m_desktopHelpers.End(nullptr);
    ExpectMachineAsBefore(before);
    EXPECT_EQ("<no key>", RegString(HKEY_LOCAL_MACHINE, KEY_UNINSTALL, "QuietUninstallString"));
    ExpectLogHas("removed", text,
                 {"start: C:\\Tilewright\\Uninst.exe, command line: ", "loaded: Tilewright, ",
                  "file removed: C:\\Tilewright\\Mapsmith.exe", "library unregistered: C:\\Tilewright\\Tilewrig.ocx",
                  "shared count removed: " + SharedLibrary(),
                  "registry removed: HKEY_LOCAL_MACHINE\\" + std::string(KEY_UNINSTALL),
                  "install information deleted: " + std::string(SETUP_INF),
                  "message: Tilewright has been removed from this computer.", "end: exit code 0, "});
}

// The group may have existed and hold another product's item; a library in
// the system directory that no count marks as shared may have been there
// before: the uninstall leaves both, and a later one of the same product
// still completes.
TEST_F(Uninstall, ForeignItemsAndUncountedSystemFilesStay)
{
    std::string group = ProgramGroupDir();
    ASSERT_TRUE(CreateDirectoryA(group.c_str(), nullptr)) << group << ": error " << GetLastError();
    std::string foreign = group + "\\Other Tool.lnk";
    WriteBytes(foreign, {'l', 'n', 'k'});
    Install(MakeMedium("uninst", "2"));
    ASSERT_TRUE(Exists(group + "\\Mapsmith.lnk")) << "the setup added its items to the existing group";
    std::string kept = SystemDir() + "\\TileKeep.dll";
    WriteBytes(kept, {'M', 'Z'});
    WriteBytes(SETUP_INF, HostileInfo(ReadBytes(SETUP_INF), kept.c_str(), true, FILE_REGISTER));

    ExpectCompleteRun(RunUninstaller(UNINSTALLER), INSTALL_DEST, MSG_DONE);
    m_desktopHelpers.End(nullptr);
    EXPECT_TRUE(Exists(foreign)) << "another product's item in the group was removed";
    EXPECT_FALSE(Exists(group + "\\Mapsmith.lnk")) << "the product's own item stayed";
    EXPECT_TRUE(Exists(group)) << "the group that still holds an item was removed";
    EXPECT_TRUE(Exists(kept)) << "a system file without a shared count was removed";
    EXPECT_FALSE(Exists(SharedLibrary())) << "the counted library goes through its count";
    DeleteFileA(kept.c_str());
}

// Anyone may start the uninstaller with its finishing switch: it must
// finish only as its own temporary copy, never delete the path it is given.
TEST_F(Uninstall, FinishSwitchOfAnotherCallerDeletesNothing)
{
    Install(MakeMedium("uninst", "2"));
    const std::string canary = "C:\\canary.txt";
    WriteBytes(canary, {'k', 'e', 'e', 'p'});
    for (const std::string& target : {canary, std::string(UNINSTALLER)}) {
        CUninstallRun run = RunUninstaller(UNINSTALLER, IDYES, "/finish 0 0 \"" + target + "\"");
        EXPECT_EQ(0, run.nExitCode) << target;
        EXPECT_TRUE(run.boxes.empty()) << target;
        EXPECT_TRUE(Exists(target)) << target << " was deleted by a /finish the uninstaller did not start";
    }
    DeleteFileA(canary.c_str());
    ExpectStillInstalled("after /finish");
}

std::string TempDir()
{
    char szTemp[MAX_PATH];
    DWORD dwLength = GetTempPathA(MAX_PATH, szTemp);
    return dwLength > 1 ? std::string(szTemp, dwLength - 1) : std::string();
}

std::vector<std::string> Subdirectories(const std::string& dir)
{
    std::vector<std::string> names;
    ForEachEntry(dir, [&names](const WIN32_FIND_DATAA& fd) {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            names.push_back(fd.cFileName);
    });
    std::sort(names.begin(), names.end());
    return names;
}

// Read with every sharing, so that another process's handle is not in the way.
std::vector<BYTE> ReadShared(const std::string& path)
{
    CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<BYTE> bytes(file.IsEmpty() ? 0 : GetFileSize(file, nullptr));
    DWORD dwRead = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &dwRead, nullptr)
                           || dwRead != bytes.size()))
        bytes.clear();
    return bytes;
}

// The first directory of dir that is not among before; "" after the wait.
std::string WaitForNewSubdirectory(const std::string& dir, const std::vector<std::string>& before)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < GONE_WAIT_MS; Sleep(20)) {
        std::vector<std::string> added = Without(Subdirectories(dir), before);
        if (!added.empty())
            return dir + "\\" + added[0];
    }
    return "";
}

// The temporary directory is open to every user. The copy that finishes
// the work is made in a new directory of its own that other users cannot
// enter; what is planted beside it is neither touched nor run. Holding the
// uninstaller without delete sharing keeps the copy trying to delete it,
// for long enough to look at the copy's directory.
TEST_F(Uninstall, TheFinishingCopyRunsFromAClosedDirectoryOfItsOwn)
{
    Install(MakeMedium("uninst", "2"));
    const std::string temp = TempDir();
    const std::vector<BYTE> plantedBytes = {'n', 'o', 't', ' ', 'r', 'u', 'n'};
    std::vector<std::string> planted;
    for (int i = 0; i < 10; ++i) {
        planted.push_back(temp + "\\Fil" + std::to_string(i) + ".exe");
        WriteBytes(planted.back(), plantedBytes);
    }
    std::vector<BYTE> uninstaller = ReadBytes(UNINSTALLER);
    std::vector<std::string> dirsBefore = Subdirectories(temp);
    CFileHandle hold(CreateFileA(UNINSTALLER, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_FALSE(hold.IsEmpty()) << UNINSTALLER << ": error " << GetLastError();

    CUninstallRun run = RunUninstaller(UNINSTALLER);
    std::string copyDir = WaitForNewSubdirectory(temp, dirsBefore);
    std::string copy = copyDir + "\\Uninst.exe";
    bool bCopySeen = !copyDir.empty() && Exists(copy);
    CAccessRights rights = AccessRightsOf(copyDir);
    bool bSameBytes = bCopySeen && ReadShared(copy) == uninstaller;
    hold.Close();

    ASSERT_EQ(2u, run.boxes.size()) << "expected the question and the closing report, saw:\n" << Joined(run.boxes);
    EXPECT_EQ(MSG_DONE, run.boxes[1]);
    ASSERT_TRUE(bCopySeen) << "no new directory with the copy in " << temp << " (saw \"" << copyDir << "\")";
    EXPECT_TRUE(bSameBytes) << copy << " is not the uninstaller";
    EXPECT_TRUE(rights.bRead) << copyDir << ": its descriptor cannot be read";
    EXPECT_FALSE(rights.bEveryoneListed) << copyDir << " " << rights.strSddl << ": other users may enter it";
    EXPECT_FALSE(rights.GrantsUsersWrite()) << copyDir << " " << rights.strSddl << ": other users may change it";
    EXPECT_TRUE(WaitForGone(INSTALL_DEST)) << INSTALL_DEST << " is still there after the uninstall";
    EXPECT_TRUE(WaitForGone(copyDir)) << copyDir << " is still there after the copy ended";
    EXPECT_TRUE(WaitForGone(copyDir + ".tmp")) << "the copy is still there after it ended";
    for (const std::string& path : planted) {
        EXPECT_TRUE(ReadShared(path) == plantedBytes) << path << " was changed";
        DeleteFileA(path.c_str());
    }
}

// Wine 8 makes no link itself (CreateSymbolicLinkA reports success and
// makes nothing, FSCTL_SET_REPARSE_POINT is not supported), but it shows a
// Unix symbolic link as a directory with FILE_ATTRIBUTE_REPARSE_POINT, and
// it runs a Unix program given by its path.
bool RunUnixProgram(const std::string& program, const std::string& options,
                    const std::vector<std::string>& windowsPaths)
{
    typedef char*(CDECL * PFNUNIXNAME)(const WCHAR*);
    PFNUNIXNAME pfnUnixName = reinterpret_cast<PFNUNIXNAME>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!pfnUnixName)
        return false;
    std::string args = options;
    for (const std::string& path : windowsPaths) {
        WCHAR wszPath[MAX_PATH];
        if (!MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wszPath, MAX_PATH))
            return false;
        char* pszUnix = pfnUnixName(wszPath);
        if (!pszUnix)
            return false;
        args += " \"" + std::string(pszUnix) + "\"";
        HeapFree(GetProcessHeap(), 0, pszUnix);
    }
    CChildProcess process;
    return process.Start(program, args);
}

bool IsLink(const std::string& path)
{
    DWORD dwAttributes = GetFileAttributesA(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine gives no process handle to wait on for a Unix program: what it
// does is waited for instead.
bool WaitForLink(const std::string& path, bool bPresent)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < GONE_WAIT_MS; Sleep(20))
        if (IsLink(path) == bPresent)
            return true;
    return false;
}

// Windows makes a symbolic link itself (its headers declare the call only
// for newer systems than the programs are built for).
bool MakeDirectoryLink(const std::string& link, const std::string& target)
{
    typedef BOOLEAN(WINAPI * PFNCREATELINK)(const char*, const char*, DWORD);
    const DWORD LINK_TO_DIRECTORY = 1;
    PFNCREATELINK pfnCreateLink = reinterpret_cast<PFNCREATELINK>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    if (pfnCreateLink && pfnCreateLink(link.c_str(), target.c_str(), LINK_TO_DIRECTORY) && IsLink(link))
        return true;
    return RunUnixProgram("Z:\\bin\\ln", "-s", {target, link}) && WaitForLink(link, true);
}

// Before its target goes: a link to nothing is not seen at all.
bool RemoveDirectoryLink(const std::string& link)
{
    if (IsLink(link) && !RemoveDirectoryA(link.c_str()))
        RunUnixProgram("Z:\\bin\\rm", "", {link});
    return WaitForLink(link, false);
}

// A subfolder of the destination replaced by a link to a folder outside
// that holds a file of the same name as the product's: the uninstaller
// goes no further than the link, and the file it leads to stays.
TEST_F(Uninstall, ALinkInPlaceOfASubfolderIsNotFollowed)
{
    Install(MakeMedium("uninst", "2"));
    const std::string outside = "C:\\TilewrightOutside";
    const std::string maps = std::string(INSTALL_DEST) + "\\Maps";
    DeleteTree(outside);
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), nullptr)) << outside << ": error " << GetLastError();
    const std::vector<BYTE> keep = {'k', 'e', 'e', 'p'};
    WriteBytes(outside + "\\World.tlr", keep);
    DeleteTree(maps);
    bool bLinked = MakeDirectoryLink(maps, outside);
    CUninstallRun run;
    if (bLinked)
        run = RunUninstaller(UNINSTALLER);
    WaitForGone(UNINSTALLER);
    bool bKept = ReadShared(outside + "\\World.tlr") == keep;
    bool bUnlinked = RemoveDirectoryLink(maps);
    DeleteTree(outside);

    ASSERT_TRUE(bLinked) << "no link could be made at " << maps;
    ASSERT_TRUE(bUnlinked) << "the link " << maps << " could not be removed";

    ASSERT_EQ(2u, run.boxes.size()) << "expected the question and the closing report, saw:\n" << Joined(run.boxes);
    EXPECT_EQ(MSG_DONE, run.boxes[1]);
    EXPECT_TRUE(bKept) << "the uninstaller deleted " << outside << "\\World.tlr through the link " << maps;
    EXPECT_FALSE(Exists(std::string(INSTALL_DEST) + "\\Mapsmith.exe")) << "the product's own files stayed";
}

// The libraries that Setup.exe and Uninst.exe, and the system libraries
// they use, load by name in an install and an uninstall, as Wine's
// +loaddll trace shows them (both builds). The programs' load-time imports
// (kernel32, msvcrt, and kernelbase and ntdll below them) are not among
// them: they are bound before any code of the programs runs, and only the
// system's list of known libraries keeps a copy beside the program from
// being loaded in their place. Nor is msimg32, which the 64-bit Wine's
// uxtheme binds at first call: Wine's own libraries look for what they
// bind at first call in the program's folder first, whatever search the
// program set (ole32, which imm32 binds so, is loaded by the programs
// before any window opens).
const char* const LOADED_BY_NAME[] = {"advapi32", "combase", "comctl32", "gdi32",   "imm32",    "ole32",
                                      "rpcrt4",   "sechost", "shcore",   "shell32", "shlwapi",  "ucrtbase",
                                      "user32",   "uxtheme", "version",  "win32u",  "zlib1"};

// A library planted under each of those names beside Setup.exe and where
// the uninstaller's temporary copy runs is never loaded, with Wine
// searching as Windows does (the program's own folder first); nor is a
// copy of the shared library that the control binds, planted there too:
// the control registers and unregisters with the real one in the system
// directory.
TEST_F(Uninstall, PlantedLibrariesAreNotLoaded)
{
    std::string medium = MakeMedium("planted", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    char szTemp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, szTemp));
    std::vector<std::string> names(std::begin(LOADED_BY_NAME), std::end(LOADED_BY_NAME));
    names.push_back("TileShr");
    std::vector<std::string> planted;
    for (const std::string& dir : {medium, std::string(szTemp, strlen(szTemp) - 1)})
        for (const std::string& name : names) {
            planted.push_back(dir + "\\" + name + ".dll");
            ASSERT_TRUE(CopyFileA(BuildPath("tools\\payload\\payload_planted.dll").c_str(),
                                  planted.back().c_str(), FALSE))
                << planted.back() << ": error " << GetLastError();
        }
    // Wine's own load order prefers its built-in libraries; this makes it
    // look in the program's directory first, as Windows does.
    const char OVERRIDES_KEY[] = "Software\\Wine\\DllOverrides";
    for (const char* pszName : LOADED_BY_NAME)
        ASSERT_EQ(ERROR_SUCCESS, SetRegString(HKEY_CURRENT_USER, OVERRIDES_KEY, pszName, "native,builtin"));

    Install(medium);
    std::string server = std::string(KEY_CONTROL_CLSID) + "\\InprocServer32";
    EXPECT_EQ(std::string(INSTALL_DEST) + "\\Tilewrig.ocx", RegString(HKEY_CLASSES_ROOT, server.c_str(), ""))
        << "the control did not register";
    ExpectCompleteRun(RunUninstaller(UNINSTALLER), INSTALL_DEST, MSG_DONE);
    EXPECT_EQ("<no key>", RegString(HKEY_CLASSES_ROOT, server.c_str(), "")) << "the control did not unregister";

    for (const char* pszName : LOADED_BY_NAME)
        DeleteRegValue(HKEY_CURRENT_USER, OVERRIDES_KEY, pszName);
    std::vector<std::string> loaded;
    for (const std::string& path : planted) {
        if (Exists(path + ".loaded"))
            loaded.push_back(path);
        DeleteFileA((path + ".loaded").c_str());
        DeleteFileA(path.c_str());
    }
    EXPECT_TRUE(loaded.empty()) << "planted libraries were loaded:\n" << Joined(loaded);
}

}
