#include "CWnd.h"

void CWnd::CenterWindow()
{
    RECT rcArea;
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && IsWindowVisible(hOwner) && !IsIconic(hOwner))
        GetWindowRect(hOwner, &rcArea);
    else if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0))
        return;
    RECT rc;
    if (!GetWindowRect(m_hWnd, &rc))
        return;
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    int x = rcArea.left + (rcArea.right - rcArea.left - cx) / 2;
    int y = rcArea.top + (rcArea.bottom - rcArea.top - cy) / 2;
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
