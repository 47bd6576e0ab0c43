// For tests that create program groups: what a group's shortcut starts,
// and the helper processes that the desktop's explorer, which serves Program
// Manager, starts meanwhile, ended when the test is done.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

// Calls read with the shortcut loaded; false when it cannot be loaded.
inline bool ReadLink(const std::string& strLink, const std::function<void(IShellLinkA*)>& read)
{
    IShellLinkA* pLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&pLink))))
        return false;
    bool bLoaded = false;
    IPersistFile* pFile = nullptr;
    if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile)))) {
        WCHAR wsz[MAX_PATH];
        bLoaded = MultiByteToWideChar(CP_ACP, 0, strLink.c_str(), -1, wsz, MAX_PATH)
                  && SUCCEEDED(pFile->Load(wsz, STGM_READ));
        pFile->Release();
    }
    if (bLoaded)
        read(pLink);
    pLink->Release();
    return bLoaded;
}

inline std::string LinkTarget(const std::string& strLink)
{
    char sz[MAX_PATH] = "";
    ReadLink(strLink, [&sz](IShellLinkA* pLink) {
        if (FAILED(pLink->GetPath(sz, MAX_PATH, nullptr, 0)))
            sz[0] = '\0';
    });
    return sz;
}

// What a shortcut starts and how it shows: target, arguments, working
// directory, description, icon and window state, without the dates of the
// target that its bytes hold.
inline std::string LinkSettings(const std::string& strLink)
{
    std::string strSettings = "unreadable";
    ReadLink(strLink, [&strSettings](IShellLinkA* pLink) {
        char szPath[MAX_PATH] = "", szArguments[MAX_PATH] = "", szDir[MAX_PATH] = "", szDescription[MAX_PATH] = "",
             szIcon[MAX_PATH] = "";
        int nIcon = 0, nShow = 0;
        pLink->GetPath(szPath, MAX_PATH, nullptr, 0);
        pLink->GetArguments(szArguments, MAX_PATH);
        pLink->GetWorkingDirectory(szDir, MAX_PATH);
        pLink->GetDescription(szDescription, MAX_PATH);
        pLink->GetIconLocation(szIcon, MAX_PATH, &nIcon);
        pLink->GetShowCmd(&nShow);
        strSettings = std::string(szPath) + " | " + szArguments + " | " + szDir + " | " + szDescription + " | "
                      + szIcon + "," + std::to_string(nIcon) + " | " + std::to_string(nShow);
    });
    return strSettings;
}

struct CProcessInfo {
    DWORD dwId;
    DWORD dwParentId;
    std::string strExe;
};

inline std::vector<CProcessInfo> Processes()
{
    std::vector<CProcessInfo> processes;
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return processes;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL b = Process32First(hSnap, &entry); b; b = Process32Next(hSnap, &entry))
        processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    CloseHandle(hSnap);
    return processes;
}

// Helpers that the desktop's explorer, which serves Program Manager, starts
// for the test: a folder window for every CreateGroup, which takes seconds to
// show and would outlive the test, and a menu builder for every new link,
// which writes menu entries on the host and can hold the link while the
// group is being deleted. Ends those started after construction.
class CDesktopHelpers {
public:
    CDesktopHelpers()
    {
        for (const CProcessInfo& process : Processes()) {
            m_before.insert(process.dwId);
            if (lstrcmpiA(process.strExe.c_str(), "explorer.exe") == 0)
                m_desktops.insert(process.dwId);
        }
    }
    CDesktopHelpers(const CDesktopHelpers&) = delete;
    CDesktopHelpers& operator=(const CDesktopHelpers&) = delete;
    ~CDesktopHelpers() { End(nullptr); }

    // Ends the new helpers running pszExe, or all new helpers for nullptr.
    void End(const char* pszExe)
    {
        for (const CProcessInfo& process : Processes())
            if (!m_before.count(process.dwId) && m_desktops.count(process.dwParentId)
                && (!pszExe || lstrcmpiA(process.strExe.c_str(), pszExe) == 0))
                EndProcess(process.dwId);
    }

private:
    static void EndProcess(DWORD dwId)
    {
        HANDLE hProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, dwId);
        if (!hProcess)
            return;
        if (TerminateProcess(hProcess, 0))
            WaitForSingleObject(hProcess, 10000);
        CloseHandle(hProcess);
    }

    std::set<DWORD> m_before;
    std::set<DWORD> m_desktops;
};
