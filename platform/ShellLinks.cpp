#include "ShellLinks.h"

#include "FileUtil.h"
#include "Progman.h"

#include <shlobj.h>

#include <vector>

namespace {

BOOL RefuseWith(HRESULT hr)
{
    SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr));
    return FALSE;
}

// The thread's COM library for one call; a thread that already has it in
// another mode keeps it.
class CComLibrary {
public:
    CComLibrary() : m_hr(CoInitialize(nullptr)) {}
    CComLibrary(const CComLibrary&) = delete;
    CComLibrary& operator=(const CComLibrary&) = delete;
    ~CComLibrary()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    HRESULT Result() const { return m_hr == RPC_E_CHANGED_MODE ? S_OK : m_hr; }

private:
    HRESULT m_hr;
};

// One interface pointer, released when the object goes.
template <class TInterface>
class CInterfacePtr {
public:
    CInterfacePtr() = default;
    CInterfacePtr(const CInterfacePtr&) = delete;
    CInterfacePtr& operator=(const CInterfacePtr&) = delete;
    ~CInterfacePtr()
    {
        if (m_p)
            m_p->Release();
    }
    TInterface* operator->() const { return m_p; }
    void** Out() { return reinterpret_cast<void**>(&m_p); }

private:
    TInterface* m_p = nullptr;
};

HRESULT SaveLink(const char* pszLink, const char* pszCommand)
{
    CInterfacePtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = link->SetPath(pszCommand))
        || FAILED(hr = link->SetWorkingDirectory(GetDirectoryFromPath(pszCommand))))
        return hr;
    CInterfacePtr<IPersistFile> file;
    if (FAILED(hr = link->QueryInterface(IID_IPersistFile, file.Out())))
        return hr;
    int cch = MultiByteToWideChar(CP_ACP, 0, pszLink, -1, nullptr, 0);
    if (cch == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    std::vector<WCHAR> wide(static_cast<size_t>(cch));
    if (MultiByteToWideChar(CP_ACP, 0, pszLink, -1, wide.data(), cch) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return file->Save(wide.data(), TRUE);
}

}

CString GetCommonProgramFolder(const char* pszFolder)
{
    return GetProgramsMenuFolder(CSIDL_COMMON_PROGRAMS, pszFolder);
}

// The link object may report success for a file it did not write: the link
// counts once it can be found.
BOOL CreateShellLink(const char* pszLink, const char* pszCommand)
{
    CComLibrary com;
    if (FAILED(com.Result()))
        return RefuseWith(com.Result());
    HRESULT hr = SaveLink(pszLink, pszCommand);
    if (FAILED(hr))
        return RefuseWith(hr);
    DWORD dwExists = CheckFileExists(pszLink);
    if (dwExists != ERROR_SUCCESS) {
        SetLastError(dwExists);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveShellLinks(const char* pszFolder, const CStringArray& captions, BOOL bDeleteEmptyFolder)
{
    DWORD dwError = ERROR_SUCCESS;
    for (int i = 0; i < captions.GetSize(); ++i)
        if (!captions[i].IsEmpty() && !DeleteFileAnyway(GetProgmanItemLink(pszFolder, captions[i])))
            dwError = GetLastError();
    if (dwError == ERROR_SUCCESS && bDeleteEmptyFolder && IsEmptyDirectory(pszFolder) && !RemoveDirectoryA(pszFolder)
        && !IsNotFound(GetLastError()))
        dwError = GetLastError();
    SetLastError(dwError);
    return dwError == ERROR_SUCCESS;
}
