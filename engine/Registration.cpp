// Self-registration of the installed libraries: each marked file is loaded
// and its "DllRegisterServer" entry called, each under a COM initialisation
// of its own. A failed run asks the libraries it registered and then
// deletes to unregister, through "DllUnregisterServer".
#include "SetupMngr.h"

#include "framework/SystemLibraries.h"
#include "platform/FileUtil.h"

#include <ole2.h>

namespace {
typedef HRESULT(STDAPICALLTYPE* PFNDLLSERVERENTRY)();

// A file with only FILE_REGISTER_ABSENT is registered when it is not there,
// which the copy phase never leaves; such a load fails and is reported.
BOOL WantsRegistration(DWORD dwFlags, BOOL bAbsent)
{
    return (dwFlags & FILE_REGISTER) || ((dwFlags & FILE_REGISTER_ABSENT) && bAbsent);
}

BOOL CallServerEntry(const char* pszPath, const char* pszEntry)
{
    HMODULE hLibrary = LoadLibraryBesideItsDependencies(pszPath);
    if (reinterpret_cast<UINT_PTR>(hLibrary) < 32)
        return FALSE;
    FARPROC pfnEntry = GetProcAddress(hLibrary, pszEntry);
    // Through a plain function pointer type: FARPROC's own return type is
    // not the entry's.
    BOOL bSucceeded = pfnEntry
                       && SUCCEEDED(reinterpret_cast<PFNDLLSERVERENTRY>(
                           reinterpret_cast<void (*)()>(pfnEntry))());
    FreeLibrary(hLibrary);
    return bSucceeded;
}

BOOL CallUnderOle(const char* pszPath, const char* pszEntry)
{
    if (FAILED(OleInitialize(nullptr)))
        return FALSE;
    BOOL bCalled = CallServerEntry(pszPath, pszEntry);
    OleUninitialize();
    return bCalled;
}
}

BOOL CSetupMngr::RegisterServer(const CString& strPath)
{
    return CallUnderOle(strPath, "DllRegisterServer");
}

BOOL CSetupMngr::UnregisterServer(const CString& strPath)
{
    return CallUnderOle(strPath, "DllUnregisterServer");
}

BOOL CSetupMngr::RegisterDlls()
{
    CObject* pItem;
    for (int n = GetFirstItem(pItem); n != ITEM_END; n = GetNextItem(pItem)) {
        if (n != ITEM_FILE)
            continue;
        CInstalledFile* pFile = static_cast<CInstalledFile*>(pItem);
        DWORD dwExists = CheckFileExists(pFile->m_strPath);
        if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND)
            return FALSE;
        if (!WantsRegistration(pFile->m_dwFlags, dwExists == ERROR_FILE_NOT_FOUND))
            continue;
        BOOL bRegistered = RegisterServer(pFile->m_strPath);
        Log("self-registration: %s: %s", static_cast<const char*>(pFile->m_strPath),
            bRegistered ? "registered" : "failed");
        if (!bRegistered) {
            if (m_pfnCallback)
                ReportError(SCBE_DLLREGISTER, 0);
            return FALSE;
        }
        m_rollback.m_registeredFiles.AddTail(pFile);
    }
    return TRUE;
}
