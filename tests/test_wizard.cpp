// The setup wizard on real windows: the sheet runs modally on the main
// thread while a driver thread of this process reads the pages, types,
// picks, presses the sheet's buttons and answers the message boxes.
#include "TestPaths.h"

#include "framework/CWinApp.h"
#include "model/SetupChoices.h"
#include "platform/FileUtil.h"
#include "platform/Progman.h"
#include "tools/guidriver/GuiDriver.h"
#include "wizard/MyPropertySheet.h"
#include "wizard/WizardHost.h"
#include "wizard/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <future>
#include <string>

namespace {

class CTestApp : public CWinApp, public IWizardHost {
public:
    BOOL InitInstance() override { return FALSE; }
    CSetupMngr& GetEngine() override { return m_engine; }

    CSetupMngr m_engine;
} theTestApp;

const DWORD WAIT_MS = 10000;
const int ID_BACK = 0x3023;
const int ID_NEXT = 0x3024;
const int ID_FINISH = 0x3025;
const BYTE DRIVE_C = 3;
const BYTE DRIVE_Q = 17;
const BYTE DRIVE_Z = 26;
const char QUIT_TEXT[] = "Do you really want to quit Setup ?";

std::string Unique(const char* pszName)
{
    return std::string(pszName) + "_" + std::to_string(GetCurrentProcessId());
}

// What a user sees of the sheet's three wizard buttons.
struct Buttons {
    bool bBack;
    bool bNext;
    bool bFinish;
    bool bFinishShown;
    bool bNextShown;
    bool operator==(const Buttons& o) const
    {
        return bBack == o.bBack && bNext == o.bNext && bFinish == o.bFinish && bFinishShown == o.bFinishShown &&
               bNextShown == o.bNextShown;
    }
};

std::ostream& operator<<(std::ostream& os, const Buttons& b)
{
    return os << "{back " << b.bBack << ", next " << b.bNext << " shown " << b.bNextShown << ", finish "
              << b.bFinish << " shown " << b.bFinishShown << "}";
}

bool Usable(HWND hButton)
{
    return hButton && IsWindowVisible(hButton) && IsWindowEnabled(hButton);
}

Buttons ReadButtons(HWND hSheet)
{
    HWND hNext = GetDlgItem(hSheet, ID_NEXT);
    HWND hFinish = GetDlgItem(hSheet, ID_FINISH);
    return {Usable(GetDlgItem(hSheet, ID_BACK)), Usable(hNext), Usable(hFinish),
            hFinish && IsWindowVisible(hFinish) != FALSE, hNext && IsWindowVisible(hNext) != FALSE};
}

const Buttons NEXT_ONLY = {false, true, false, false, true};
const Buttons BACK_NEXT = {true, true, false, false, true};
const Buttons BACK_ONLY = {true, false, false, false, true};
const Buttons BACK_FINISH = {true, false, true, true, false};
const Buttons DISABLED_FINISH = {false, false, false, true, false};

// The buttons settle as the page's handlers run on the other thread.
Buttons WaitForButtons(HWND hSheet, const Buttons& wanted)
{
    Buttons seen = ReadButtons(hSheet);
    for (DWORD dwStart = GetTickCount(); !(seen == wanted) && GetTickCount() - dwStart < WAIT_MS;
         seen = ReadButtons(hSheet))
        Sleep(20);
    return seen;
}

HWND CurrentPage(HWND hSheet)
{
    return reinterpret_cast<HWND>(SendMessageA(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// The page shown is known by a control only it has.
HWND WaitForPage(HWND hSheet, int nControlId)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < WAIT_MS; Sleep(20)) {
        HWND hPage = CurrentPage(hSheet);
        if (hPage && GetDlgItem(hPage, nControlId) && IsWindowVisible(hPage))
            return hPage;
    }
    return nullptr;
}

void Press(HWND hSheet, int nButton)
{
    PostMessageA(hSheet, PSM_PRESSBUTTON, static_cast<WPARAM>(nButton), 0);
}

// Answers the next message box of this process; its text, or "" if none came.
std::string Answer(int nButton, UINT* pnIcon = nullptr)
{
    HWND hBox = WaitForMessageBox(GetCurrentProcessId(), "Setup", WAIT_MS);
    if (!hBox)
        return "";
    std::string text = static_cast<const char*>(GetMessageBoxText(hBox));
    if (pnIcon)
        *pnIcon = GetMessageBoxIcon(hBox);
    PressButton(hBox, nButton);
    WaitForWindowGone(hBox, WAIT_MS);
    return text;
}

bool NoBoxAppears()
{
    return WaitForMessageBox(GetCurrentProcessId(), "Setup", 300) == nullptr;
}

// Types into a control as the edit would see it: every change notifies the page.
void Type(HWND hPage, int nId, const char* pszText)
{
    SendMessageA(GetDlgItem(hPage, nId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
}

// A pick in a list: the selection, then the notification the control sends.
void Pick(HWND hPage, int nId, UINT nSetSel, int nNotify, int nIndex)
{
    HWND hList = GetDlgItem(hPage, nId);
    SendMessageA(hList, nSetSel, static_cast<WPARAM>(nIndex), 0);
    PostMessageA(hPage, WM_COMMAND, MAKEWPARAM(nId, nNotify), reinterpret_cast<LPARAM>(hList));
}

std::string Text(HWND hWnd, int nId)
{
    return static_cast<const char*>(GetControlText(hWnd, nId));
}

// The figure shown for a drive's free space against a reading of it: other
// programs write to the disk meanwhile, so a gigabyte apart is the same.
::testing::AssertionResult ShowsFreeSpace(ULONGLONG ullBytes, const std::string& strShown)
{
    char szUnit[3] = "";
    double dFigure = 0;
    if (sscanf(strShown.c_str(), "%lf %2s", &dFigure, szUnit) != 2)
        return ::testing::AssertionFailure() << "\"" << strShown << "\" is no space figure";
    double dUnit = std::string(szUnit) == "GB" ? 1073741824.0 : 1048576.0;
    double dDifference = dFigure * dUnit - static_cast<double>(ullBytes);
    if (dDifference < 1073741824.0 && dDifference > -1073741824.0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << strShown << "\" shown for " << ullBytes << " bytes free";
}

std::string Title(HWND hWnd)
{
    return static_cast<const char*>(GetWindowTextString(hWnd));
}

HWND FindSheet()
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < WAIT_MS; Sleep(20))
        for (HWND hWnd : ListTopWindows(GetCurrentProcessId()))
            if (GetDlgItem(hWnd, ID_NEXT) && CurrentPage(hWnd))
                return hWnd;
    return nullptr;
}

// Whatever a failed script left open is closed, so that DoModal returns.
void CloseLeftovers(HWND hSheet)
{
    for (int nTry = 0; nTry < 20 && IsWindow(hSheet); ++nTry) {
        HWND hBox = WaitForMessageBox(GetCurrentProcessId(), "Setup", 200);
        if (hBox) {
            for (int nButton : {IDYES, IDOK, IDCANCEL})
                PressButton(hBox, nButton);
            WaitForWindowGone(hBox, 1000);
        } else {
            Press(hSheet, PSBTN_CANCEL);
        }
    }
}

typedef std::function<void(HWND hSheet)> Script;

// Runs the wizard with the script driving it; the sheet's modal result.
INT_PTR RunWizard(const Script& script)
{
    auto driver = std::async(std::launch::async, [script]() {
        HWND hSheet = FindSheet();
        EXPECT_NE(nullptr, hSheet) << "the wizard did not appear";
        if (!hSheet)
            return;
        script(hSheet);
        if (!WaitForWindowGone(hSheet, 2000)) {
            ADD_FAILURE() << "the script left the wizard open";
            CloseLeftovers(hSheet);
        }
    });
    CMyPropertySheet sheet;
    sheet.m_psh.dwFlags &= ~static_cast<DWORD>(PSH_HASHELP);
    INT_PTR nResult = sheet.DoModal();
    driver.get();
    return nResult;
}

// From page 1 to page 2.
HWND ToDestination(HWND hSheet)
{
    Press(hSheet, PSBTN_NEXT);
    HWND hPage = WaitForPage(hSheet, IDC_DESTDIR);
    EXPECT_NE(nullptr, hPage) << "Next did not lead to the destination page";
    return hPage;
}

// Leaves page 2 for a directory that does not exist, answering Yes.
HWND ToFolder(HWND hSheet)
{
    Press(hSheet, PSBTN_NEXT);
    EXPECT_NE(std::string(), Answer(IDYES)) << "the creation question did not come";
    HWND hPage = WaitForPage(hSheet, IDC_FOLDER);
    EXPECT_NE(nullptr, hPage) << "Next did not lead to the program folder page";
    return hPage;
}

class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        CSetupMngr& e = Engine();
        e.m_drives.RemoveAll();
        e.m_drives.Add(DRIVE_C);
        e.m_drives.Add(DRIVE_Z);
        e.m_nCurDrive = 0;
        e.m_nWinDrive = DRIVE_C;
        e.m_dwReserveBytes = 200000;
        e.m_dwAppBytes = 8000000;
        e.m_dwOtherBytes = 500000;
        e.m_dwSysBytes = 262144;
        m_absent = "\\" + Unique("wiz_absent");
        e.m_strDestDir = m_absent.c_str();
        e.m_strTitle = "Welcome to Tilewright";
        e.SetReadMeText(README);
        e.m_strProgramFolder = "Tilewright";
        e.m_groups.RemoveAll();
        e.m_groups.Add("Administrative Tools");
        e.m_groups.Add("StartUp");
        e.ClearPrevInstall();
    }

    static CSetupMngr& Engine() { return theTestApp.m_engine; }

    static const char README[];
    std::string m_absent;
};

const char Wizard::README[] =
    "Tilewright read-me\r\n"
    "A line long enough to run past the right edge of the read-me control, so that it has to scroll "
    "sideways instead of wrapping onto the next line of the control.\r\n"
    "Last line.";

TEST_F(Wizard, WalkingThroughShowsEachPageWithItsButtonsAndTitle)
{
    INT_PTR nResult = RunWizard([this](HWND hSheet) {
        HWND hPage = WaitForPage(hSheet, IDC_README);
        ASSERT_NE(nullptr, hPage) << "the wizard should open on the read-me page";
        EXPECT_EQ(NEXT_ONLY, WaitForButtons(hSheet, NEXT_ONLY)) << "page 1 offers Next only";
        EXPECT_EQ("Welcome to Tilewright", Title(hSheet)) << "page 1 is titled with the install information's title";
        EXPECT_EQ(std::string(README), Text(hPage, IDC_README)) << "the read-me should be shown with its line breaks";
        LONG lStyle = GetWindowLongA(GetDlgItem(hPage, IDC_README), GWL_STYLE);
        EXPECT_TRUE(lStyle & ES_AUTOHSCROLL) << "long read-me lines should scroll, not wrap";
        EXPECT_TRUE(lStyle & ES_READONLY) << "the read-me is read-only";
        EXPECT_FALSE(lStyle & WS_TABSTOP) << "the read-me is no tab stop";
        HWND hHelp = GetDlgItem(hSheet, IDHELP);
        EXPECT_FALSE(hHelp && IsWindowVisible(hHelp)) << "the wizard has no Help button";

        hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        EXPECT_EQ(BACK_NEXT, WaitForButtons(hSheet, BACK_NEXT)) << "a valid destination offers Back and Next";
        EXPECT_EQ("Choose Destination Location", Title(hSheet));
        EXPECT_EQ(m_absent, Text(hPage, IDC_DESTDIR)) << "the proposed directory should be shown";

        hPage = ToFolder(hSheet);
        ASSERT_NE(nullptr, hPage);
        EXPECT_EQ(BACK_FINISH, WaitForButtons(hSheet, BACK_FINISH)) << "a valid folder offers Back and Finish";
        EXPECT_EQ("Select Program Folder", Title(hSheet));
        EXPECT_EQ("C:" + m_absent, std::string(Engine().m_strDestDir)) << "leaving page 2 stores the full path";

        Press(hSheet, PSBTN_BACK);
        hPage = WaitForPage(hSheet, IDC_DESTDIR);
        ASSERT_NE(nullptr, hPage) << "Back should return to the destination page";
        EXPECT_EQ(BACK_NEXT, WaitForButtons(hSheet, BACK_NEXT));
        EXPECT_EQ("Choose Destination Location", Title(hSheet));
        Press(hSheet, PSBTN_NEXT);
        EXPECT_TRUE(NoBoxAppears()) << "the creation question was answered already for this text";
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        EXPECT_EQ(BACK_FINISH, WaitForButtons(hSheet, BACK_FINISH));
        Press(hSheet, PSBTN_FINISH);
    });
    EXPECT_EQ(CMyPropertySheet::ID_WIZFINISH, nResult) << "Finish should end the wizard with ID_WIZFINISH";
    EXPECT_EQ("C:" + m_absent, std::string(Engine().m_strDestDir));
    EXPECT_EQ(std::string("Tilewright"), std::string(Engine().m_strProgramFolder));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(("C:" + m_absent).c_str()))
        << "the wizard must not create the destination";
}

TEST_F(Wizard, CancelAsksOnEveryPageNoStaysYesCancels)
{
    INT_PTR nResult = RunWizard([](HWND hSheet) {
        struct Step {
            int nControl;
        } pages[] = {{IDC_README}, {IDC_DESTDIR}, {IDC_FOLDER}};
        for (const Step& step : pages) {
            HWND hPage = WaitForPage(hSheet, step.nControl);
            ASSERT_NE(nullptr, hPage) << "page with control " << step.nControl << " not shown";
            Press(hSheet, PSBTN_CANCEL);
            UINT nIcon = 0;
            EXPECT_EQ(QUIT_TEXT, Answer(IDNO, &nIcon)) << "Cancel should ask first";
            EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), nIcon);
            EXPECT_TRUE(IsWindow(hSheet)) << "No keeps the wizard open";
            EXPECT_EQ(hPage, CurrentPage(hSheet)) << "No keeps the same page";
            if (step.nControl == IDC_README)
                Press(hSheet, PSBTN_NEXT);
            else if (step.nControl == IDC_DESTDIR)
                ToFolder(hSheet);
        }
        Press(hSheet, PSBTN_CANCEL);
        EXPECT_EQ(QUIT_TEXT, Answer(IDYES));
    });
    EXPECT_EQ(IDCANCEL, nResult) << "Yes ends the wizard with IDCANCEL";
}

TEST_F(Wizard, AnAbsentReadMeLeavesThePageEmpty)
{
    Engine().SetReadMeText(nullptr);
    INT_PTR nResult = RunWizard([](HWND hSheet) {
        HWND hPage = WaitForPage(hSheet, IDC_README);
        ASSERT_NE(nullptr, hPage);
        EXPECT_EQ("", Text(hPage, IDC_README));
        EXPECT_EQ(NEXT_ONLY, WaitForButtons(hSheet, NEXT_ONLY));
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
    EXPECT_EQ(IDCANCEL, nResult);
}

TEST(WizardClasses, PagesAreCreatableBySchemaAndTheSheetIsNot)
{
    for (const CRuntimeClass* pClass :
         {RUNTIME_CLASS(CMyPropertyPage1), RUNTIME_CLASS(CMyPropertyPage2), RUNTIME_CLASS(CMyPropertyPage3)}) {
        EXPECT_EQ(0xFFFFu, pClass->m_wSchema) << pClass->m_lpszClassName;
        CObject* pObject = pClass->CreateObject();
        ASSERT_NE(nullptr, pObject) << pClass->m_lpszClassName << " should be dynamically creatable";
        EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CPropertyPage))) << pClass->m_lpszClassName;
        delete pObject;
    }
    const CRuntimeClass* pSheet = RUNTIME_CLASS(CMyPropertySheet);
    EXPECT_STREQ("CMyPropertySheet", pSheet->m_lpszClassName);
    EXPECT_EQ(nullptr, pSheet->CreateObject()) << "the sheet has no dynamic creation";
    EXPECT_TRUE(pSheet->IsDerivedFrom(RUNTIME_CLASS(CPropertySheet)));
}

TEST(SpaceFigure, RoundsHalfUpToTenthsOfAMegabyte)
{
    EXPECT_EQ("8.3 MB", std::string(FormatSpaceFigure(8700000)));
    EXPECT_EQ("0.3 MB", std::string(FormatSpaceFigure(262144))) << "exactly 0.25 MB rounds up";
    EXPECT_EQ("0.0 MB", std::string(FormatSpaceFigure(0)));
    EXPECT_EQ("1.0 MB", std::string(FormatSpaceFigure(1048576)));
    EXPECT_EQ("4096.0 MB", std::string(FormatSpaceFigure(0xFFFFFFFF)));
    EXPECT_EQ("8192.0 MB", std::string(FormatSpaceFigure(0x1FFFFFFFEull))) << "a sum of two counts";
    EXPECT_EQ("10000.0 MB", std::string(FormatSpaceFigure(10000ull * 1048576)));
    EXPECT_EQ("9.8 GB", std::string(FormatSpaceFigure(10000ull * 1048576 + 104858)))
        << "past 10,000 MB the figure is in gigabytes";
    EXPECT_EQ("65.5 GB", std::string(FormatSpaceFigure(70330000000ull)));
    EXPECT_EQ("17179869184.0 GB", std::string(FormatSpaceFigure(~0ull))) << "the largest count does not overflow";
}

TEST_F(Wizard, DestinationShowsTheDrivesAndTheSpaceFigures)
{
    ULONGLONG ullFreeC = 0;
    ULONGLONG ullFreeZ = 0;
    ASSERT_TRUE(GetDriveFreeSpace(DRIVE_C, ullFreeC));
    ASSERT_TRUE(GetDriveFreeSpace(DRIVE_Z, ullFreeZ));
    INT_PTR nResult = RunWizard([&](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        HWND hDrives = GetDlgItem(hPage, IDC_DRIVES);
        ASSERT_EQ(2, SendMessageA(hDrives, CB_GETCOUNT, 0, 0)) << "the list should hold the engine's drives";
        char szItem[16];
        SendMessageA(hDrives, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(szItem));
        EXPECT_STREQ("C:", szItem);
        SendMessageA(hDrives, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(szItem));
        EXPECT_STREQ("Z:", szItem);
        EXPECT_EQ(0, SendMessageA(hDrives, CB_GETCURSEL, 0, 0));
        EXPECT_EQ("C:", Text(hPage, IDC_DRIVEPREFIX));
        EXPECT_EQ("Drive C:", Text(hPage, IDC_AVAILDRIVE));
        EXPECT_TRUE(ShowsFreeSpace(ullFreeC, Text(hPage, IDC_AVAILSPACE)));
        if (ullFreeC > 0xFFFFFFFFull) {
            EXPECT_NE("4096.0 MB", Text(hPage, IDC_AVAILSPACE)) << "free space past 4 GB shows whole";
        }
        EXPECT_EQ("8.3 MB", Text(hPage, IDC_REQDEST)) << "reserve + application + other bytes";
        EXPECT_EQ("0.3 MB", Text(hPage, IDC_REQSYSTEM)) << "system bytes, rounded half up";

        Pick(hPage, IDC_DRIVES, CB_SETCURSEL, CBN_SELCHANGE, 1);
        for (DWORD dwStart = GetTickCount(); Text(hPage, IDC_DRIVEPREFIX) != "Z:" && GetTickCount() - dwStart < WAIT_MS;)
            Sleep(20);
        EXPECT_EQ("Z:", Text(hPage, IDC_DRIVEPREFIX)) << "another drive updates the prefix";
        EXPECT_EQ("Drive Z:", Text(hPage, IDC_AVAILDRIVE));
        EXPECT_TRUE(ShowsFreeSpace(ullFreeZ, Text(hPage, IDC_AVAILSPACE)));
        EXPECT_EQ("8.3 MB", Text(hPage, IDC_REQDEST)) << "the required figures do not follow the drive";
        EXPECT_EQ("0.3 MB", Text(hPage, IDC_REQSYSTEM));
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_EQ(1, Engine().m_nCurDrive) << "the picked drive reaches the engine";
}

TEST_F(Wizard, AnInvalidPathDisablesNextWithoutAMessage)
{
    RunWizard([this](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        for (const char* pszBad : {"\\Tile#wright", "\\Tile/wright", "\\Tilewright\\", "\\Tile.wright",
                                   "\\Tile  wright"}) {
            Type(hPage, IDC_DESTDIR, pszBad);
            EXPECT_EQ(BACK_ONLY, WaitForButtons(hSheet, BACK_ONLY)) << "\"" << pszBad << "\" should disable Next";
            Type(hPage, IDC_DESTDIR, m_absent.c_str());
            EXPECT_EQ(BACK_NEXT, WaitForButtons(hSheet, BACK_NEXT)) << "correcting \"" << pszBad << "\"";
        }
        Type(hPage, IDC_DESTDIR, std::string(300, 'x').insert(0, "\\").c_str());
        EXPECT_EQ(BACK_ONLY, WaitForButtons(hSheet, BACK_ONLY)) << "a path over 260 characters";
        Type(hPage, IDC_DESTDIR, "");
        EXPECT_EQ(BACK_NEXT, WaitForButtons(hSheet, BACK_NEXT)) << "an empty text is the bare drive";
        EXPECT_TRUE(NoBoxAppears()) << "typing never shows a message";
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
}

TEST_F(Wizard, AMissingDirectoryIsAskedForAgainAfterAnEdit)
{
    std::string strOther = m_absent + "x";
    RunWizard([&](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        Press(hSheet, PSBTN_NEXT);
        UINT nIcon = 0;
        EXPECT_EQ("The destination directory C:" + m_absent + " does not exist. Do you want to create it ?",
                  Answer(IDNO, &nIcon));
        EXPECT_EQ(static_cast<UINT>(MB_ICONQUESTION), nIcon);
        EXPECT_EQ(hPage, CurrentPage(hSheet)) << "No keeps the destination page";
        EXPECT_EQ(m_absent, Text(hPage, IDC_DESTDIR)) << "No leaves the text as it was";
        ASSERT_NE(nullptr, ToFolder(hSheet));
        Press(hSheet, PSBTN_BACK);
        hPage = WaitForPage(hSheet, IDC_DESTDIR);
        ASSERT_NE(nullptr, hPage);
        Type(hPage, IDC_DESTDIR, strOther.c_str());
        Press(hSheet, PSBTN_NEXT);
        EXPECT_EQ("The destination directory C:" + strOther + " does not exist. Do you want to create it ?",
                  Answer(IDYES))
            << "an edited text is asked for again";
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        Press(hSheet, PSBTN_FINISH);
    });
    EXPECT_EQ("C:" + strOther, std::string(Engine().m_strDestDir)) << "the last accepted path is stored";
}

TEST_F(Wizard, TheChosenDriveAndDirectoryReachTheEngine)
{
    std::string strDir = "\\" + Unique("wiz_on_z");
    INT_PTR nResult = RunWizard([&](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        Pick(hPage, IDC_DRIVES, CB_SETCURSEL, CBN_SELCHANGE, 1);
        Type(hPage, IDC_DESTDIR, ("  " + strDir + "  ").c_str());
        Press(hSheet, PSBTN_NEXT);
        EXPECT_EQ("The destination directory Z:" + strDir + " does not exist. Do you want to create it ?",
                  Answer(IDYES))
            << "the path is the picked drive and the trimmed text";
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        Press(hSheet, PSBTN_FINISH);
    });
    EXPECT_EQ(CMyPropertySheet::ID_WIZFINISH, nResult);
    EXPECT_EQ("Z:" + strDir, std::string(Engine().m_strDestDir));
    EXPECT_EQ(1, Engine().m_nCurDrive);
}

// No drive here is short of what the counts can ask: a Windows drive that
// cannot be read fails the check as a shortage does.
TEST_F(Wizard, TooLittleSpaceIsAskedFirstAndOncePerDrive)
{
    Engine().m_dwReserveBytes = 0xFFFFFFF0;
    Engine().m_nWinDrive = DRIVE_Q;
    ASSERT_FALSE(Engine().EnoughSpace()) << "the case needs the check to fail";
    RunWizard([this](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        EXPECT_EQ("4104.1 MB", Text(hPage, IDC_REQDEST)) << "the requirement past 4 GB shows whole, not wrapped";
        const std::string strLow =
            "There is'nt likely enough free disk-space on your hard-disk.\r\nDo you want to proceed Setup ?";
        Press(hSheet, PSBTN_BACK);
        EXPECT_EQ(strLow, Answer(IDNO)) << "leaving with Back checks the destination too";
        EXPECT_EQ(hPage, CurrentPage(hSheet)) << "No keeps the page when going back";
        Press(hSheet, PSBTN_NEXT);
        UINT nIcon = 0;
        EXPECT_EQ(strLow, Answer(IDNO, &nIcon)) << "the space question comes before any directory question";
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), nIcon);
        EXPECT_EQ(hPage, CurrentPage(hSheet));
        Press(hSheet, PSBTN_NEXT);
        EXPECT_EQ(strLow, Answer(IDYES));
        EXPECT_NE(std::string(), Answer(IDYES)) << "then the creation question";
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        Press(hSheet, PSBTN_BACK);
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_DESTDIR));
        Press(hSheet, PSBTN_NEXT);
        EXPECT_TRUE(NoBoxAppears()) << "neither question is asked again without a change";
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        Press(hSheet, PSBTN_FINISH);
    });
}

// A directory holding another program's uninstaller: the engine's check
// answers FALSE for it, whatever else it looks at.
TEST_F(Wizard, AnotherApplicationInTheDirectoryIsAskedAbout)
{
    std::string strDir = "\\" + Unique("wiz_other");
    std::string strFull = "C:" + strDir;
    ASSERT_TRUE(CreateDirectoryA(strFull.c_str(), nullptr));
    std::string strUninst = strFull + "\\Uninst.exe";
    ASSERT_TRUE(CopyFileA(BuildPath("tools\\payload\\payload_uninst_other.exe").c_str(), strUninst.c_str(), FALSE));
    Engine().m_strDestDir = strDir.c_str();
    Engine().m_pPrevInstall = new CSetupMngr;
    INT_PTR nResult = RunWizard([&](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        const std::string strQuestion = "There is already another application in the destination directory \r\n" +
                                        strFull + ".\r\nWould you like to proceed ?";
        Press(hSheet, PSBTN_NEXT);
        UINT nIcon = 0;
        EXPECT_EQ(strQuestion, Answer(IDNO, &nIcon));
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), nIcon);
        EXPECT_EQ(hPage, CurrentPage(hSheet)) << "No keeps the page";
        Press(hSheet, PSBTN_NEXT);
        EXPECT_EQ(strQuestion, Answer(IDYES));
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        Press(hSheet, PSBTN_FINISH);
    });
    EXPECT_EQ(CMyPropertySheet::ID_WIZFINISH, nResult);
    EXPECT_EQ(strFull, std::string(Engine().m_strDestDir));
    EXPECT_EQ(nullptr, Engine().m_pPrevInstall)
        << "an earlier installation kept from another destination must be dropped";
    DeleteFileA(strUninst.c_str());
    RemoveDirectoryA(strFull.c_str());
}

// A path naming a file answers ERROR_INVALID_NAME (123) under Wine, a code
// other than "not found".
TEST_F(Wizard, AnUnreadableDirectoryIsReportedAndKeepsThePage)
{
    std::string strName = "\\" + Unique("wiz_file");
    std::string strFull = "C:" + strName;
    HANDLE hFile = CreateFileA(strFull.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    CloseHandle(hFile);
    DWORD dwCode = CheckDirectoryExists(strFull.c_str());
    EXPECT_TRUE(dwCode != 0 && dwCode != ERROR_PATH_NOT_FOUND) << "the case needs another code, got " << dwCode;
    Engine().m_strDestDir = strName.c_str();
    RunWizard([&](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        Press(hSheet, PSBTN_NEXT);
        UINT nIcon = 0;
        EXPECT_EQ("Error by accessing Directory \r\n" + strFull + " .", Answer(IDOK, &nIcon));
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), nIcon);
        EXPECT_EQ(hPage, CurrentPage(hSheet)) << "the error keeps the page";
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
    EXPECT_NE(strFull, std::string(Engine().m_strDestDir)) << "a refused path is not stored";
    DeleteFileA(strFull.c_str());
}

// Q: has no root in the prefix: its free space cannot be read.
TEST_F(Wizard, AnUnreadableDriveOffersRetryAndCancelReturnsToThePreviousDrive)
{
    Engine().m_drives.SetAt(1, DRIVE_Q);
    RunWizard([](HWND hSheet) {
        HWND hPage = ToDestination(hSheet);
        ASSERT_NE(nullptr, hPage);
        Pick(hPage, IDC_DRIVES, CB_SETCURSEL, CBN_SELCHANGE, 1);
        UINT nIcon = 0;
        EXPECT_EQ("Error by accessing Drive Q:", Answer(IDRETRY, &nIcon));
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), nIcon);
        EXPECT_EQ("Error by accessing Drive Q:", Answer(IDCANCEL)) << "Retry asks the drive again";
        for (DWORD dwStart = GetTickCount();
             SendDlgItemMessageA(hPage, IDC_DRIVES, CB_GETCURSEL, 0, 0) != 0 && GetTickCount() - dwStart < WAIT_MS;)
            Sleep(20);
        EXPECT_EQ(0, SendDlgItemMessageA(hPage, IDC_DRIVES, CB_GETCURSEL, 0, 0)) << "Cancel selects C: again";
        EXPECT_EQ("Drive C:", Text(hPage, IDC_AVAILDRIVE));
        EXPECT_TRUE(IsWindow(hSheet));
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
    EXPECT_EQ(0, Engine().m_nCurDrive);
}

TEST_F(Wizard, AnUnreadableFirstDriveEndsTheWizardWithCancel)
{
    Engine().m_drives.SetAt(0, DRIVE_Q);
    INT_PTR nResult = RunWizard([](HWND hSheet) {
        Press(hSheet, PSBTN_NEXT);
        EXPECT_EQ("Error by accessing Drive Q:", Answer(IDCANCEL));
        UINT nIcon = 0;
        EXPECT_EQ("An error has occurred. The Setup will be cancelled.", Answer(IDOK, &nIcon));
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), nIcon);
        EXPECT_TRUE(WaitForWindowGone(hSheet, WAIT_MS)) << "the wizard should close by itself";
        EXPECT_TRUE(NoBoxAppears()) << "closing asks no quit question";
    });
    EXPECT_EQ(IDCANCEL, nResult);
}

TEST_F(Wizard, FolderListHoldsTheExistingGroupsAndATypedNameIsStored)
{
    Engine().m_groups.RemoveAll();
    ASSERT_TRUE(GetProgmanGroups(Engine().m_groups)) << "Program Manager's groups, error " << GetLastError();
    ASSERT_GT(Engine().m_groups.GetSize(), 0);
    INT_PTR nResult = RunWizard([](HWND hSheet) {
        ToDestination(hSheet);
        HWND hPage = ToFolder(hSheet);
        ASSERT_NE(nullptr, hPage);
        HWND hList = GetDlgItem(hPage, IDC_FOLDERLIST);
        const CStringArray& groups = Engine().m_groups;
        ASSERT_EQ(groups.GetSize(), SendMessageA(hList, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < groups.GetSize(); ++i) {
            char szItem[256];
            SendMessageA(hList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(szItem));
            EXPECT_STREQ(groups[i], szItem) << "groups are listed in the order received";
        }
        EXPECT_EQ(0, SendMessageA(hList, LB_GETCURSEL, 0, 0)) << "the first group is selected";
        EXPECT_EQ("Tilewright", Text(hPage, IDC_FOLDER)) << "the selection does not change the proposed name";
        Type(hPage, IDC_FOLDER, "  My Tiles  ");
        EXPECT_EQ(BACK_FINISH, WaitForButtons(hSheet, BACK_FINISH));
        Press(hSheet, PSBTN_FINISH);
    });
    EXPECT_EQ(CMyPropertySheet::ID_WIZFINISH, nResult);
    EXPECT_EQ(std::string("My Tiles"), std::string(Engine().m_strProgramFolder)) << "stored without the blanks";
}

TEST_F(Wizard, APickedGroupIsCopiedAndStored)
{
    INT_PTR nResult = RunWizard([](HWND hSheet) {
        ToDestination(hSheet);
        HWND hPage = ToFolder(hSheet);
        ASSERT_NE(nullptr, hPage);
        Pick(hPage, IDC_FOLDERLIST, LB_SETCURSEL, LBN_SELCHANGE, 1);
        for (DWORD dwStart = GetTickCount(); Text(hPage, IDC_FOLDER) != "StartUp" && GetTickCount() - dwStart < WAIT_MS;)
            Sleep(20);
        EXPECT_EQ("StartUp", Text(hPage, IDC_FOLDER)) << "a pick copies the group's name";
        Press(hSheet, PSBTN_FINISH);
    });
    EXPECT_EQ(CMyPropertySheet::ID_WIZFINISH, nResult);
    EXPECT_EQ(std::string("StartUp"), std::string(Engine().m_strProgramFolder));
}

TEST_F(Wizard, ForbiddenCharactersBlanksAndOverlongNamesDisableFinish)
{
    RunWizard([](HWND hSheet) {
        ToDestination(hSheet);
        HWND hPage = ToFolder(hSheet);
        ASSERT_NE(nullptr, hPage);
        for (char ch : std::string("#%;/\\,()[]\"")) {
            std::string strName = std::string("Tile") + ch + "wright";
            Type(hPage, IDC_FOLDER, strName.c_str());
            EXPECT_EQ(DISABLED_FINISH, WaitForButtons(hSheet, DISABLED_FINISH)) << "name " << strName;
            Type(hPage, IDC_FOLDER, "Tilewright");
            EXPECT_EQ(BACK_FINISH, WaitForButtons(hSheet, BACK_FINISH)) << "after correcting " << strName;
        }
        Type(hPage, IDC_FOLDER, "   ");
        EXPECT_EQ(DISABLED_FINISH, WaitForButtons(hSheet, DISABLED_FINISH)) << "a blank name";
        Type(hPage, IDC_FOLDER, std::string(64, 'g').c_str());
        EXPECT_EQ(DISABLED_FINISH, WaitForButtons(hSheet, DISABLED_FINISH))
            << "64 characters do not fit the group command";
        Type(hPage, IDC_FOLDER, (" " + std::string(63, 'g') + " ").c_str());
        EXPECT_EQ(BACK_FINISH, WaitForButtons(hSheet, BACK_FINISH)) << "63 characters after trimming fit";
        EXPECT_TRUE(NoBoxAppears()) << "an invalid name shows no message";
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
}

// In a double-byte code page a character whose trail byte is '\\', '[' or
// ']' is a character like any other, for the folder page as for the Program
// Manager client. The entry test_wizard_dbcs runs this in code page 932.
TEST(FolderName, DoubleByteCharactersWithSyntaxTrailBytesAreValid)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs the Japanese code page 932 (LC_ALL=ja_JP.UTF-8 under Wine)";
    // U+8868 and U+30FC: trail bytes '\\' and '['.
    for (const char* pszName : {"Tile\x95\x5C", "\x81\x5Bwright"}) {
        EXPECT_TRUE(IsValidFolderName(pszName)) << "the folder page refuses a valid name";
        EXPECT_FALSE(ContainsAnyChar(pszName, "\\[]")) << "the check the Program Manager client shares";
    }
    EXPECT_FALSE(IsValidFolderName("Tile\\wright")) << "a real backslash stays forbidden";
    EXPECT_FALSE(IsValidFolderName("\x95\x5C[")) << "so does a real bracket after a double-byte character";
}

TEST_F(Wizard, TheMatchingGroupIsSelectedWhenThePageIsShown)
{
    Engine().m_strProgramFolder = "startup";
    RunWizard([](HWND hSheet) {
        ToDestination(hSheet);
        HWND hPage = ToFolder(hSheet);
        ASSERT_NE(nullptr, hPage);
        EXPECT_EQ(1, SendDlgItemMessageA(hPage, IDC_FOLDERLIST, LB_GETCURSEL, 0, 0))
            << "the name equal but for case selects that group";
        EXPECT_EQ("startup", Text(hPage, IDC_FOLDER)) << "the selection does not change the name";
        Type(hPage, IDC_FOLDER, "administrative tools");
        SendDlgItemMessageA(hPage, IDC_FOLDERLIST, LB_SETCURSEL, 1, 0);
        Press(hSheet, PSBTN_BACK);
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_DESTDIR));
        Press(hSheet, PSBTN_NEXT);
        ASSERT_NE(nullptr, WaitForPage(hSheet, IDC_FOLDER));
        EXPECT_EQ("administrative tools", Text(hPage, IDC_FOLDER)) << "the edited name survives Back";
        EXPECT_EQ(0, SendDlgItemMessageA(hPage, IDC_FOLDERLIST, LB_GETCURSEL, 0, 0))
            << "returning re-selects the matching group";
        Press(hSheet, PSBTN_CANCEL);
        Answer(IDYES);
    });
    EXPECT_EQ(std::string("startup"), std::string(Engine().m_strProgramFolder))
        << "a name left with Back is not stored";
}

} // namespace
