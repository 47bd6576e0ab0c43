#include "ServerEntry.h"
#include "RegistryCapture.h"

#include "framework/SystemLibraries.h"

#include <ole2.h>

const char SWITCH_REGISTER_SERVER[] = "/RegServer";

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

// The library is loaded before the keys are redirected: the loader and the
// library's own start read the real registry; only what the entry writes
// is captured.
DWORD CallLoadedEntry(HMODULE hLibrary, const char* pszScratchKey)
{
    FARPROC pfnEntry = GetProcAddress(hLibrary, "DllRegisterServer");
    if (!pfnEntry)
        return SERVER_ENTRY_NO_EXPORT;
    CKeyRedirection redirection;
    if (redirection.Redirect(pszScratchKey) != ERROR_SUCCESS)
        return SERVER_ENTRY_NO_SCRATCH;
    // Through a plain function pointer type: FARPROC's own return type is
    // not the entry's.
    HRESULT hr = reinterpret_cast<PFNDLLSERVERENTRY>(reinterpret_cast<void (*)()>(pfnEntry))();
    return FAILED(hr) ? static_cast<DWORD>(hr) : SERVER_ENTRY_DONE;
}
}

DWORD CallServerEntry(const char* pszPath, const char* pszScratchName)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnFault);
    if (!IsFullPath(pszPath))
        return SERVER_ENTRY_NO_LIBRARY;
    CString strScratchKey;
    if (!ScratchKeyOfFullName(pszScratchName, strScratchKey))
        return SERVER_ENTRY_NO_SCRATCH;
    if (FAILED(OleInitialize(nullptr)))
        return SERVER_ENTRY_NO_COM;
    DWORD dwResult = SERVER_ENTRY_NO_LIBRARY;
    HMODULE hLibrary = LoadLibraryBesideItsDependencies(pszPath);
    if (reinterpret_cast<UINT_PTR>(hLibrary) >= 32) {
        dwResult = CallLoadedEntry(hLibrary, strScratchKey);
        FreeLibrary(hLibrary);
    }
    OleUninitialize();
    return dwResult;
}
