#include "Backdrop.h"

#include <cstring>

namespace {
const int BAND_COUNT = 256;

void FillBands(HDC hDC, int cx, int cy)
{
    float s = static_cast<float>(cy - 1) * 0.00390625f;
    for (int i = 0; i < BAND_COUNT; ++i) {
        RECT rc = {0, static_cast<int>(static_cast<float>(i) * s), cx - 1,
                   static_cast<int>(static_cast<float>(i + 1) * s)};
        HBRUSH hBrush = CreateSolidBrush(RGB(0, 0, 255 - i));
        if (!hBrush)
            continue;
        FillRect(hDC, &rc, hBrush);
        DeleteObject(hBrush);
    }
}

void DrawTitle(HDC hDC, const char* pszText)
{
    HFONT hFont = CreateFontA(36, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              VARIABLE_PITCH | FF_ROMAN, nullptr);
    HGDIOBJ hOldFont = hFont ? SelectObject(hDC, hFont) : nullptr;
    SetBkMode(hDC, TRANSPARENT);
    int nLength = static_cast<int>(strlen(pszText));
    SetTextColor(hDC, RGB(0, 0, 50));
    TextOutA(hDC, 29, 29, pszText, nLength);
    SetTextColor(hDC, RGB(255, 255, 255));
    TextOutA(hDC, 25, 22, pszText, nLength);
    if (hFont) {
        SelectObject(hDC, hOldFont);
        DeleteObject(hFont);
    }
}
}

BOOL PaintBackdrop(CMemoryDC& memDC, HDC hRefDC, int cx, int cy, const char* pszProductName)
{
    memDC.Create(hRefDC, cx, cy);
    HDC hDC = memDC.GetSafeHdc();
    if (!hDC)
        return TRUE;
    FillBands(hDC, cx, cy);
    DrawTitle(hDC, pszProductName);
    return TRUE;
}
