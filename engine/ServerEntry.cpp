#include "ServerEntry.h"

#include "framework/SystemLibraries.h"

#include <ole2.h>

#include <cstring>

const char SWITCH_REGISTER_SERVER[] = "/RegServer";
const char SWITCH_UNREGISTER_SERVER[] = "/UnregServer";

namespace {
typedef HRESULT(STDAPICALLTYPE* PFNDLLSERVERENTRY)();

// "X:\..." or "\\server\...": a relative name would be searched for.
BOOL IsFullPath(const char* pszPath)
{
    BOOL bDrive = pszPath[0] && pszPath[1] == ':' && pszPath[2] == '\\';
    BOOL bNetwork = pszPath[0] == '\\' && pszPath[1] == '\\';
    return bDrive || bNetwork;
}

// Ends the process as it stands: the faulting library's own detach code
// is not run again.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* pException)
{
    TerminateProcess(GetCurrentProcess(), pException->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD CallLoadedEntry(HMODULE hLibrary, const char* pszEntry)
{
    FARPROC pfnEntry = GetProcAddress(hLibrary, pszEntry);
    if (!pfnEntry)
        return SERVER_ENTRY_NO_EXPORT;
    // Through a plain function pointer type: FARPROC's own return type is
    // not the entry's.
    HRESULT hr = reinterpret_cast<PFNDLLSERVERENTRY>(reinterpret_cast<void (*)()>(pfnEntry))();
    return FAILED(hr) ? static_cast<DWORD>(hr) : SERVER_ENTRY_DONE;
}
}

const char* ServerEntryOfSwitch(const char* pszSwitch)
{
    if (_stricmp(pszSwitch, SWITCH_REGISTER_SERVER) == 0)
        return "DllRegisterServer";
    if (_stricmp(pszSwitch, SWITCH_UNREGISTER_SERVER) == 0)
        return "DllUnregisterServer";
    return nullptr;
}

DWORD CallServerEntry(const char* pszPath, const char* pszEntry)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnFault);
    if (!IsFullPath(pszPath))
        return SERVER_ENTRY_NO_LIBRARY;
    if (FAILED(OleInitialize(nullptr)))
        return SERVER_ENTRY_NO_COM;
    DWORD dwResult = SERVER_ENTRY_NO_LIBRARY;
    HMODULE hLibrary = LoadLibraryBesideItsDependencies(pszPath);
    if (reinterpret_cast<UINT_PTR>(hLibrary) >= 32) {
        dwResult = CallLoadedEntry(hLibrary, pszEntry);
        FreeLibrary(hLibrary);
    }
    OleUninitialize();
    return dwResult;
}
