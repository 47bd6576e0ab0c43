// A self-registering library. DllRegisterServer notes that it ran as the
// value HKLM\Software\SetupTests\Registered "<own file name>" = own full
// path, and DllUnregisterServer deletes that value (and the key when it is
// left empty); both then answer PAYLOAD_REGISTER_RESULT (a failure of the note itself
// is answered as that failure). With PAYLOAD_REGISTER_SLEEP_MS it first
// sets the named event "SetupTestsRegistering" and keeps its caller busy
// that long (INFINITE: it never returns). With PAYLOAD_REGISTER_CRASH it
// writes to address 0 instead.
#include <windows.h>

#include <cstdint>

#include <cstring>

#ifndef PAYLOAD_REGISTER_SLEEP_MS
#define PAYLOAD_REGISTER_SLEEP_MS 0
#endif
#ifndef PAYLOAD_REGISTER_CRASH
#define PAYLOAD_REGISTER_CRASH 0
#endif

namespace {
HINSTANCE g_hInstance = nullptr;
const char REGISTERED_KEY[] = "Software\\SetupTests\\Registered";

// The library's own full path and, in it, its file name; 0 when the path
// does not fit.
DWORD OwnPath(char (&szPath)[MAX_PATH], const char*& pszName)
{
    DWORD dwLength = GetModuleFileNameA(g_hInstance, szPath, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH)
        return 0;
    pszName = strrchr(szPath, '\\');
    pszName = pszName ? pszName + 1 : szPath;
    return dwLength;
}

HRESULT NoteRegistration()
{
    char szPath[MAX_PATH];
    const char* pszName = nullptr;
    DWORD dwLength = OwnPath(szPath, pszName);
    if (dwLength == 0)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    HKEY hKey = nullptr;
    LONG lResult = RegCreateKeyExA(HKEY_LOCAL_MACHINE, REGISTERED_KEY, 0, nullptr, 0,
                                   KEY_SET_VALUE, nullptr, &hKey, nullptr);
    if (lResult != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lResult);
    lResult = RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(szPath),
                             dwLength + 1);
    LONG lClose = RegCloseKey(hKey);
    if (lResult == ERROR_SUCCESS)
        lResult = lClose;
    return lResult == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(lResult);
}
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        g_hInstance = hInstance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    if (PAYLOAD_REGISTER_CRASH) {
        // Raised rather than provoked: the emulated 32-bit processor reports
        // a write to address 0 as an illegal instruction.
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
    if (PAYLOAD_REGISTER_SLEEP_MS > 0) {
        HANDLE hStarted = CreateEventA(nullptr, TRUE, FALSE, "SetupTestsRegistering");
        if (hStarted) {
            SetEvent(hStarted);
            CloseHandle(hStarted);
        }
        Sleep(PAYLOAD_REGISTER_SLEEP_MS);
    }
    HRESULT hr = NoteRegistration();
    return FAILED(hr) ? hr : PAYLOAD_REGISTER_RESULT;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    char szPath[MAX_PATH];
    const char* pszName = nullptr;
    if (OwnPath(szPath, pszName) == 0)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

    HKEY hKey = nullptr;
    LONG lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, REGISTERED_KEY, 0, KEY_ALL_ACCESS, &hKey);
    if (lResult != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(lResult);
    lResult = RegDeleteValueA(hKey, pszName);
    DWORD dwValues = 1;
    RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &dwValues, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(hKey);
    // Other libraries' notes keep the key.
    if (dwValues == 0)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, REGISTERED_KEY);
    return lResult == ERROR_SUCCESS ? PAYLOAD_REGISTER_RESULT : HRESULT_FROM_WIN32(lResult);
}
