// The shell's dialogs and its answers to the engine, on the real windows:
// a driver thread of this process finds each box, reads it and presses a
// button by posting its command, as a user would.
#include "framework/CWinApp.h"
#include "tools/guidriver/GuiDriver.h"
#include "ui/ProgressDlg.h"
#include "ui/ReadOnlyDlg.h"
#include "ui/SetupCallback.h"
#include "ui/SetupHost.h"
#include "ui/SetupLog.h"
#include "ui/StatusDlg.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <future>
#include <string>
#include <vector>

namespace {

class CTestApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
} theTestApp;

const DWORD BOX_WAIT_MS = 10000;

struct SeenBox {
    std::string text;
    UINT nIcon = 0;
    bool bFound = false;
};

// Answers the next message boxes of this process, in order.
std::future<std::vector<SeenBox>> AnswerBoxes(std::vector<int> buttons)
{
    return std::async(std::launch::async, [buttons]() {
        std::vector<SeenBox> seen;
        for (int nButton : buttons) {
            SeenBox box;
            HWND hBox = WaitForMessageBox(GetCurrentProcessId(), "Setup", BOX_WAIT_MS);
            if (hBox) {
                box.bFound = true;
                box.text = static_cast<const char*>(GetMessageBoxText(hBox));
                box.nIcon = GetMessageBoxIcon(hBox);
                PressButton(hBox, nButton);
                WaitForWindowGone(hBox, BOX_WAIT_MS);
            }
            seen.push_back(box);
        }
        return seen;
    });
}

// No box may appear: the driver looks for one for a short while.
bool NoBoxAppears()
{
    return WaitForMessageBox(GetCurrentProcessId(), "Setup", 300) == nullptr;
}

class CTestHost : public ISetupHost {
public:
    CProgressDlg& GetProgressDlg() override { return progress; }
    int AskReadOnly(const CString& strPath) override { return readOnly.Ask(strPath); }

    CProgressDlg progress;
    CReadOnlyDlg readOnly;
};

class ShellDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        m_hOwner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, m_hOwner);
        g_pSetupDlg = &m_host;
    }
    void TearDown() override
    {
        m_host.progress.DestroyWindow();
        g_pSetupDlg = nullptr;
        DestroyWindow(m_hOwner);
    }

    HWND m_hOwner = nullptr;
    CTestHost m_host;
};

TEST_F(ShellDialogs, StatusBoxDisablesItsOwnerWhileItExists)
{
    CStatusDlg status;
    ASSERT_TRUE(status.Create(m_hOwner));
    EXPECT_FALSE(IsWindowEnabled(m_hOwner)) << "the owner should be disabled while the status box is up";
    EXPECT_TRUE(status.m_bParentDisabled);
    status.SetText("Updating system...");
    EXPECT_EQ("Updating system...", std::string(GetControlText(status.m_hWnd, IDC_STATUSTEXT)));
    RECT rcBox, rcOwner;
    GetWindowRect(status.m_hWnd, &rcBox);
    GetWindowRect(m_hOwner, &rcOwner);
    EXPECT_NEAR((rcOwner.left + rcOwner.right) / 2, (rcBox.left + rcBox.right) / 2, 1) << "not centred over its owner";
    EXPECT_NEAR((rcOwner.top + rcOwner.bottom) / 2, (rcBox.top + rcBox.bottom) / 2, 1);
    status.DestroyWindow();
    EXPECT_TRUE(IsWindowEnabled(m_hOwner)) << "destroying the box should enable the owner again";
    status.SetText("dropped");
}

TEST_F(ShellDialogs, StatusBoxLeavesADisabledOwnerDisabled)
{
    EnableWindow(m_hOwner, FALSE);
    CStatusDlg status;
    ASSERT_TRUE(status.Create(m_hOwner));
    EXPECT_FALSE(status.m_bParentDisabled);
    status.DestroyWindow();
    EXPECT_FALSE(IsWindowEnabled(m_hOwner)) << "an owner that was disabled before stays disabled";
}

TEST_F(ShellDialogs, ErrorSubCodesShowTheirMessagesWithTheStopIcon)
{
    CString strPath("C:\\Tilewright\\Mapsmith.exe");
    INT_PTR pPath = reinterpret_cast<INT_PTR>(&strPath);
    struct Case {
        INT_PTR nCode;
        INT_PTR pArg;
        const char* pszText;
    } cases[] = {
        {SCBE_GENERAL, 0, "An error has occurred. The Setup will be cancelled."},
        {SCBE_FILEINUSE, pPath,
         "Can't access to the file C:\\Tilewright\\Mapsmith.exe.\r\nIt is used by Windows.\r\n"
         "Close all Windows-applications and restart the Setup."},
        {SCBE_DISKFULL, 0x144, "There is not enough disk-space on drive D: The Setup will be cancelled."},
        {SCBE_CREATEDIR, pPath, "Can't create the directory C:\\Tilewright\\Mapsmith.exe. Setup will be cancelled."},
        {SCBE_DLLREGISTER, 0, "There has occurred an error during DLL-registration."},
    };
    for (const Case& c : cases) {
        auto answer = AnswerBoxes({IDOK});
        EXPECT_EQ(1, SetupCallback(SCB_ERROR, c.nCode, c.pArg));
        SeenBox box = answer.get()[0];
        ASSERT_TRUE(box.bFound) << "no box for sub-code " << c.nCode;
        EXPECT_EQ(std::string(c.pszText), box.text) << "sub-code " << c.nCode;
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), box.nIcon) << "sub-code " << c.nCode;
    }
}

TEST_F(ShellDialogs, ErrorsOfFullLengthPathsAreShownWhole)
{
    CString strPath = "C:\\";
    while (strPath.GetLength() < 259)
        strPath += "d";
    auto answer = AnswerBoxes({IDOK});
    SetupCallback(SCB_ERROR, SCBE_CREATEDIR, reinterpret_cast<INT_PTR>(&strPath));
    SeenBox box = answer.get()[0];
    EXPECT_NE(std::string::npos, box.text.find(static_cast<const char*>(strPath))) << "the path was cut";
}

TEST_F(ShellDialogs, UnknownRequestsAnswerOneSilently)
{
    EXPECT_EQ(1, SetupCallback(SCB_ERROR, 3, 0));
    EXPECT_EQ(1, SetupCallback(SCB_ERROR, 9, 0));
    EXPECT_EQ(1, SetupCallback(3, 0, 0));
    EXPECT_EQ(1, SetupCallback(-1, 0, 0));
    EXPECT_EQ(1, SetupCallback(7, 0, 0));
    EXPECT_EQ(1, SetupCallback(SCB_LOG, 0, 0)) << "a log line without text";
    EXPECT_TRUE(NoBoxAppears());
}

TEST_F(ShellDialogs, DiskPromptAsksForTheDiskAndDrive)
{
    auto answer = AnswerBoxes({IDOK, IDOK});
    EXPECT_EQ(1, SetupCallback(SCB_INSERTDISK, 0, 'A'));
    EXPECT_EQ(1, SetupCallback(SCB_INSERTDISK, 65536 + 2, 0x100 + 'D'));
    std::vector<SeenBox> seen = answer.get();
    EXPECT_EQ("Insert the disk 1 in A: !", seen[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), seen[0].nIcon);
    EXPECT_EQ("Insert the disk 3 in D: !", seen[1].text) << "only the low 16 bits count";
}

TEST_F(ShellDialogs, DiskPromptCancelAsksBeforeQuitting)
{
    auto stay = AnswerBoxes({IDCANCEL, IDNO});
    EXPECT_EQ(1, SetupCallback(SCB_INSERTDISK, 1, 'A')) << "Cancel then No asks for the disk again";
    std::vector<SeenBox> seen = stay.get();
    EXPECT_EQ("Do you really want to quit Setup ?", seen[1].text);
    auto quit = AnswerBoxes({IDCANCEL, IDYES});
    EXPECT_EQ(0, SetupCallback(SCB_INSERTDISK, 1, 'A')) << "Cancel then Yes quits";
    quit.get();
}

TEST_F(ShellDialogs, ProgressDialogFollowsTheEngine)
{
    CProgressDlg& dlg = m_host.progress;
    ASSERT_TRUE(dlg.Create(m_hOwner));
    EXPECT_FALSE(IsWindowEnabled(m_hOwner));
    HWND hBar = GetDlgItem(dlg.m_hWnd, IDC_PROGRESS);
    EXPECT_EQ(0, SendMessageA(hBar, PBM_GETPOS, 0, 0));
    EXPECT_EQ(100, SendMessageA(hBar, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ("Copying Files", std::string(GetWindowTextString(dlg.m_hWnd)));

    CString strName("Mapsmith.exe");
    EXPECT_EQ(1, SetupCallback(SCB_STATUSTEXT, reinterpret_cast<INT_PTR>(&strName), 0));
    Sleep(PUMP_INTERVAL_MS + 10);
    EXPECT_EQ(1, SetupCallback(SCB_PROGRESS, 42, 0));
    EXPECT_EQ("Mapsmith.exe", std::string(GetControlText(dlg.m_hWnd, IDC_STATUSTEXT)))
        << "the name is shown at the next look at the queue";
    EXPECT_EQ(42, SendMessageA(hBar, PBM_GETPOS, 0, 0));
    EXPECT_TRUE(NoBoxAppears());

    // Names given within one interval go on the screen as one; a box about
    // a file comes with that file's name shown.
    for (const char* pszName : {"a.tlr", "b.tlr", "Mapsmith.hlp"}) {
        CString strNext(pszName);
        EXPECT_EQ(1, SetupCallback(SCB_STATUSTEXT, reinterpret_cast<INT_PTR>(&strNext), 0));
    }
    CString strPath("C:\\Tilewright\\Mapsmith.hlp");
    auto answer = AnswerBoxes({IDOK});
    EXPECT_EQ(1, SetupCallback(SCB_ERROR, SCBE_FILEINUSE, reinterpret_cast<INT_PTR>(&strPath)));
    EXPECT_TRUE(answer.get()[0].bFound) << "no box for the file in use";
    EXPECT_EQ("Mapsmith.hlp", std::string(GetControlText(dlg.m_hWnd, IDC_STATUSTEXT)))
        << "the box must not come under another file's name";

    dlg.DestroyWindow();
    EXPECT_TRUE(IsWindowEnabled(m_hOwner));
}

TEST_F(ShellDialogs, CancelAsksOnceAndNoGoesOn)
{
    CProgressDlg& dlg = m_host.progress;
    ASSERT_TRUE(dlg.Create(m_hOwner));
    PressButton(dlg.m_hWnd, IDCANCEL);
    PressButton(dlg.m_hWnd, IDCANCEL);
    auto answer = AnswerBoxes({IDNO});
    EXPECT_EQ(1, SetupCallback(SCB_PROGRESS, 10, 0)) << "No goes on";
    std::vector<SeenBox> seen = answer.get();
    EXPECT_EQ("Do you really want to quit Setup ?", seen[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), seen[0].nIcon);
    EXPECT_EQ(10, SendMessageA(GetDlgItem(dlg.m_hWnd, IDC_PROGRESS), PBM_GETPOS, 0, 0))
        << "after No the same report still moves the bar";
    EXPECT_EQ(1, SetupCallback(SCB_PROGRESS, 20, 0));
    EXPECT_TRUE(NoBoxAppears()) << "two presses before one report ask only once";
}

TEST_F(ShellDialogs, CancelThenYesQuitsWithoutUpdating)
{
    CProgressDlg& dlg = m_host.progress;
    ASSERT_TRUE(dlg.Create(m_hOwner));
    CString strFirst("first.dat");
    CString strSecond("second.dat");
    SetupCallback(SCB_STATUSTEXT, reinterpret_cast<INT_PTR>(&strFirst), 0);
    SendMessageA(dlg.m_hWnd, WM_CLOSE, 0, 0);
    auto answer = AnswerBoxes({IDYES});
    // The close box's Cancel waits in the queue until the next look.
    Sleep(PUMP_INTERVAL_MS + 10);
    EXPECT_EQ(0, SetupCallback(SCB_STATUSTEXT, reinterpret_cast<INT_PTR>(&strSecond), 0));
    answer.get();
    EXPECT_EQ("first.dat", std::string(GetControlText(dlg.m_hWnd, IDC_STATUSTEXT)))
        << "the close box acts as Cancel, and Yes leaves the previous name";
}

// The read-only prompt, answered by a driver thread through its buttons.
std::future<std::string> AnswerPrompt(bool bTick, int nButton, std::vector<int> quitAnswers = {})
{
    return std::async(std::launch::async, [=]() {
        WindowQuery query;
        query.dwProcessId = GetCurrentProcessId();
        query.pszTitle = "Read-Only-File detected";
        HWND hPrompt = WaitForTopWindow(query, BOX_WAIT_MS);
        if (!hPrompt)
            return std::string("no prompt");
        std::string text = static_cast<const char*>(GetControlText(hPrompt, IDC_MESSAGE));
        if (bTick) {
            ClickButton(hPrompt, IDC_DONTSHOW);
            for (int i = 0; i < 100 && IsDlgButtonChecked(hPrompt, IDC_DONTSHOW) != BST_CHECKED; ++i)
                Sleep(20);
        }
        for (int nAnswer : quitAnswers) {
            PressButton(hPrompt, IDCANCEL);
            HWND hBox = WaitForMessageBox(GetCurrentProcessId(), "Setup", BOX_WAIT_MS);
            if (!hBox)
                return std::string("no quit question");
            PressButton(hBox, nAnswer);
            WaitForWindowGone(hBox, BOX_WAIT_MS);
        }
        if (nButton)
            PressButton(hPrompt, nButton);
        return text;
    });
}

TEST_F(ShellDialogs, ReadOnlyPromptShowsThePathAndItsThreeAnswers)
{
    CString strPath("C:\\Tilewright\\Mapsmith.hlp");
    INT_PTR pPath = reinterpret_cast<INT_PTR>(&strPath);
    auto yes = AnswerPrompt(false, IDOK);
    EXPECT_EQ(SCBR_OVERWRITE, SetupCallback(SCB_READONLY, pPath, 0));
    EXPECT_EQ("Setup has detected the Read-Only-File\r\nC:\\Tilewright\\Mapsmith.hlp.\r\nOverwrite this file ?", yes.get());
    auto no = AnswerPrompt(false, IDNO);
    EXPECT_EQ(SCBR_SKIP, SetupCallback(SCB_READONLY, pPath, 0));
    no.get();
    auto stay = AnswerPrompt(false, IDNO, {IDNO});
    EXPECT_EQ(SCBR_SKIP, SetupCallback(SCB_READONLY, pPath, 0)) << "Cancel, No keeps the prompt open";
    stay.get();
    auto quit = AnswerPrompt(false, 0, {IDYES});
    EXPECT_EQ(SCBR_QUIT, SetupCallback(SCB_READONLY, pPath, 0));
    quit.get();
}

TEST_F(ShellDialogs, TickedYesOverwritesTheRestWithoutAsking)
{
    CString strPath("C:\\a.txt");
    auto tick = AnswerPrompt(true, IDOK);
    EXPECT_EQ(SCBR_OVERWRITE, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0));
    tick.get();
    EXPECT_EQ(SCBR_OVERWRITE, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0));
    EXPECT_EQ(SCBR_OVERWRITE, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0));
}

TEST_F(ShellDialogs, TickedNoKeepsTheRestWithoutAsking)
{
    CString strPath("C:\\a.txt");
    auto tick = AnswerPrompt(true, IDNO);
    EXPECT_EQ(SCBR_SKIP, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0));
    tick.get();
    EXPECT_EQ(SCBR_SKIP, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0))
        << "the user refused overwriting: later read-only files are kept, not overwritten";
}

TEST_F(ShellDialogs, TickedCancelNoThenNoStillRemembersNo)
{
    CString strPath("C:\\a.txt");
    auto tick = AnswerPrompt(true, IDNO, {IDNO});
    EXPECT_EQ(SCBR_SKIP, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0));
    tick.get();
    EXPECT_EQ(SCBR_SKIP, SetupCallback(SCB_READONLY, reinterpret_cast<INT_PTR>(&strPath), 0));
}

// A message with line breaks (a box's text) stays one line of the log,
// starting with its time, so that every line can be read on its own.
TEST(SetupLogLines, AMessageWithLineBreaksStaysOneLine)
{
    char szTemp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, szTemp));
    std::string path = std::string(szTemp) + "setuplog-lines.txt";
    {
        CSetupLog log;
        ASSERT_TRUE(log.Open(path.c_str())) << path << ": error " << GetLastError();
        log.Write("Cannot copy the file.\r\n\r\nClick Retry.\nOr Cancel.\n");
        log.Write("next");
    }
    CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_FALSE(file.IsEmpty()) << path << ": error " << GetLastError();
    char szText[256] = "";
    DWORD dwRead = 0;
    ASSERT_TRUE(ReadFile(file, szText, sizeof szText - 1, &dwRead, nullptr));
    file.Close();
    DeleteFileA(path.c_str());
    std::string text(szText, dwRead);
    size_t nFirst = text.find("ms  Cannot copy the file. Click Retry. Or Cancel.\r\n");
    EXPECT_NE(std::string::npos, nFirst) << "the message is not on one line:\n" << text;
    EXPECT_EQ(2, std::count(text.begin(), text.end(), '\n')) << "expected two lines:\n" << text;
    EXPECT_NE(std::string::npos, text.find("ms  next\r\n")) << text;
}

}  // namespace
