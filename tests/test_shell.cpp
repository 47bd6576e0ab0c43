// The real Setup.exe under Wine: the single running copy, the status box
// and the final message box, driven like a user would.
#include "ChildProcess.h"
#include "TestPaths.h"

#include "tools/guidriver/GuiDriver.h"

#include <gtest/gtest.h>

namespace {

const DWORD WAIT_MS = 30000;

std::string SetupExe()
{
    return BuildPath("app\\Setup.exe");
}

// Setup started where it finds no install information.
struct CSetupRun {
    CChildProcess process;
    HWND hFinalBox = nullptr;

    bool StartAndWaitForFinalBox()
    {
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        if (!process.Start(SetupExe(), "", szTemp))
            return false;
        hFinalBox = WaitForMessageBox(process.Id(), "Setup", WAIT_MS);
        return hFinalBox != nullptr;
    }
};

HWND FindStatusBox(DWORD dwProcessId)
{
    for (HWND hWnd : ListTopWindows(dwProcessId))
        if (GetControlText(hWnd, 1005) == "Initializing Setup...")
            return hWnd;
    return nullptr;
}

TEST(Shell, LoadFailureShowsStopBoxOverTheStatusBoxAndExitsZero)
{
    CSetupRun run;
    ASSERT_TRUE(run.StartAndWaitForFinalBox()) << "no final message box appeared";
    EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), GetMessageBoxIcon(run.hFinalBox));

    HWND hStatus = FindStatusBox(run.process.Id());
    ASSERT_NE(nullptr, hStatus) << "the status box should stay up behind the final box";
    RECT rcBox, rcWork;
    GetWindowRect(hStatus, &rcBox);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    int dx = (rcBox.left + rcBox.right) / 2 - (rcWork.left + rcWork.right) / 2;
    int dy = (rcBox.top + rcBox.bottom) / 2 - (rcWork.top + rcWork.bottom) / 2;
    EXPECT_LE(abs(dx), 1) << "status box not centred horizontally";
    EXPECT_LE(abs(dy), 1) << "status box not centred vertically";

    for (HWND hWnd : ListTopWindows(run.process.Id()))
        EXPECT_FALSE(GetWindowTextString(hWnd).Find(" Setup") > 0 && GetControlText(hWnd, 1005).IsEmpty() &&
                     hWnd != run.hFinalBox && hWnd != hStatus)
            << "the backdrop must not be shown when loading failed";

    ASSERT_TRUE(PressButton(run.hFinalBox, IDOK));
    EXPECT_EQ(0, run.process.WaitForExit(WAIT_MS)) << "Setup should end with exit code 0";
}

TEST(Shell, SecondCopyBringsTheFirstToTheFrontAndExitsZero)
{
    CSetupRun first;
    ASSERT_TRUE(first.StartAndWaitForFinalBox()) << "the first copy showed no message box";

    CChildProcess second;
    ASSERT_TRUE(second.Start(SetupExe()));
    EXPECT_EQ(0, second.WaitForExit(WAIT_MS)) << "the second copy should end at once with exit code 0";
    EXPECT_TRUE(ListTopWindows(second.Id()).empty()) << "the second copy showed a window";

    HWND hForeground = GetForegroundWindow();
    DWORD dwForegroundPid = 0;
    GetWindowThreadProcessId(hForeground, &dwForegroundPid);
    EXPECT_EQ(first.process.Id(), dwForegroundPid) << "the first copy should be in front";
    EXPECT_EQ(first.hFinalBox, hForeground) << "the first copy's message box should be the foreground window";

    ASSERT_TRUE(PressButton(first.hFinalBox, IDOK));
    EXPECT_EQ(0, first.process.WaitForExit(WAIT_MS));
}

}  // namespace
