// Mapsmith, the resource editor of Tilewright: opens the ".tlr" document
// named on its command line and shows its name and first line.
#include <windows.h>

#include <string>

namespace {
std::string g_text = "Mapsmith - no document";

std::string Unquote(std::string arg)
{
    while (!arg.empty() && arg.front() == ' ')
        arg.erase(0, 1);
    if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"')
        arg = arg.substr(1, arg.size() - 2);
    return arg;
}

std::string DescribeDocument(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "Mapsmith - cannot open " + path;
    char buf[128] = {};
    DWORD n = 0;
    ReadFile(h, buf, sizeof buf - 1, &n, nullptr);
    CloseHandle(h);
    std::string first(buf, n);
    first = first.substr(0, first.find_first_of("\r\n"));
    std::string name = path.substr(path.find_last_of('\\') + 1);
    return "Mapsmith - " + name + ": " + first;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(hWnd, &ps);
        TextOutA(hDC, 10, 10, g_text.c_str(), static_cast<int>(g_text.size()));
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int nShow)
{
    std::string doc = Unquote(pszCmdLine);
    if (!doc.empty())
        g_text = DescribeDocument(doc);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "MapsmithWindow";
    if (!RegisterClassA(&wc))
        return 1;
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, g_text.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 500, 200, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    ShowWindow(hWnd, nShow);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
