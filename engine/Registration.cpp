// Self-registration of the installed libraries: each marked file is loaded
// and its "DllRegisterServer" entry called, each under a COM initialisation
// of its own.
#include "SetupMngr.h"

#include "platform/FileUtil.h"

#include <ole2.h>

namespace {
typedef HRESULT(STDAPICALLTYPE* PFNDLLREGISTERSERVER)();

// A file with only FILE_REGISTER_ABSENT is registered when it is not there,
// which the copy phase never leaves; such a load fails and is reported.
BOOL WantsRegistration(DWORD dwFlags, BOOL bAbsent)
{
    return (dwFlags & FILE_REGISTER) || ((dwFlags & FILE_REGISTER_ABSENT) && bAbsent);
}

BOOL CallRegisterEntry(const char* pszPath)
{
    HMODULE hLibrary = LoadLibraryA(pszPath);
    if (reinterpret_cast<UINT_PTR>(hLibrary) < 32)
        return FALSE;
    FARPROC pfnEntry = GetProcAddress(hLibrary, "DllRegisterServer");
    // Through a plain function pointer type: FARPROC's own return type is
    // not the entry's.
    BOOL bRegistered = pfnEntry
                       && SUCCEEDED(reinterpret_cast<PFNDLLREGISTERSERVER>(
                           reinterpret_cast<void (*)()>(pfnEntry))());
    FreeLibrary(hLibrary);
    return bRegistered;
}
}

BOOL CSetupMngr::RegisterServer(const CString& strPath)
{
    if (FAILED(OleInitialize(nullptr)))
        return FALSE;
    BOOL bRegistered = CallRegisterEntry(strPath);
    OleUninitialize();
    return bRegistered;
}

BOOL CSetupMngr::RegisterDlls()
{
    CObject* pItem;
    for (int n = GetFirstItem(pItem); n != ITEM_END; n = GetNextItem(pItem)) {
        if (n != ITEM_FILE)
            continue;
        const CInstalledFile* pFile = static_cast<const CInstalledFile*>(pItem);
        DWORD dwExists = CheckFileExists(pFile->m_strPath);
        if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND)
            return FALSE;
        if (!WantsRegistration(pFile->m_dwFlags, dwExists == ERROR_FILE_NOT_FOUND))
            continue;
        if (!RegisterServer(pFile->m_strPath)) {
            if (m_pfnCallback)
                m_pfnCallback(SCB_ERROR, SCBE_DLLREGISTER, 0);
            return FALSE;
        }
    }
    return TRUE;
}
