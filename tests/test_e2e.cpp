// Whole installs of the Tilewright medium by the real Setup.exe, driven
// through its wizard like a user, checked on the machine afterwards: files,
// registry, self-registration, program group, saved install information.
#include "ChildProcess.h"
#include "DesktopHelpers.h"
#include "TestMedium.h"
#include "TestPaths.h"

#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "tools/guidriver/GuiDriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <map>

namespace {

const DWORD WAIT_MS = 60000;
const char DEST[] = "C:\\Tilewright";
const char APP_PATHS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Mapsmith.exe";
const char UNINSTALL[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tilewright";
const char SHARED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char CONTROL_CLSID[] = "CLSID\\{5C7E2A31-8D4B-4F1A-9E63-2B7D1C9A4E10}";

std::string Stage(const char* pszRelative)
{
    return BuildPath("tilewright") + "\\" + pszRelative;
}

std::string SystemDir()
{
    char sz[MAX_PATH];
    GetSystemDirectoryA(sz, MAX_PATH);
    return sz;
}

// The files of the manifest: installed place and staged source.
std::map<std::string, std::string> ProductFiles()
{
    return {
        {"Mapsmith.exe", "bin\\Mapsmith.exe"},
        {"Tilewrig.ocx", "bin\\Tilewrig.ocx"},
        {"Tilewrig.hlp", "data\\Tilewrig.hlp"},
        {"Mapsmith.hlp", "data\\Mapsmith.hlp"},
        {"ReadMe.txt", "data\\ReadMe.txt"},
        {"VB\\Joust\\Joust.vbp", "data\\VB\\Joust\\Joust.vbp"},
        {"VB\\Joust\\Joust.tlr", "data\\VB\\Joust\\Joust.tlr"},
        {"VB\\Orbit\\Orbit.vbp", "data\\VB\\Orbit\\Orbit.vbp"},
        {"VB\\Orbit\\Orbit.tlr", "data\\VB\\Orbit\\Orbit.tlr"},
        {"Delphi\\Joust\\Joust.exe", "bin\\Joust.exe"},
        {"Delphi\\Orbit\\Orbit.exe", "bin\\Orbit.exe"},
        {"Maps\\World.tlr", "data\\World.tlr"},
    };
}

std::vector<BYTE> Replaced(std::vector<BYTE> bytes, const std::string& from, const std::string& to)
{
    std::string text(bytes.begin(), bytes.end());
    size_t i = text.find(from);
    if (i != std::string::npos)
        text.replace(i, from.size(), to);
    return std::vector<BYTE>(text.begin(), text.end());
}

std::string RegString(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return "<no key>";
    char sz[1024] = {};
    DWORD cb = sizeof sz - 1, type = 0;
    LONG r = RegQueryValueExA(hKey, pszValue, nullptr, &type, reinterpret_cast<BYTE*>(sz), &cb);
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS ? std::string(sz) : "<no value>";
}

DWORD RegDword(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    DWORD dw = 0;
    return GetRegDword(hRoot, pszKey, pszValue, dw) == 0 ? dw : 0xFFFFFFFF;
}

std::string ProgramGroupDir()
{
    char sz[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, sz)))
        return "";
    return std::string(sz) + "\\Tilewright";
}

void DeleteTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// Removes everything an install of the medium leaves, so each case starts
// from the same machine.
void RemoveInstallation()
{
    DeleteTree(DEST);
    DeleteFileA((SystemDir() + "\\TileShr.dll").c_str());
    DeleteRegValue(HKEY_LOCAL_MACHINE, SHARED, (SystemDir() + "\\TileShr.dll").c_str());
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS);
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL);
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, "Mapsmith.Document");
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, ".tlr");
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, CONTROL_CLSID);
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, "Tilewright.TileView");
    DeleteTree(ProgramGroupDir());
}

// Writes a medium with mkmedium into a fresh folder; "" on failure.
std::string MakeMedium(const char* pszName, const char* pszDiskType)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string out = std::string(szTemp) + "e2e-" + pszName;
    DeleteTree(out);
    CChildProcess mk;
    std::string args = "build \"" + Stage("Tilewright.ini") + "\" \"" + out + "\" --disk-type " + pszDiskType;
    if (!mk.Start(BuildPath("tools\\mkmedium\\mkmedium.exe"), args) || mk.WaitForExit(WAIT_MS) != 0)
        return "";
    return out;
}

struct CDriven {
    std::vector<std::string> questions;
    std::vector<std::string> diskPrompts;
    std::string finalMessage;
    long nExitCode = -1;
};

// Walks the wizard with the proposed destination and folder, answers the
// questions with Yes, hands disk prompts to onDisk, and ends at the final box.
CDriven DriveSetup(const std::string& setupExe, const std::function<void(const std::string&)>& onDisk)
{
    CDriven result;
    CChildProcess setup;
    if (!setup.Start(setupExe))
        return result;
    DWORD pid = setup.Id();
    auto sheet = [pid](const char* pszTitle) {
        WindowQuery query;
        query.dwProcessId = pid;
        query.pszTitle = pszTitle;
        return WaitForTopWindow(query, WAIT_MS);
    };
    HWND hSheet = sheet("Welcome to Tilewright");
    if (!hSheet)
        return result;
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    if (!sheet("Choose Destination Location"))
        return result;
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    // Leaving the destination page may ask first (to create the directory).
    WindowQuery folderPage;
    folderPage.dwProcessId = pid;
    folderPage.pszTitle = "Select Program Folder";
    DWORD dwStart = GetTickCount();
    while (!FindTopWindow(folderPage)) {
        if (GetTickCount() - dwStart > WAIT_MS)
            return result;
        if (HWND hBox = WaitForMessageBox(pid, "Setup", 200)) {
            result.questions.push_back(static_cast<const char*>(GetMessageBoxText(hBox)));
            PressButton(hBox, IDYES);
            WaitForWindowGone(hBox, WAIT_MS);
        }
    }
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    for (;;) {
        HWND hBox = WaitForMessageBox(pid, "Setup", WAIT_MS);
        if (!hBox)
            break;
        std::string text = static_cast<const char*>(GetMessageBoxText(hBox));
        if (text.rfind("Insert the disk", 0) == 0) {
            result.diskPrompts.push_back(text);
            onDisk(text);
            PressButton(hBox, IDOK);
        } else if (text == "The Setup was completed successfully." || text == "The Setup was not finished completely.") {
            result.finalMessage = text;
            PressButton(hBox, IDOK);
            break;
        } else {
            result.questions.push_back(text);
            PressButton(hBox, IDOK);
        }
        WaitForWindowGone(hBox, WAIT_MS);
    }
    result.nExitCode = setup.WaitForExit(WAIT_MS);
    return result;
}

void ExpectInstalled()
{
    for (const auto& file : ProductFiles()) {
        std::string installed = std::string(DEST) + "\\" + file.first;
        ASSERT_EQ(0u, CheckFileExists(installed.c_str())) << installed << " is missing";
        EXPECT_EQ(ReadBytes(Stage(file.second.c_str())), ReadBytes(installed)) << installed << " differs from its source";
    }
    for (const char* pszSample : {"Joust", "Orbit"}) {
        std::string form = std::string("VB\\") + pszSample + "\\Form1.frm";
        std::vector<BYTE> expected =
            Replaced(ReadBytes(Stage(("data\\" + form).c_str())),
                     std::string("C:\\PROJEKTE\\Language\\English\\") + pszSample + ".tlr",
                     std::string(DEST) + "\\VB\\" + pszSample + "\\" + pszSample + ".tlr");
        EXPECT_EQ(expected, ReadBytes(std::string(DEST) + "\\" + form)) << form << " was not fixed up";
    }
    std::string shared = SystemDir() + "\\TileShr.dll";
    EXPECT_EQ(ReadBytes(Stage("bin\\TileShr.dll")), ReadBytes(shared)) << "the shared library";
    EXPECT_EQ(ReadBytes(Stage("bin\\Uninst.exe")), ReadBytes(std::string(DEST) + "\\Uninst.exe"));
    EXPECT_EQ(0u, CheckFileExists((std::string(DEST) + "\\Setup.inf").c_str()));

    EXPECT_EQ(std::string(DEST) + "\\Mapsmith.exe", RegString(HKEY_LOCAL_MACHINE, APP_PATHS, nullptr));
    EXPECT_EQ(DEST, RegString(HKEY_LOCAL_MACHINE, APP_PATHS, "Path"));
    EXPECT_EQ("Tilewright", RegString(HKEY_LOCAL_MACHINE, UNINSTALL, "DisplayName"));
    EXPECT_EQ(std::string(DEST) + "\\Uninst.exe", RegString(HKEY_LOCAL_MACHINE, UNINSTALL, "UninstallString"));
    EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, SHARED, shared.c_str()));
    EXPECT_EQ("Tilewright Resource", RegString(HKEY_CLASSES_ROOT, "Mapsmith.Document", nullptr));
    std::string command = RegString(HKEY_CLASSES_ROOT, "Mapsmith.Document\\shell\\open\\command", nullptr);
    EXPECT_NE(std::string::npos, command.find("Mapsmith.exe \"%1\"")) << command;
    EXPECT_EQ("Mapsmith.Document", RegString(HKEY_CLASSES_ROOT, ".tlr", nullptr));
    EXPECT_EQ("", RegString(HKEY_CLASSES_ROOT, ".tlr\\ShellNew", "NullFile"));
    EXPECT_EQ(std::string(DEST) + "\\Tilewrig.ocx",
              RegString(HKEY_CLASSES_ROOT, (std::string(CONTROL_CLSID) + "\\InprocServer32").c_str(), nullptr))
        << "the control did not register itself";

    std::string group = ProgramGroupDir();
    for (const char* pszItem : {"Mapsmith", "Tilewright ActiveX Help", "Mapsmith Help", "Joust - VB", "Orbit - VB",
                                "Joust - Delphi", "Orbit - Delphi"})
        EXPECT_EQ(0u, CheckFileExists((group + "\\" + pszItem + ".lnk").c_str())) << "program item " << pszItem;
}

class Install : public ::testing::Test {
protected:
    void SetUp() override { RemoveInstallation(); }
    void TearDown() override { RemoveInstallation(); }

    // The folder windows that creating the group opens would outlive the test.
    CDesktopHelpers m_desktopHelpers;
};

TEST_F(Install, OneDiskMediumInstallsEverything)
{
    std::string medium = MakeMedium("single", "2");
    ASSERT_FALSE(medium.empty()) << "mkmedium failed";
    CopyFileA(BuildPath("app\\Setup.exe").c_str(), (medium + "\\Setup.exe").c_str(), FALSE);
    CDriven run = DriveSetup(medium + "\\Setup.exe", [](const std::string&) {});
    EXPECT_EQ("The Setup was completed successfully.", run.finalMessage);
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_TRUE(run.diskPrompts.empty());
    ASSERT_EQ(1u, run.questions.size()) << "only the question to create the destination";
    EXPECT_EQ("The destination directory C:\\Tilewright does not exist. Do you want to create it ?", run.questions[0]);
    ExpectInstalled();

    CDriven again = DriveSetup(medium + "\\Setup.exe", [](const std::string&) {});
    EXPECT_EQ("The Setup was completed successfully.", again.finalMessage) << "a second install over the first";
    EXPECT_TRUE(again.questions.empty()) << "the earlier installation of the same product is recognised";
    EXPECT_EQ(1u, RegDword(HKEY_LOCAL_MACHINE, SHARED, (SystemDir() + "\\TileShr.dll").c_str()))
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
    CDriven run = DriveSetup("A:\\Setup.exe", [&medium](const std::string& prompt) {
        std::string disk = prompt.substr(16, prompt.find(' ', 16) - 16);
        CopyFileA((medium + "\\disk" + disk + "\\Data.dat").c_str(), "A:\\Data.dat", FALSE);
    });
    EXPECT_EQ("The Setup was completed successfully.", run.finalMessage);
    EXPECT_EQ(0, run.nExitCode);
    EXPECT_EQ(std::vector<std::string>({"Insert the disk 2 in A: !", "Insert the disk 3 in A: !",
                                        "Insert the disk 4 in A: !"}),
              run.diskPrompts);
    ExpectInstalled();
    for (const char* pszFile : {"Setup.exe", "Setup.dat", "_Uninst.ex_", "Data.dat"})
        DeleteFileA((std::string("A:\\") + pszFile).c_str());
}

}  // namespace
