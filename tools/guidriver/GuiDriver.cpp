#include "GuiDriver.h"

#include <cstring>

namespace {
const DWORD POLL_MS = 50;

struct FindState {
    const WindowQuery* pQuery;
    HWND hFound;
};

BOOL CALLBACK FindButton(HWND hChild, LPARAM lParam)
{
    char szClass[32];
    if (GetClassNameA(hChild, szClass, sizeof szClass) && lstrcmpiA(szClass, "Button") == 0) {
        *reinterpret_cast<BOOL*>(lParam) = TRUE;
        return FALSE;
    }
    return TRUE;
}

bool HasButton(HWND hWnd)
{
    BOOL bFound = FALSE;
    EnumChildWindows(hWnd, FindButton, reinterpret_cast<LPARAM>(&bFound));
    return bFound != FALSE;
}

bool Matches(HWND hWnd, const WindowQuery& query)
{
    if (!IsWindowVisible(hWnd))
        return false;
    if (query.dwProcessId) {
        DWORD dwPid = 0;
        GetWindowThreadProcessId(hWnd, &dwPid);
        if (dwPid != query.dwProcessId)
            return false;
    }
    char szText[256];
    if (query.pszClass && (!GetClassNameA(hWnd, szText, sizeof szText) || strcmp(szText, query.pszClass) != 0))
        return false;
    if (query.pszTitle) {
        GetWindowTextA(hWnd, szText, sizeof szText);
        if (strcmp(szText, query.pszTitle) != 0)
            return false;
    }
    return !query.bNeedButton || HasButton(hWnd);
}

BOOL CALLBACK FindTop(HWND hWnd, LPARAM lParam)
{
    FindState* pState = reinterpret_cast<FindState*>(lParam);
    if (!Matches(hWnd, *pState->pQuery))
        return TRUE;
    pState->hFound = hWnd;
    return FALSE;
}

struct ListState {
    DWORD dwProcessId;
    std::vector<HWND>* pWindows;
};

BOOL CALLBACK CollectTop(HWND hWnd, LPARAM lParam)
{
    ListState* pState = reinterpret_cast<ListState*>(lParam);
    WindowQuery query;
    query.dwProcessId = pState->dwProcessId;
    if (Matches(hWnd, query))
        pState->pWindows->push_back(hWnd);
    return TRUE;
}

// The 32 x 32 pixels at the top left of a window as the screen shows them.
std::vector<COLORREF> ScreenPixels(HWND hWnd)
{
    std::vector<COLORREF> pixels;
    RECT rc;
    HDC hScreen = GetDC(nullptr);
    if (!hScreen)
        return pixels;
    if (GetWindowRect(hWnd, &rc))
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                pixels.push_back(GetPixel(hScreen, rc.left + x, rc.top + y));
    ReleaseDC(nullptr, hScreen);
    return pixels;
}

// An icon drawn over a background colour, as a static control shows it.
std::vector<COLORREF> IconPixels(HICON hIcon, COLORREF crBack)
{
    std::vector<COLORREF> pixels;
    HDC hScreen = GetDC(nullptr);
    HDC hDC = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, 32, 32);
    ReleaseDC(nullptr, hScreen);
    if (hDC && hBitmap && hIcon) {
        HGDIOBJ hOld = SelectObject(hDC, hBitmap);
        HBRUSH hBrush = CreateSolidBrush(crBack);
        RECT rc = {0, 0, 32, 32};
        FillRect(hDC, &rc, hBrush);
        DeleteObject(hBrush);
        if (DrawIconEx(hDC, 0, 0, hIcon, 32, 32, 0, nullptr, DI_NORMAL))
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    pixels.push_back(GetPixel(hDC, x, y));
        SelectObject(hDC, hOld);
    }
    if (hBitmap)
        DeleteObject(hBitmap);
    if (hDC)
        DeleteDC(hDC);
    return pixels;
}

// Icon handles of another process cannot be read here, so the icon is told
// by what the screen shows: the system icon that matches it best.
UINT IdentifyIcon(HWND hStatic)
{
    static const struct {
        LPCSTR pszId;
        UINT nStyle;
    } icons[] = {{IDI_HAND, MB_ICONHAND},
                 {IDI_QUESTION, MB_ICONQUESTION},
                 {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                 {IDI_ASTERISK, MB_ICONASTERISK}};
    std::vector<COLORREF> shown = ScreenPixels(hStatic);
    if (shown.empty())
        return 0;
    UINT nBest = 0;
    size_t nBestMatches = shown.size() * 9 / 10;
    for (const auto& icon : icons) {
        std::vector<COLORREF> drawn = IconPixels(LoadIconA(nullptr, icon.pszId), shown[0]);
        size_t nMatches = 0;
        for (size_t i = 0; i < drawn.size() && i < shown.size(); ++i)
            nMatches += drawn[i] == shown[i];
        if (nMatches > nBestMatches) {
            nBestMatches = nMatches;
            nBest = icon.nStyle;
        }
    }
    return nBest;
}

struct TextState {
    CString* pText;
    UINT nIcon;
};

BOOL CALLBACK ReadStatic(HWND hChild, LPARAM lParam)
{
    TextState* pState = reinterpret_cast<TextState*>(lParam);
    char szClass[32];
    if (!GetClassNameA(hChild, szClass, sizeof szClass) || lstrcmpiA(szClass, "Static") != 0)
        return TRUE;
    if ((GetWindowLongA(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        pState->nIcon = IdentifyIcon(hChild);
        return TRUE;
    }
    CString text = GetWindowTextString(hChild);
    if (!text.IsEmpty() && pState->pText->IsEmpty())
        *pState->pText = text;
    return TRUE;
}
}

HWND FindTopWindow(const WindowQuery& query)
{
    FindState state = {&query, nullptr};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&state));
    return state.hFound;
}

HWND WaitForTopWindow(const WindowQuery& query, DWORD dwTimeoutMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        HWND hWnd = FindTopWindow(query);
        if (hWnd || GetTickCount() - dwStart >= dwTimeoutMs)
            return hWnd;
        Sleep(POLL_MS);
    }
}

HWND WaitForMessageBox(DWORD dwProcessId, const char* pszTitle, DWORD dwTimeoutMs)
{
    WindowQuery query;
    query.dwProcessId = dwProcessId;
    query.pszClass = "#32770";
    query.pszTitle = pszTitle;
    query.bNeedButton = true;
    return WaitForTopWindow(query, dwTimeoutMs);
}

BOOL WaitForWindowGone(HWND hWnd, DWORD dwTimeoutMs)
{
    DWORD dwStart = GetTickCount();
    while (IsWindow(hWnd)) {
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return FALSE;
        Sleep(POLL_MS);
    }
    return TRUE;
}

CString GetWindowTextString(HWND hWnd)
{
    int nLength = GetWindowTextLengthA(hWnd);
    CString text;
    if (nLength <= 0)
        return text;
    char* p = text.GetBuffer(nLength + 1);
    GetWindowTextA(hWnd, p, nLength + 1);
    text.ReleaseBuffer();
    return text;
}

CString GetControlText(HWND hDlg, int nId)
{
    HWND hCtl = GetDlgItem(hDlg, nId);
    return hCtl ? GetWindowTextString(hCtl) : CString();
}

CString GetMessageBoxText(HWND hBox)
{
    CString text;
    TextState state = {&text, 0};
    EnumChildWindows(hBox, ReadStatic, reinterpret_cast<LPARAM>(&state));
    return text;
}

UINT GetMessageBoxIcon(HWND hBox)
{
    CString text;
    TextState state = {&text, 0};
    EnumChildWindows(hBox, ReadStatic, reinterpret_cast<LPARAM>(&state));
    return state.nIcon;
}

BOOL PressButton(HWND hDlg, int nId)
{
    HWND hButton = GetDlgItem(hDlg, nId);
    return PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), reinterpret_cast<LPARAM>(hButton));
}

BOOL ClickButton(HWND hDlg, int nId)
{
    HWND hButton = GetDlgItem(hDlg, nId);
    return hButton && PostMessageA(hButton, BM_CLICK, 0, 0);
}

std::vector<HWND> ListTopWindows(DWORD dwProcessId)
{
    std::vector<HWND> windows;
    ListState state = {dwProcessId, &windows};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&state));
    return windows;
}
