// Loading the install information at start, in this very program: the
// loader looks for "\Setup.dat" and "\Data.dat" beside the running program,
// so each case writes them beside this test program and removes them after.
#include "TestMedium.h"
#include "TestPaths.h"

#include "engine/SetupMngr.h"
#include "platform/FileUtil.h"
#include "platform/Progman.h"

#include <gtest/gtest.h>

namespace {

class Loader : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = BuildPath("tests");
        m_setupDat = m_dir + "\\Setup.dat";
        m_dataDat = m_dir + "\\Data.dat";
    }
    void TearDown() override
    {
        DeleteFileA(m_setupDat.c_str());
        DeleteFileA(m_dataDat.c_str());
        SetProgmanService(nullptr);
    }

    void WriteGoodMedium()
    {
        CInstallMngr info;
        MakeMinimalInfo(info, "Tilewright");
        info.m_ident[4] = 0x42;
        WriteInfo(info, m_setupDat);
        WriteEmptyVolume(m_dataDat);
    }

    // The minimal medium with one folder or one file of the given name in
    // the application directory.
    void WriteMediumWithName(const char* pszName, bool bFolder)
    {
        CInstallMngr info;
        MakeMinimalInfo(info, "Tilewright");
        CDirNode* pApp = info.m_root.children.GetAt(info.m_root.children.GetHeadPosition());
        if (bFolder) {
            CDirNode* pChild = new CDirNode(pApp);
            pChild->dir = new CInstallDir;
            pChild->dir->SetPath(pszName);
            pApp->children.AddTail(pChild);
        } else {
            CInstalledFile* pFile = new CInstalledFile;
            pFile->SetPath(pszName);
            pApp->files.AddTail(pFile);
        }
        WriteInfo(info, m_setupDat);
        WriteEmptyVolume(m_dataDat);
    }

    DWORD LoadFails()
    {
        CSetupMngr engine;
        if (engine.LoadInstallInfo(nullptr))
            return 0;
        return GetLastError();
    }

    std::string m_dir, m_setupDat, m_dataDat;
};

TEST_F(Loader, FillsDirectoriesDrivesAndGroups)
{
    WriteGoodMedium();
    CSetupMngr engine;
    ASSERT_TRUE(engine.LoadInstallInfo(nullptr)) << "error " << std::hex << GetLastError();

    EXPECT_STREQ(m_dir.c_str(), engine.m_strSourceDir);
    char szWin[MAX_PATH], szSys[MAX_PATH];
    GetWindowsDirectoryA(szWin, MAX_PATH);
    GetSystemDirectoryA(szSys, MAX_PATH);
    EXPECT_STREQ(szWin, engine.m_strWindowsDir);
    EXPECT_STREQ(szSys, engine.m_strSystemDir);
    EXPECT_EQ(DriveLetterToNumber(szWin[0]), engine.m_nWinDrive);

    ASSERT_GE(engine.m_drives.GetSize(), 2) << "the prefix has the fixed drives C: and Z:";
    EXPECT_EQ(3, engine.m_drives[0]) << "A: and B: are never offered; C: comes first";
    EXPECT_EQ(26, engine.m_drives[engine.m_drives.GetSize() - 1]);
    EXPECT_EQ(0, engine.m_nCurDrive);

    EXPECT_STREQ("Tilewright", engine.m_strProductName);
    EXPECT_STREQ("\\Tilewright", engine.m_strDestDir);
    EXPECT_STREQ("Read me first.\r\nSecond line.", engine.m_pszReadMe);
    EXPECT_STREQ("Mapsmith.exe", engine.m_strMainExe);
    EXPECT_STREQ("tlr", engine.m_strDocExt);
    EXPECT_EQ(0x42, engine.m_ident[4]);
    EXPECT_FALSE(engine.m_groups.IsEmpty()) << "Program Manager's groups were not collected";
}

TEST_F(Loader, MissingFilesAreReportedAsMissing)
{
    EXPECT_EQ(SETUP_E_INFO_MISSING, LoadFails()) << "neither file present";
    WriteGoodMedium();
    DeleteFileA(m_dataDat.c_str());
    EXPECT_EQ(SETUP_E_INFO_MISSING, LoadFails()) << "Data.dat missing";
    WriteGoodMedium();
    DeleteFileA(m_setupDat.c_str());
    EXPECT_EQ(SETUP_E_INFO_MISSING, LoadFails()) << "Setup.dat missing";
}

TEST_F(Loader, BadTruncatedAndIncompleteInformationIsInvalid)
{
    WriteGoodMedium();
    std::vector<BYTE> good = ReadBytes(m_setupDat);

    std::vector<BYTE> badMagic = good;
    badMagic[0] = 0x24;
    WriteBytes(m_setupDat, badMagic);
    EXPECT_EQ(SETUP_E_INFO_INVALID, LoadFails()) << "first bytes other than 23 75 04 03";

    WriteBytes(m_setupDat, std::vector<BYTE>(good.begin(), good.begin() + 40));
    EXPECT_EQ(SETUP_E_INFO_INVALID, LoadFails()) << "an archive cut off inside the tree";

    WriteBytes(m_setupDat, {});
    EXPECT_EQ(SETUP_E_INFO_INVALID, LoadFails()) << "an empty Setup.dat";

    CInstallMngr noDirs;
    MakeMinimalInfo(noDirs, "Tilewright");
    noDirs.ClearTree();
    noDirs.m_root.children.AddTail(new CDirNode(&noDirs.m_root));
    WriteInfo(noDirs, m_setupDat);
    EXPECT_EQ(SETUP_E_INFO_INVALID, LoadFails()) << "a tree without the two top-level directories";
}

TEST_F(Loader, HostileCountsFailCleanly)
{
    WriteGoodMedium();
    std::vector<BYTE> bytes = ReadBytes(m_setupDat);
    // The root's child count follows the header (12), the identification
    // block (16) and the root's presence byte.
    bytes[29] = 0xFF;
    bytes[30] = 0xFF;
    bytes[31] = 0xFF;
    bytes[32] = 0x7F;
    WriteBytes(m_setupDat, bytes);
    EXPECT_EQ(SETUP_E_INFO_INVALID, LoadFails());
}

// A name from the medium is joined to a path on the machine: one that
// leaves its folder, names a drive or opens a device makes the whole
// information invalid, whether it names a folder or a file.
TEST_F(Loader, NamesOutsideTheirFolderOrOfDevicesAreInvalid)
{
    for (const char* pszName : {"", ".", "..", "..\\Windows", "C:evil.dll", "sub/evil.dll", "CON", "nul", "con.txt",
                                "Com1.dat", "lpt9", "Aux .ini", "PRN.tar.gz"})
        for (bool bFolder : {true, false}) {
            WriteMediumWithName(pszName, bFolder);
            EXPECT_EQ(SETUP_E_INFO_INVALID, LoadFails()) << (bFolder ? "folder" : "file") << " \"" << pszName << "\"";
        }
    for (const char* pszName : {"Console.txt", "COM10", "Com0.dat", "nullable.dll", "LPT1x", "notes.con", "..data"}) {
        WriteMediumWithName(pszName, false);
        EXPECT_EQ(0u, LoadFails()) << "a plain file name \"" << pszName << "\" was refused";
    }
}

// A run that makes its links itself does not ask: it loads where no
// Program Manager answers, and lists no groups.
TEST_F(Loader, NoAnswerFromProgramManagerFailsWithGroups)
{
    WriteGoodMedium();
    SetProgmanService("NoSuchProgramManager");
    EXPECT_EQ(SETUP_E_GROUPS, LoadFails());
    CSetupMngr engine;
    engine.m_bCommonLinks = TRUE;
    EXPECT_TRUE(engine.LoadInstallInfo(nullptr)) << "a run without Program Manager, error " << std::hex
                                                 << GetLastError();
    EXPECT_EQ(0, engine.m_groups.GetSize()) << "groups of no Program Manager";
}

}  // namespace
