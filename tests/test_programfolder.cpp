// The program folder: item captions by the product's table, and the group
// with one item per marked file made by the prefix's real Program Manager
// service, found again as a folder of links in the Start Menu.
#include "DesktopHelpers.h"
#include "EngineTestKit.h"

#include "engine/ProgramFolder.h"
#include "model/ItemCaption.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

namespace {

using namespace kit;


TEST(ItemCaption, ProductFilesHaveFixedCaptions)
{
    const char* const rows[][2] = {
        {"Mapsmith.exe", "Mapsmith"},
        {"Tilewrig.hlp", "Tilewright ActiveX Help"},
        {"Mapsmith.hlp", "Mapsmith Help"},
        {"Joust.vbp", "Joust - VB"},
        {"Orbit.vbp", "Orbit - VB"},
        {"Joust.exe", "Joust - Delphi"},
        {"Orbit.exe", "Orbit - Delphi"},
    };
    for (const auto& row : rows)
        EXPECT_STREQ(row[1], GetItemCaption(row[0])) << row[0];
    EXPECT_STREQ("Mapsmith", GetItemCaption("MAPSMITH.EXE")) << "names compare without case";
    EXPECT_STREQ("Orbit - Delphi", GetItemCaption("orbit.EXE"));
}

TEST(ItemCaption, OtherFilesAreCaptionedByTheirTitle)
{
    EXPECT_STREQ("readme", GetItemCaption("readme.txt"));
    EXPECT_STREQ("Mapsmith", GetItemCaption("Mapsmith.ex")) << "only the whole name matches a row";
    EXPECT_STREQ("Mapsmith.exe", GetItemCaption("Mapsmith.exe.lnk"));
    EXPECT_STREQ("LICENSE", GetItemCaption("LICENSE"));
    EXPECT_STREQ("", GetItemCaption(""));
}

std::string ProgramsFolder()
{
    char sz[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, sz)))
        return std::string();
    return sz;
}

void DeleteGroup(const std::string& strGroup)
{
    CStringArray commands;
    CString strCommand;
    strCommand.Format("[DeleteGroup(%s)]", strGroup.c_str());
    commands.Add(strCommand);
    ExecuteProgmanCommands(commands);
}

class ProgramFolder : public ::testing::Test {
protected:
    ProgramFolder() : m_dest("Tilewright Folder") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_dest.IsMade());
        m_bCom = SUCCEEDED(CoInitialize(nullptr));
        m_strPrograms = ProgramsFolder();
        ASSERT_FALSE(m_strPrograms.empty()) << "the Programs folder is unknown";
        m_mngr.m_strProgramFolder = GROUP;
        m_mngr.m_strDestDir = m_dest.Path().c_str();
        m_top = AddTopDirs(m_mngr);
        DeleteGroup(GROUP);
        ASSERT_FALSE(Exists(GroupDir())) << "a group from an earlier run is still there";
    }
    void TearDown() override
    {
        DeleteGroup(GROUP);
        if (m_bCom)
            CoUninitialize();
    }

    std::string GroupDir() const { return m_strPrograms + "\\" + GROUP; }

    // A file of the tree, created on disk: Program Manager makes no item
    // for a target that does not exist.
    CInstalledFile* Installed(CDirNode* pNode, const std::string& strPath, DWORD dwFlags)
    {
        EXPECT_TRUE(WriteFileText(strPath, "x")) << strPath;
        return AddFile(pNode, strPath, dwFlags);
    }

    static constexpr const char* GROUP = "Tilewright Folder Test";
    CScratchDir m_dest;
    CSetupMngr m_mngr;
    CTopDirs m_top{};
    bool m_bCom = false;
    std::string m_strPrograms;
};

TEST_F(ProgramFolder, GroupHasAnItemForEachMarkedFile)
{
    CDesktopHelpers helpers;
    ASSERT_TRUE(CreateDirectoryA((m_dest / "VB").c_str(), nullptr));
    CDirNode* pVB = AddDir(m_top.pApp, "VB");
    Installed(pVB, m_dest / "VB\\Joust.vbp", FILE_PROGRAM_ITEM);
    Installed(m_top.pApp, m_dest / "MAPSMITH.EXE", FILE_PROGRAM_ITEM | FILE_REGISTER);
    Installed(m_top.pApp, m_dest / "readme.txt", FILE_PROGRAM_ITEM);
    Installed(m_top.pApp, m_dest / "Tilewrig.hlp", FILE_PROGRAM_ITEM);
    Installed(m_top.pApp, m_dest / "helper.dll", FILE_SHARED);

    ASSERT_TRUE(m_mngr.CreateProgramFolder()) << "error " << GetLastError();

    EXPECT_TRUE(IsDirectory(GroupDir())) << "the group's folder was not made";
    EXPECT_EQ(m_dest / "MAPSMITH.EXE", LinkTarget(GroupDir() + "\\Mapsmith.lnk"));
    EXPECT_EQ(m_dest / "readme.txt", LinkTarget(GroupDir() + "\\readme.lnk"));
    EXPECT_EQ(m_dest / "Tilewrig.hlp", LinkTarget(GroupDir() + "\\Tilewright ActiveX Help.lnk"));
    EXPECT_EQ(m_dest / "VB\\Joust.vbp", LinkTarget(GroupDir() + "\\Joust - VB.lnk"))
        << "files below subdirectories get items too";
    std::map<std::string, std::string> entries = SnapshotTree(GroupDir());
    EXPECT_EQ(4u, entries.size()) << "an unmarked file got an item, or an item is missing";
}

TEST_F(ProgramFolder, TreeWithoutMarkedFilesMakesAnEmptyGroup)
{
    CDesktopHelpers helpers;
    Installed(m_top.pApp, m_dest / "Mapsmith.exe", FILE_REGISTER);
    ASSERT_TRUE(m_mngr.CreateProgramFolder()) << "error " << GetLastError();
    EXPECT_TRUE(IsDirectory(GroupDir())) << "the group's folder was not made";
    EXPECT_TRUE(SnapshotTree(GroupDir()).empty()) << "the group should be empty";
}

// A failed run takes back the items it added, and the group only when it
// made it and nothing else is in it; what was there before stays.
TEST_F(ProgramFolder, RollbackTakesBackOnlyWhatTheRunAdded)
{
    CDesktopHelpers helpers;
    Installed(m_top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM);
    Installed(m_top.pApp, m_dest / "readme.txt", FILE_PROGRAM_ITEM);
    ASSERT_TRUE(m_mngr.CreateProgramFolder()) << "error " << GetLastError();
    ASSERT_TRUE(Exists(GroupDir() + "\\readme.lnk"));
    m_mngr.Rollback();
    EXPECT_FALSE(Exists(GroupDir())) << "the group this run made was left";

    // Another product's item, and an item of an earlier installation.
    CSetupMngr earlier;
    earlier.m_strProgramFolder = GROUP;
    CTopDirs top = AddTopDirs(earlier);
    Installed(top.pApp, m_dest / "Other Tool.exe", FILE_PROGRAM_ITEM);
    Installed(top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM);
    ASSERT_TRUE(earlier.CreateProgramFolder()) << "error " << GetLastError();
    std::map<std::string, std::string> before = SnapshotTree(GroupDir());
    ASSERT_EQ(2u, before.size());
    CSetupMngr run;
    run.m_strProgramFolder = GROUP;
    top = AddTopDirs(run);
    Installed(top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM);
    Installed(top.pApp, m_dest / "readme.txt", FILE_PROGRAM_ITEM);
    ASSERT_TRUE(run.CreateProgramFolder()) << "error " << GetLastError();
    ASSERT_TRUE(Exists(GroupDir() + "\\readme.lnk"));
    run.Rollback();
    EXPECT_EQ(before, SnapshotTree(GroupDir())) << "the group is not as the run found it";
}

TEST_F(ProgramFolder, FolderNameTheCommandCannotCarryIsRefused)
{
    Installed(m_top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM);
    m_mngr.m_strProgramFolder = "Tilewright (Tools)";
    SetLastError(0);
    EXPECT_FALSE(m_mngr.CreateProgramFolder());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_FALSE(Exists(m_strPrograms + "\\Tilewright (Tools)"));
    EXPECT_FALSE(Exists(m_strPrograms + "\\Tilewright "));
}

}
