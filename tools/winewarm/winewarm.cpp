// Creates one window and ends: run once in a fresh Wine prefix, with its
// output sent nowhere, so that the prefix's desktop and services are up
// before the tests start and do not inherit a test's standard output.
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    HWND hWnd = CreateWindowExA(0, "STATIC", "warm", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                hInstance, nullptr);
    if (!hWnd)
        return 1;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(hWnd);
    return 0;
}
