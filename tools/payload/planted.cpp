// A library planted beside a program under the name of a system library or
// of a library that an installed one binds. Once loaded it leaves the file
// "<own path>.loaded" beside itself. It binds nothing but kernel32.dll (and
// the C runtime), so that it loads and leaves its mark under any name, and
// exports nothing: a program that binds it would not get far.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char szMark[MAX_PATH];
    const char SUFFIX[] = ".loaded";
    DWORD dwLength = GetModuleFileNameA(hInstance, szMark, MAX_PATH);
    if (dwLength == 0 || dwLength + sizeof SUFFIX > MAX_PATH)
        return TRUE;
    lstrcpyA(szMark + dwLength, SUFFIX);
    HANDLE hMark = CreateFileA(szMark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hMark != INVALID_HANDLE_VALUE)
        CloseHandle(hMark);
    return TRUE;
}
