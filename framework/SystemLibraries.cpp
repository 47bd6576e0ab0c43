#include "SystemLibraries.h"

#include <windows.h>

#include <delayimp.h>

#include <cstring>

namespace {
typedef BOOL(WINAPI* PFNSETDEFAULTDLLDIRECTORIES)(DWORD);
typedef BOOL(WINAPI* PFNSETDLLDIRECTORYA)(LPCSTR);

FARPROC KernelFunction(const char* pszName)
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    return hKernel ? GetProcAddress(hKernel, pszName) : nullptr;
}

// SetDefaultDllDirectories is there from Windows 8 on, and on Vista and 7
// with the update that brought it; SetDllDirectoryA from XP SP1 on, which
// at least takes the current directory out of the search. Without either
// the search stays as the system has it.
void RestrictSearch()
{
    FARPROC pfnDefault = KernelFunction("SetDefaultDllDirectories");
    if (pfnDefault
        && reinterpret_cast<PFNSETDEFAULTDLLDIRECTORIES>(reinterpret_cast<void (*)()>(pfnDefault))(
            LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    FARPROC pfnDirectory = KernelFunction("SetDllDirectoryA");
    if (pfnDirectory)
        reinterpret_cast<PFNSETDLLDIRECTORYA>(reinterpret_cast<void (*)()>(pfnDirectory))("");
}

// The libraries the programs bind at their first call (CMakeLists.txt
// makes the programs so).
const char* const BOUND_AT_FIRST_CALL[] = {"user32.dll",  "gdi32.dll",    "advapi32.dll", "ole32.dll",
                                           "shell32.dll", "comctl32.dll", "version.dll"};

HMODULE LoadFromSystemDirectory(const char* pszName)
{
    char szPath[MAX_PATH];
    UINT nDir = GetSystemDirectoryA(szPath, MAX_PATH);
    size_t nName = strlen(pszName);
    if (nDir == 0 || nDir + 1 + nName >= MAX_PATH)
        return nullptr;
    szPath[nDir] = '\\';
    memcpy(szPath + nDir + 1, pszName, nName + 1);
    return LoadLibraryA(szPath);
}

// Should a system library not load from the system directory, a search by
// name could find a planted one: the program ends instead.
HMODULE LoadFromSystemDirectoryOrEnd(const char* pszName)
{
    HMODULE hModule = LoadFromSystemDirectory(pszName);
    if (!hModule)
        FatalAppExitA(0, "A system library cannot be loaded from the system directory.");
    return hModule;
}

// Restricts the search, then loads every library the programs bind at
// first call, once. Some system libraries load others by name through a
// search that does not keep to the restriction (Wine's own libraries bind
// theirs at first call so, with the program's folder first); a library
// already loaded is found by its name instead.
void RestrictSearchAndLoadAll()
{
    static bool s_bDone = false;
    if (s_bDone)
        return;
    s_bDone = true;
    RestrictSearch();
    for (const char* pszName : BOUND_AT_FIRST_CALL)
        LoadFromSystemDirectoryOrEnd(pszName);
}

// The delay-load helper asks before it loads a library by name. The first
// time it asks, whichever static constructor or window call binds the
// first library, the search is restricted and the libraries are loaded.
FARPROC WINAPI LoadBoundLibrary(unsigned dliNotify, PDelayLoadInfo pdli)
{
    if (dliNotify != dliNotePreLoadLibrary)
        return nullptr;
    RestrictSearchAndLoadAll();
    return reinterpret_cast<FARPROC>(LoadFromSystemDirectoryOrEnd(pdli->szDll));
}
}

// Set before any code runs: a constant, not a constructor's work.
PfnDliHook __pfnDliNotifyHook2 = LoadBoundLibrary;

void LoadLibrariesFromSystemDirectoryOnly()
{
    RestrictSearchAndLoadAll();
}

// Systems that do not know the flags fail the call with
// ERROR_INVALID_PARAMETER; there the library's own folder replaces the
// program's in the search.
HMODULE LoadLibraryBesideItsDependencies(const char* pszPath)
{
    HMODULE hLibrary = LoadLibraryExA(pszPath, nullptr,
                                      LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!hLibrary && GetLastError() == ERROR_INVALID_PARAMETER)
        hLibrary = LoadLibraryExA(pszPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return hLibrary;
}
