// Brings a fresh Wine prefix's desktop and services up before the tests
// start, with its output sent nowhere, so that they do not inherit a test's
// standard output. Wine ends the desktop when the last program with a window
// ends, and the next test's window would start it again, now with that
// test's output: started with "hold", winewarm keeps its hidden window until
// the prefix's server is ended.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int)
{
    HWND hWnd = CreateWindowExA(0, "STATIC", "warm", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                hInstance, nullptr);
    if (!hWnd)
        return 1;
    MSG msg;
    if (strcmp(pszCmdLine, "hold") == 0) {
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    } else {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    DestroyWindow(hWnd);
    return 0;
}
