// A library planted beside a program under the name of a system library
// (version.dll, comctl32.dll). Once loaded it notes its own path as the
// value HKLM\Software\SetupTests\Planted "<path>". It exports nothing: a
// program bound to it at load time would not even start.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char szPath[MAX_PATH];
    DWORD dwLength = GetModuleFileNameA(hInstance, szPath, MAX_PATH);
    HKEY hKey = nullptr;
    if (dwLength > 0 && dwLength < MAX_PATH
        && RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\SetupTests\\Planted", 0, nullptr, 0, KEY_SET_VALUE,
                           nullptr, &hKey, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(hKey, szPath, 0, REG_SZ, reinterpret_cast<const BYTE*>("loaded"), 7);
        RegCloseKey(hKey);
    }
    return TRUE;
}
