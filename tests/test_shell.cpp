// The real Setup.exe under Wine, started from media of the test's own: the
// single running copy, the status box, the loader's messages and the final
// message box, driven like a user would.
#include "ChildProcess.h"
#include "TestMedium.h"
#include "TestPaths.h"

#include "tools/guidriver/GuiDriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

const DWORD WAIT_MS = 30000;
const char MISSING[] = "Can't find the install-informations. The Setup will be cancelled.";
const char INVALID[] = "There are errors in the install-informations. The Setup will be cancelled.";

// A folder holding a copy of Setup.exe and whatever the case puts beside it.
class CMedium {
public:
    explicit CMedium(const char* pszName)
    {
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        m_dir = std::string(szTemp) + "shell-" + pszName;
        CreateDirectoryA(m_dir.c_str(), nullptr);
        DeleteFileA(Path("Setup.dat").c_str());
        DeleteFileA(Path("Data.dat").c_str());
        CopyFileA(BuildPath("app\\Setup.exe").c_str(), Path("Setup.exe").c_str(), FALSE);
    }
    ~CMedium()
    {
        for (const char* pszFile : {"Setup.exe", "Setup.dat", "Data.dat"})
            DeleteFileA(Path(pszFile).c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    std::string Path(const char* pszFile) const { return m_dir + "\\" + pszFile; }

    void WriteGood()
    {
        CInstallMngr info;
        MakeMinimalInfo(info, "Tilewright");
        WriteInfo(info, Path("Setup.dat"));
        WriteEmptyVolume(Path("Data.dat"));
    }

private:
    std::string m_dir;
};

struct CSetupRun {
    CChildProcess process;
    HWND hFinalBox = nullptr;

    bool Start(const CMedium& medium) { return process.Start(medium.Path("Setup.exe")); }
    bool StartAndWaitForBox(const CMedium& medium)
    {
        if (!Start(medium))
            return false;
        hFinalBox = WaitForMessageBox(process.Id(), "Setup", WAIT_MS);
        return hFinalBox != nullptr;
    }
    long CloseBoxAndWait()
    {
        PressButton(hFinalBox, IDOK);
        return process.WaitForExit(WAIT_MS);
    }
};

HWND FindWindowWithStatus(DWORD dwProcessId, const char* pszText)
{
    for (HWND hWnd : ListTopWindows(dwProcessId))
        if (GetControlText(hWnd, 1005) == pszText)
            return hWnd;
    return nullptr;
}

bool BackdropShown(DWORD dwProcessId)
{
    for (HWND hWnd : ListTopWindows(dwProcessId))
        if (GetWindowTextString(hWnd) == "Tilewright Setup")
            return true;
    return false;
}

void ExpectCentredOnScreen(HWND hWnd)
{
    RECT rcBox, rcWork;
    GetWindowRect(hWnd, &rcBox);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    EXPECT_NEAR((rcWork.left + rcWork.right) / 2, (rcBox.left + rcBox.right) / 2, 1) << "not centred horizontally";
    EXPECT_NEAR((rcWork.top + rcWork.bottom) / 2, (rcBox.top + rcBox.bottom) / 2, 1) << "not centred vertically";
}

TEST(Shell, LoadFailuresEndWithTheirMessageOverTheStatusBox)
{
    struct Case {
        const char* pszName;
        void (*prepare)(CMedium&);
        const char* pszMessage;
    } cases[] = {
        {"nothing", [](CMedium&) {}, MISSING},
        {"nodata", [](CMedium& m) { m.WriteGood(); DeleteFileA(m.Path("Data.dat").c_str()); }, MISSING},
        {"badheader",
         [](CMedium& m) {
             m.WriteGood();
             std::vector<BYTE> bytes = ReadBytes(m.Path("Setup.dat"));
             bytes[3] = 0x04;
             WriteBytes(m.Path("Setup.dat"), bytes);
         },
         INVALID},
        {"truncated",
         [](CMedium& m) {
             m.WriteGood();
             std::vector<BYTE> bytes = ReadBytes(m.Path("Setup.dat"));
             bytes.resize(36);
             WriteBytes(m.Path("Setup.dat"), bytes);
         },
         INVALID},
    };
    for (const Case& c : cases) {
        CMedium medium(c.pszName);
        c.prepare(medium);
        CSetupRun run;
        ASSERT_TRUE(run.StartAndWaitForBox(medium)) << c.pszName << ": no final message box";
        EXPECT_EQ(std::string(c.pszMessage), std::string(GetMessageBoxText(run.hFinalBox))) << c.pszName;
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), GetMessageBoxIcon(run.hFinalBox)) << c.pszName;
        HWND hStatus = FindWindowWithStatus(run.process.Id(), "Initializing Setup...");
        ASSERT_NE(nullptr, hStatus) << c.pszName << ": the status box should stay behind the final box";
        ExpectCentredOnScreen(hStatus);
        EXPECT_FALSE(BackdropShown(run.process.Id())) << c.pszName << ": no backdrop when loading failed";
        EXPECT_EQ(0, run.CloseBoxAndWait()) << c.pszName << ": exit code";
    }
}

// Cancels the wizard if it is shown: Cancel, then Yes in the quit question.
void CancelWizardIfShown(DWORD dwProcessId)
{
    WindowQuery query;
    query.dwProcessId = dwProcessId;
    query.pszTitle = "Welcome";
    HWND hSheet = WaitForTopWindow(query, 3000);
    if (!hSheet)
        return;
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    HWND hQuestion = WaitForMessageBox(dwProcessId, "Setup", WAIT_MS);
    ASSERT_NE(nullptr, hQuestion) << "cancelling the wizard should ask first";
    EXPECT_EQ("Do you really want to quit Setup ?", std::string(GetMessageBoxText(hQuestion)));
    PressButton(hQuestion, IDYES);
    WaitForWindowGone(hQuestion, WAIT_MS);
}

TEST(Shell, GoodMediumRemovesTheStatusBoxAndShowsTheBackdrop)
{
    CMedium medium("good");
    medium.WriteGood();
    CSetupRun run;
    ASSERT_TRUE(run.Start(medium));
    WindowQuery backdrop;
    backdrop.dwProcessId = run.process.Id();
    backdrop.pszTitle = "Tilewright Setup";
    ASSERT_NE(nullptr, WaitForTopWindow(backdrop, WAIT_MS)) << "the backdrop was not shown";
    EXPECT_EQ(nullptr, FindWindowWithStatus(run.process.Id(), "Initializing Setup..."))
        << "the status box should be gone once loading succeeded";
    CancelWizardIfShown(run.process.Id());
    run.hFinalBox = WaitForMessageBox(run.process.Id(), "Setup", WAIT_MS);
    ASSERT_NE(nullptr, run.hFinalBox);
    EXPECT_EQ("The Setup was not finished completely.", std::string(GetMessageBoxText(run.hFinalBox)));
    EXPECT_EQ(static_cast<UINT>(MB_ICONASTERISK), GetMessageBoxIcon(run.hFinalBox));
    EXPECT_EQ(0, run.CloseBoxAndWait());
}

TEST(Shell, SecondCopyBringsTheFirstToTheFrontAndExitsZero)
{
    CMedium medium("twice");
    CSetupRun first;
    ASSERT_TRUE(first.StartAndWaitForBox(medium)) << "the first copy showed no message box";

    CChildProcess second;
    ASSERT_TRUE(second.Start(medium.Path("Setup.exe")));
    EXPECT_EQ(0, second.WaitForExit(WAIT_MS)) << "the second copy should end at once with exit code 0";
    EXPECT_TRUE(ListTopWindows(second.Id()).empty()) << "the second copy showed a window";

    HWND hForeground = GetForegroundWindow();
    DWORD dwForegroundPid = 0;
    GetWindowThreadProcessId(hForeground, &dwForegroundPid);
    EXPECT_EQ(first.process.Id(), dwForegroundPid) << "the first copy should be in front";
    EXPECT_EQ(first.hFinalBox, hForeground) << "the first copy's message box should be the foreground window";
    EXPECT_EQ(0, first.CloseBoxAndWait());
}

}  // namespace
