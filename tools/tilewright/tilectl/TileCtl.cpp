// The Tilewright ActiveX control library: it registers its class so that
// containers can find it, and removes the registration again.
#include "../tileshr/TileShr.h"

#include <windows.h>

namespace {
const char CLSID_KEY[] = "CLSID\\{5C7E2A31-8D4B-4F1A-9E63-2B7D1C9A4E10}";
const char PROGID_KEY[] = "Tilewright.TileView";
const char CLSID_TEXT[] = "{5C7E2A31-8D4B-4F1A-9E63-2B7D1C9A4E10}";
// The tile format the control shows: registered only against a shared
// library that reads it.
const int TILE_FORMAT_VERSION = 0x0100;

HMODULE g_hModule = nullptr;

bool SetValue(const char* pszKey, const char* pszName, const char* pszData)
{
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, pszKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszData),
                            static_cast<DWORD>(lstrlenA(pszData) + 1));
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS;
}
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        g_hModule = hInstance;
    return TRUE;
}

// Deletes a key with everything below it.
static LONG DeleteTree(HKEY hParent, const char* pszKey)
{
    HKEY hKey;
    LONG r = RegOpenKeyExA(hParent, pszKey, 0, KEY_READ | KEY_WRITE, &hKey);
    if (r != ERROR_SUCCESS)
        return r;
    char szChild[256];
    while (RegEnumKeyA(hKey, 0, szChild, sizeof szChild) == ERROR_SUCCESS)
        if ((r = DeleteTree(hKey, szChild)) != ERROR_SUCCESS)
            break;
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS ? RegDeleteKeyA(hParent, pszKey) : r;
}

extern "C" HRESULT __stdcall DllRegisterServer()
{
    if (TileFormatVersion() != TILE_FORMAT_VERSION)
        return E_FAIL;
    char szPath[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_hModule, szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return E_FAIL;
    char szServer[sizeof CLSID_KEY + 32];
    wsprintfA(szServer, "%s\\InprocServer32", CLSID_KEY);
    char szProgId[sizeof PROGID_KEY + 16];
    wsprintfA(szProgId, "%s\\CLSID", PROGID_KEY);
    bool ok = SetValue(CLSID_KEY, nullptr, "Tilewright TileView Control") && SetValue(szServer, nullptr, szPath) &&
              SetValue(szServer, "ThreadingModel", "Apartment") && SetValue(PROGID_KEY, nullptr, "Tilewright TileView Control") &&
              SetValue(szProgId, nullptr, CLSID_TEXT);
    return ok ? S_OK : E_FAIL;
}

extern "C" HRESULT __stdcall DllUnregisterServer()
{
    if (TileFormatVersion() != TILE_FORMAT_VERSION)
        return E_FAIL;
    LONG a = DeleteTree(HKEY_CLASSES_ROOT, CLSID_KEY);
    LONG b = DeleteTree(HKEY_CLASSES_ROOT, PROGID_KEY);
    bool ok = (a == ERROR_SUCCESS || a == ERROR_FILE_NOT_FOUND) && (b == ERROR_SUCCESS || b == ERROR_FILE_NOT_FOUND);
    return ok ? S_OK : E_FAIL;
}
