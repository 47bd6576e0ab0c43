#include "SystemLibraries.h"

#include <windows.h>

#include <delayimp.h>

#include <cstring>

namespace {
typedef BOOL(WINAPI* PFNSETDLLDIRECTORYA)(LPCSTR);

// The delay-load helper asks before it loads a library by name. Should the
// system directory's copy not load, the helper's own search by name could
// find a planted one: the program ends instead.
FARPROC WINAPI LoadFromSystemDirectory(unsigned dliNotify, PDelayLoadInfo pdli)
{
    if (dliNotify != dliNotePreLoadLibrary)
        return nullptr;
    char szPath[MAX_PATH];
    UINT nDir = GetSystemDirectoryA(szPath, MAX_PATH);
    size_t nName = strlen(pdli->szDll);
    HMODULE hModule = nullptr;
    if (nDir > 0 && nDir + 1 + nName < MAX_PATH) {
        szPath[nDir] = '\\';
        memcpy(szPath + nDir + 1, pdli->szDll, nName + 1);
        hModule = LoadLibraryA(szPath);
    }
    if (!hModule)
        FatalAppExitA(0, "A system library cannot be loaded from the system directory.");
    return reinterpret_cast<FARPROC>(hModule);
}
}

// SetDllDirectoryA is there from Windows XP SP1 on; without it the search
// stays as the system has it.
void LoadLibrariesFromSystemDirectoryOnly()
{
    __pfnDliNotifyHook2 = LoadFromSystemDirectory;
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    FARPROC pfn = hKernel ? GetProcAddress(hKernel, "SetDllDirectoryA") : nullptr;
    if (pfn)
        reinterpret_cast<PFNSETDLLDIRECTORYA>(reinterpret_cast<void (*)()>(pfn))("");
}
