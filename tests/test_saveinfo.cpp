// Saving the install information as "\Setup.inf": read back with the
// archive reader it is the information the run ended with; an earlier,
// read-only copy is replaced; a save that cannot be completed is reported
// through the engine's file-error path, leaves the earlier copy as it was
// and leaves no temporary file behind.
#include "EngineTestKit.h"

#include "framework/CWinApp.h"
#include "tools/guidriver/GuiDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>

namespace {

using namespace kit;

// Gives the engine's message boxes their caption "Setup".
class CTestApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
} theTestApp;

const DWORD BOX_WAIT_MS = 10000;
// How long a case that expects no box looks for one.
const DWORD SHORT_WAIT_MS = 1000;
const BYTE IDENT[16] = {0x10, 0x11, 0x12, 0x13, 0x54, 0x49, 0x4C, 0x45,
                        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F};

struct CSeenBox {
    bool bFound = false;
    std::string strText;
    UINT nIcon = 0;
};

// Answers the next message box of this process with OK.
std::future<CSeenBox> AnswerBox(DWORD dwWaitMs)
{
    return std::async(std::launch::async, [dwWaitMs]() {
        CSeenBox box;
        HWND hBox = WaitForMessageBox(GetCurrentProcessId(), "Setup", dwWaitMs);
        if (hBox) {
            box.bFound = true;
            box.strText = static_cast<const char*>(GetMessageBoxText(hBox));
            box.nIcon = GetMessageBoxIcon(hBox);
            PressButton(hBox, IDOK);
            WaitForWindowGone(hBox, BOX_WAIT_MS);
        }
        return box;
    });
}

// The tree and fields as text, every stored field of every record.
std::string Describe(const CDirNode& node)
{
    std::string s = node.dir ? "[" + std::string(node.dir->m_strPath) + "]{" : "[-]{";
    for (POSITION pos = node.children.GetHeadPosition(); pos;)
        s += Describe(*node.children.GetNext(pos));
    for (POSITION pos = node.files.GetHeadPosition(); pos;) {
        const CInstalledFile* pFile = node.files.GetNext(pos);
        s += "(" + std::string(pFile->m_strPath) + " f" + std::to_string(pFile->m_dwFlags) + " s"
             + std::to_string(pFile->m_dwSize) + " v" + std::to_string(pFile->m_version.dwProductVersionMS)
             + "." + std::to_string(pFile->m_version.dwProductVersionLS) + ")";
    }
    return s + "}";
}

std::string Describe(const CInstallMngr& info)
{
    return Describe(info.m_root) + " disk" + std::to_string(info.m_nDiskType) + " extra"
           + std::to_string(info.m_wExtra) + " bytes" + std::to_string(info.m_dwAppBytes) + ","
           + std::to_string(info.m_dwSysBytes) + "," + std::to_string(info.m_dwSpare) + ","
           + std::to_string(info.m_dwOtherBytes) + "," + std::to_string(info.m_dwReserveBytes)
           + " dest=" + std::string(info.m_strDestDir) + " product=" + std::string(info.m_strProductName)
           + " folder=" + std::string(info.m_strProgramFolder) + " title=" + std::string(info.m_strTitle)
           + " readme=" + std::to_string(info.m_nReadMeLen);
}

// Reads a saved "\Setup.inf" with the archive reader; false when it fails.
bool ReadBack(const std::string& strPath, CInstallMngr& info)
{
    try {
        CFile file;
        file.Open(strPath.c_str(), CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        if (!info.ReadHeader(ar))
            return false;
        info.Serialize(ar);
        ar.Close();
        file.Close();
        return true;
    } catch (CException&) {
        return false;
    }
}

// The "Fil" temporary files in a directory.
std::vector<std::string> TempFiles(const std::string& strDir)
{
    std::vector<std::string> names;
    for (const auto& entry : SnapshotTree(strDir))
        if (entry.first.compare(0, 3, "Fil") == 0)
            names.push_back(entry.first);
    return names;
}

class SaveInfo : public ::testing::Test {
protected:
    SaveInfo() : m_dest("Tilewright SaveInfo") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_dest.IsMade());
        Calls().clear();
        m_mngr.m_pfnCallback = RecordingCallback;
        memcpy(m_mngr.m_ident, IDENT, sizeof IDENT);
        m_mngr.m_strDestDir = m_dest.Path().c_str();
        m_mngr.m_strProductName = "Tilewright 2.0";
        m_mngr.m_strProgramFolder = "Tilewright Tools";
        m_mngr.m_strTitle = "Welcome to Tilewright";
        m_mngr.m_nDiskType = 1;
        m_mngr.m_wExtra = 7;
        m_mngr.m_dwAppBytes = 1000;
        m_mngr.m_dwSysBytes = 200;
        m_mngr.m_dwOtherBytes = 30;
        m_mngr.m_dwReserveBytes = 4;
        CTopDirs top = AddTopDirs(m_mngr);
        CDirNode* pVB = AddDir(top.pApp, "VB");
        AddFile(AddDir(pVB, "Joust"), m_dest / "VB\\Joust\\Joust.vbp", FILE_PROGRAM_ITEM, 120);
        AddDir(top.pApp, "Empty");
        CInstalledFile* pMain = AddFile(top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM, 5000);
        pMain->m_version.dwProductVersionMS = 0x00020000;
        pMain->m_version.dwProductVersionLS = 0x00000003;
        AddFile(top.pSys, "C:\\windows\\system32\\tilew32.ocx", FILE_REGISTER | FILE_SHARED, 900);
        m_mngr.SetReadMeText("Read me first.");
        // The sequence drops the read-me text before saving.
        m_mngr.SetReadMeText(nullptr);
    }

    std::string Target() const { return m_dest / "Setup.inf"; }

    void ExpectSavedAsTheRunEnded()
    {
        CInstallMngr saved;
        ASSERT_TRUE(ReadBack(Target(), saved)) << "the saved file does not read back";
        EXPECT_EQ(0, memcmp(IDENT, saved.m_ident, sizeof IDENT)) << "the identification block differs";
        EXPECT_EQ(Describe(m_mngr), Describe(saved));
        EXPECT_EQ(nullptr, saved.m_pszReadMe) << "no read-me text is saved";
    }

    CScratchDir m_dest;
    CSetupMngr m_mngr;
};

TEST_F(SaveInfo, SavedInformationReadsBackAsTheRunEndedWithIt)
{
    ASSERT_TRUE(m_mngr.SaveInstallInfo()) << "error " << GetLastError();
    ExpectSavedAsTheRunEnded();
    CInstallMngr saved;
    ASSERT_TRUE(ReadBack(Target(), saved));
    ASSERT_EQ(2, saved.m_root.children.GetCount());
    POSITION pos = saved.m_root.children.GetHeadPosition();
    const CDirNode* pApp = saved.m_root.children.GetNext(pos);
    const CDirNode* pSys = saved.m_root.children.GetNext(pos);
    EXPECT_STREQ("Applikation", pApp->dir->m_strPath);
    EXPECT_STREQ("WinSys", pSys->dir->m_strPath);
    ASSERT_EQ(1, pApp->files.GetCount());
    EXPECT_EQ(m_dest / "Mapsmith.exe", std::string(pApp->files.GetAt(pApp->files.GetHeadPosition())->m_strPath))
        << "each file is saved with its full installed path";
    EXPECT_STREQ(m_dest.Path().c_str(), saved.m_strDestDir);
    EXPECT_STREQ("Tilewright Tools", saved.m_strProgramFolder);
    EXPECT_TRUE(TempFiles(m_dest.Path()).empty()) << "a temporary file was left";
    EXPECT_TRUE(Calls().empty());
    EXPECT_FALSE(m_mngr.m_bRestartNeeded) << "nothing waits for a restart";
}

TEST_F(SaveInfo, ReadOnlyEarlierCopyIsReplacedWithoutQuestion)
{
    ASSERT_TRUE(WriteFileText(Target(), "an earlier installation"));
    ASSERT_TRUE(SetFileAttributesA(Target().c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(m_mngr.SaveInstallInfo()) << "error " << GetLastError();
    ExpectSavedAsTheRunEnded();
    EXPECT_TRUE(TempFiles(m_dest.Path()).empty());
    EXPECT_TRUE(Calls().empty()) << "nobody is asked";
}

// The saved information completes the run: what the run kept aside goes,
// and a kept file that cannot be deleted then is left to the next restart.
TEST_F(SaveInfo, KeptFilesGoWithTheSavedInformation)
{
    const std::string strPending = "System\\CurrentControlSet\\Control\\Session Manager";
    std::vector<std::string> kept;
    for (const char* pszName : {"Gone.dll", "Held.dll"}) {
        ASSERT_TRUE(WriteFileText(m_dest / pszName, "an earlier version"));
        ASSERT_TRUE(SetFileAttributesA((m_dest / pszName).c_str(), FILE_ATTRIBUTE_READONLY));
        kept.push_back(KeepAside(m_mngr, m_dest / pszName));
    }
    std::string strHeld = kept[1];
    HANDLE hHeld = CreateFileA(strHeld.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld) << "error " << GetLastError();
    BOOL bSaved = m_mngr.SaveInstallInfo();
    CloseHandle(hHeld);

    ASSERT_TRUE(bSaved) << "error " << GetLastError();
    EXPECT_TRUE(m_mngr.m_bRestartNeeded) << "a kept file left to the next restart makes the run wait for it";
    m_mngr.RunPostInstall();
    EXPECT_TRUE(m_mngr.m_journal.m_records.empty()) << "the journal outlived the complete run";
    std::vector<std::string> left = TempFiles(m_dest.Path());
    EXPECT_EQ(std::vector<std::string>{strHeld.substr(strHeld.rfind('\\') + 1)}, left)
        << "only the held kept file may be left";
    std::string strQueued = QueryValue(HKEY_LOCAL_MACHINE, strPending, "PendingFileRenameOperations").strData;
    EXPECT_NE(std::string::npos, strQueued.find(strHeld)) << "the held kept file is not queued for the next restart";
    DeleteFileA(strHeld.c_str());
    DeleteRegValue(HKEY_LOCAL_MACHINE, strPending.c_str(), "PendingFileRenameOperations");
}

TEST_F(SaveInfo, TargetHeldOpenKeepsTheEarlierCopy)
{
    ASSERT_TRUE(WriteFileText(Target(), "an earlier installation"));
    HANDLE hHeld = CreateFileA(Target().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hHeld);
    // The box is expected: waited for as long as a loaded machine may take
    // to show it, as one left unanswered would hold the save for ever.
    auto answer = AnswerBox(BOX_WAIT_MS);
    BOOL bSaved = m_mngr.SaveInstallInfo();
    CSeenBox box = answer.get();
    CloseHandle(hHeld);

    EXPECT_FALSE(bSaved);
    // A file held without sharing cannot be moved aside: it is in use.
    EXPECT_TRUE(box.bFound) << "the file in use was not reported";
    EXPECT_EQ("Can't access to the file " + Target() +
                  ".\r\nIt is used by Windows.\r\nClose all Windows-applications and restart the Setup.",
              box.strText);
    EXPECT_TRUE(Calls().empty()) << "reported twice";
    EXPECT_EQ("an earlier installation", ReadFileText(Target())) << "the earlier copy was lost";
    EXPECT_TRUE(TempFiles(m_dest.Path()).empty()) << "a temporary file was left";
}

TEST_F(SaveInfo, TargetThatIsADirectoryIsRefused)
{
    ASSERT_TRUE(CreateDirectoryA(Target().c_str(), nullptr));
    ASSERT_TRUE(WriteFileText(Target() + "\\inside.txt", "kept"));
    auto answer = AnswerBox(SHORT_WAIT_MS);
    BOOL bSaved = m_mngr.SaveInstallInfo();
    CSeenBox box = answer.get();

    EXPECT_FALSE(bSaved);
    EXPECT_FALSE(box.bFound) << "unexpected box: " << box.strText;
    ASSERT_EQ(1u, Calls().size()) << "the refused move was not reported once";
    EXPECT_EQ(SCBE_FILEINUSE, Calls()[0].nArg) << "a move over a directory is access denied";
    EXPECT_EQ(Target(), Calls()[0].strText);
    EXPECT_TRUE(IsDirectory(Target()));
    EXPECT_EQ("kept", ReadFileText(Target() + "\\inside.txt"));
    EXPECT_TRUE(TempFiles(m_dest.Path()).empty()) << "a temporary file was left";
}

TEST_F(SaveInfo, MissingDestinationIsReported)
{
    std::string strMissing = m_dest / "not there";
    m_mngr.m_strDestDir = strMissing.c_str();
    auto answer = AnswerBox(SHORT_WAIT_MS);
    BOOL bSaved = m_mngr.SaveInstallInfo();
    CSeenBox box = answer.get();

    EXPECT_FALSE(bSaved);
    EXPECT_FALSE(box.bFound) << "unexpected box: " << box.strText;
    // No temporary file can be made there; Wine's code for that is not one
    // of the causes with a message of their own.
    ASSERT_EQ(1u, Calls().size()) << "the failure was not reported once";
    EXPECT_EQ(SCB_ERROR, Calls()[0].nType);
    EXPECT_EQ(SCBE_GENERAL, Calls()[0].nArg);
    EXPECT_FALSE(Exists(strMissing)) << "nothing may be created";
    EXPECT_TRUE(TempFiles(m_dest.Path()).empty());
}

}
