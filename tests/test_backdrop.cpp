// The real Setup.exe from a medium of the test's own: once loading has
// succeeded the backdrop fills the screen behind the wizard. Its pixels are
// read back from the screen where the wizard does not cover it.
#include "ChildProcess.h"
#include "TestMedium.h"
#include "TestPaths.h"

#include "tools/guidriver/GuiDriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

namespace {

const DWORD WAIT_MS = 30000;
const int ID_NEXT = 0x3024;

class CMedium {
public:
    CMedium()
    {
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        m_dir = std::string(szTemp) + "backdrop_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_dir.c_str(), nullptr);
        CopyFileA(BuildPath("app\\Setup.exe").c_str(), Path("Setup.exe").c_str(), FALSE);
        CInstallMngr info;
        MakeMinimalInfo(info, "Tilewright");
        WriteInfo(info, Path("Setup.dat"));
        WriteEmptyVolume(Path("Data.dat"));
    }
    ~CMedium()
    {
        for (const char* pszFile : {"Setup.exe", "Setup.dat", "Data.dat"})
            DeleteFileA(Path(pszFile).c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    std::string Path(const char* pszFile) const { return m_dir + "\\" + pszFile; }

private:
    std::string m_dir;
};

HWND WaitForWizard(DWORD dwProcessId)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < WAIT_MS; Sleep(50))
        for (HWND hWnd : ListTopWindows(dwProcessId))
            if (GetDlgItem(hWnd, ID_NEXT))
                return hWnd;
    return nullptr;
}

// A point of the backdrop's client area as the screen shows it.
struct CScreen {
    HDC hDC = GetDC(nullptr);
    ~CScreen() { ReleaseDC(nullptr, hDC); }
    COLORREF At(HWND hWnd, int x, int y) const
    {
        POINT pt = {x, y};
        ClientToScreen(hWnd, &pt);
        return GetPixel(hDC, pt.x, pt.y);
    }
};

// The wizard may be up before the X server shows the backdrop's first paint:
// the point is read again until it is the bright blue of the top, or the
// wait is over.
COLORREF WaitForTopBlue(const CScreen& screen, HWND hWnd, int x, int y)
{
    COLORREF cr = screen.At(hWnd, x, y);
    for (DWORD dwStart = GetTickCount(); GetBValue(cr) < 250 && GetTickCount() - dwStart < WAIT_MS; Sleep(50))
        cr = screen.At(hWnd, x, y);
    return cr;
}

bool IsWhite(COLORREF cr)
{
    return GetRValue(cr) > 200 && GetGValue(cr) > 200 && GetBValue(cr) > 200;
}

int CountWhite(const CScreen& screen, HWND hWnd, const RECT& rc)
{
    int nWhite = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            nWhite += IsWhite(screen.At(hWnd, x, y));
    return nWhite;
}

bool Covers(HWND hWizard, HWND hBackdrop, int x, int y)
{
    RECT rc;
    GetWindowRect(hWizard, &rc);
    POINT pt = {x, y};
    ClientToScreen(hBackdrop, &pt);
    return PtInRect(&rc, pt) != FALSE;
}

TEST(Backdrop, ShowsTheGradientAndTheProductNameBehindTheWizard)
{
    CMedium medium;
    CChildProcess setup;
    ASSERT_TRUE(setup.Start(medium.Path("Setup.exe")));
    HWND hWizard = WaitForWizard(setup.Id());
    ASSERT_NE(nullptr, hWizard) << "loading should succeed and the wizard appear";
    WindowQuery query;
    query.dwProcessId = setup.Id();
    query.pszTitle = "Tilewright Setup";
    HWND hBackdrop = FindTopWindow(query);
    ASSERT_NE(nullptr, hBackdrop) << "the backdrop should carry the product name and \"Setup\"";
    EXPECT_TRUE(IsZoomed(hBackdrop)) << "the backdrop is shown maximized";

    RECT rcClient;
    GetClientRect(hBackdrop, &rcClient);
    const int cx = rcClient.right;
    const int cy = rcClient.bottom;
    ASSERT_GT(cy, 300) << "a maximized backdrop";
    const int xLeft = 5;
    ASSERT_FALSE(Covers(hWizard, hBackdrop, xLeft, 2) || Covers(hWizard, hBackdrop, xLeft, cy - 4))
        << "the wizard covers the backdrop's left edge";

    CScreen screen;
    COLORREF crTop = WaitForTopBlue(screen, hBackdrop, xLeft, 1);
    COLORREF crMiddle = screen.At(hBackdrop, xLeft, cy / 2);
    COLORREF crBottom = screen.At(hBackdrop, xLeft, cy - 4);
    EXPECT_EQ(0, GetRValue(crTop));
    EXPECT_EQ(0, GetGValue(crTop));
    EXPECT_GE(GetBValue(crTop), 250) << "bright blue at the top";
    EXPECT_EQ(0, GetRValue(crMiddle));
    EXPECT_NEAR(128, GetBValue(crMiddle), 8) << "half way down, half the blue";
    EXPECT_LE(GetBValue(crBottom), 8) << "black at the bottom";
    EXPECT_EQ(0, GetRValue(crBottom));
    EXPECT_GT(GetBValue(crTop), GetBValue(crMiddle));
    EXPECT_GT(GetBValue(crMiddle), GetBValue(crBottom));

    RECT rcName = {25, 22, 200, 58};
    if (Covers(hWizard, hBackdrop, rcName.left, rcName.top) || Covers(hWizard, hBackdrop, rcName.right, rcName.bottom)) {
        ADD_FAILURE() << "the wizard covers the product name";
    } else {
        EXPECT_GT(CountWhite(screen, hBackdrop, rcName), 100) << "white letters of the product name at the upper left";
        RECT rcBelow = {25, 80, 200, 116};
        if (cx > 200 && !Covers(hWizard, hBackdrop, 25, 80) && !Covers(hWizard, hBackdrop, 200, 116)) {
            EXPECT_EQ(0, CountWhite(screen, hBackdrop, rcBelow)) << "nothing white below the name";
        }
    }

    PostMessageA(hWizard, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    HWND hQuit = WaitForMessageBox(setup.Id(), "Setup", WAIT_MS);
    ASSERT_NE(nullptr, hQuit);
    EXPECT_EQ("Do you really want to quit Setup ?", std::string(GetMessageBoxText(hQuit)));
    PressButton(hQuit, IDYES);
    WaitForWindowGone(hQuit, WAIT_MS);
    HWND hFinal = WaitForMessageBox(setup.Id(), "Setup", WAIT_MS);
    ASSERT_NE(nullptr, hFinal);
    EXPECT_EQ("The Setup was not finished completely.", std::string(GetMessageBoxText(hFinal)));
    EXPECT_EQ(static_cast<UINT>(MB_ICONASTERISK), GetMessageBoxIcon(hFinal));
    PressButton(hFinal, IDOK);
    EXPECT_EQ(0, setup.WaitForExit(WAIT_MS)) << "the setup ends with exit code 0";
}

} // namespace
