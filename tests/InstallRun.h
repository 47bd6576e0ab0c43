// Whole installs of the Tilewright medium by the real Setup.exe, for the
// tests that drive it like a user: the product's places on the machine, the
// media made with mkmedium, and a driver that walks the wizard and answers
// every box the installer shows afterwards.
#pragma once

#include "ChildProcess.h"
#include "TestMedium.h"
#include "TestPaths.h"

#include "framework/CHandle.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "tools/guidriver/GuiDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

const DWORD INSTALL_WAIT_MS = 60000;
const char INSTALL_DEST[] = "C:\\Tilewright";
const char KEY_APP_PATHS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Mapsmith.exe";
const char KEY_UNINSTALL[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tilewright";
const char KEY_SHARED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char KEY_CONTROL_CLSID[] = "CLSID\\{5C7E2A31-8D4B-4F1A-9E63-2B7D1C9A4E10}";
// Where the setup makes the scratch keys of the libraries' registrations.
const char KEY_SCRATCH_PARENT[] = "Software\\Tilewright Setup";
const char MSG_SUCCESS[] = "The Setup was completed successfully.";
const char MSG_NOT_FINISHED[] = "The Setup was not finished completely.";

inline std::string Stage(const char* pszRelative)
{
    return BuildPath("tilewright") + "\\" + pszRelative;
}

inline std::string SystemDir()
{
    char sz[MAX_PATH];
    GetSystemDirectoryA(sz, MAX_PATH);
    return sz;
}

inline std::string SharedLibrary()
{
    return SystemDir() + "\\TileShr.dll";
}

// The files of the manifest: installed place and staged source.
inline std::map<std::string, std::string> ProductFiles()
{
    return {
        {"Mapsmith.exe", "bin\\Mapsmith.exe"},
        {"Tilewrig.ocx", "bin\\Tilewrig.ocx"},
        {"Tilewrig.hlp", "data\\Tilewrig.hlp"},
        {"Mapsmith.hlp", "data\\Mapsmith.hlp"},
        {"ReadMe.txt", "data\\ReadMe.txt"},
        {"VB\\Joust\\Joust.vbp", "data\\VB\\Joust\\Joust.vbp"},
        {"VB\\Joust\\Joust.tlr", "data\\VB\\Joust\\Joust.tlr"},
        {"VB\\Orbit\\Orbit.vbp", "data\\VB\\Orbit\\Orbit.vbp"},
        {"VB\\Orbit\\Orbit.tlr", "data\\VB\\Orbit\\Orbit.tlr"},
        {"Delphi\\Joust\\Joust.exe", "bin\\Joust.exe"},
        {"Delphi\\Orbit\\Orbit.exe", "bin\\Orbit.exe"},
        {"Maps\\World.tlr", "data\\World.tlr"},
    };
}

inline std::string RegString(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    HKEY hKey;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return "<no key>";
    char sz[1024] = {};
    DWORD cb = sizeof sz - 1, type = 0;
    LONG r = RegQueryValueExA(hKey, pszValue, nullptr, &type, reinterpret_cast<BYTE*>(sz), &cb);
    RegCloseKey(hKey);
    return r == ERROR_SUCCESS ? std::string(sz) : "<no value>";
}

inline DWORD RegDword(HKEY hRoot, const char* pszKey, const char* pszValue)
{
    DWORD dw = 0;
    return GetRegDword(hRoot, pszKey, pszValue, dw) == 0 ? dw : 0xFFFFFFFF;
}

inline std::string ProgramGroupDir()
{
    char sz[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, sz)))
        return "";
    return std::string(sz) + "\\Tilewright";
}

// The all-users Programs menu, where an unattended run makes its items.
inline std::string CommonProgramsDir()
{
    char sz[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, sz)))
        return "";
    return sz;
}

inline std::string CommonProgramGroupDir()
{
    return CommonProgramsDir() + "\\Tilewright";
}

// Calls fn with each entry of dir but "." and "..", in the order found.
inline void ForEachEntry(const std::string& dir, const std::function<void(const WIN32_FIND_DATAA&)>& fn)
{
    WIN32_FIND_DATAA fd;
    CFindHandle find(FindFirstFileA((dir + "\\*").c_str(), &fd));
    if (find.IsEmpty())
        return;
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            fn(fd);
    } while (FindNextFileA(find, &fd));
}

inline void DeleteTree(const std::string& dir)
{
    ForEachEntry(dir, [&dir](const WIN32_FIND_DATAA& fd) {
        std::string path = dir + "\\" + fd.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            DeleteTree(path);
        else
            DeleteFileA(path.c_str());
    });
    RemoveDirectoryA(dir.c_str());
}

// Removes everything an install of the medium leaves, so each case starts
// from the same machine.
inline void RemoveInstallation()
{
    DeleteTree(INSTALL_DEST);
    DeleteFileA(SharedLibrary().c_str());
    DeleteRegValue(HKEY_LOCAL_MACHINE, KEY_SHARED, SharedLibrary().c_str());
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, KEY_APP_PATHS);
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, KEY_UNINSTALL);
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, "Mapsmith.Document");
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, ".tlr");
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, KEY_CONTROL_CLSID);
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, "Tilewright.TileView");
    DeleteTree(ProgramGroupDir());
    DeleteTree(CommonProgramGroupDir());
}

// Writes a medium with mkmedium from a manifest into a fresh folder of the
// temporary directory; "" on failure.
inline std::string MakeMediumFrom(const std::string& manifest, const char* pszName, const char* pszDiskType)
{
    char szTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, szTemp);
    std::string out = std::string(szTemp) + "e2e-" + pszName;
    DeleteTree(out);
    CChildProcess mk;
    std::string args = "build \"" + manifest + "\" \"" + out + "\" --disk-type " + pszDiskType;
    if (!mk.Start(BuildPath("tools\\mkmedium\\mkmedium.exe"), args) || mk.WaitForExit(INSTALL_WAIT_MS) != 0)
        return "";
    return out;
}

// The Tilewright medium, with Setup.exe beside its install information.
inline std::string MakeMedium(const char* pszName, const char* pszDiskType)
{
    std::string out = MakeMediumFrom(Stage("Tilewright.ini"), pszName, pszDiskType);
    if (!out.empty() && !CopyFileA(BuildPath("app\\Setup.exe").c_str(), (out + "\\Setup.exe").c_str(), FALSE))
        return "";
    return out;
}

// What a driven run saw: the questions before the copy, the disk prompts,
// every other box after Finish, and how it ended.
struct CDriven {
    std::vector<std::string> questions;
    std::vector<std::string> diskPrompts;
    std::vector<std::string> boxes;
    std::vector<std::string> readOnlyFiles;
    std::string finalMessage;
    long nExitCode = -1;
};

// How the driver answers. Each answer is the button to press; 0 leaves the
// box to the next poll. All but onDestination come after Finish, or after
// Cancel on the first page.
struct CAnswers {
    // Cancel on the first page instead of walking the wizard.
    bool bCancelAtWelcome = false;
    // The destination page, shown: may choose another drive.
    std::function<void(HWND hPage)> onDestination = [](HWND) {};
    // A disk prompt: the test swaps the disk, then OK.
    std::function<int(const std::string& prompt)> onDisk = [](const std::string&) { return IDOK; };
    // Any other box captioned "Setup" but the final message.
    std::function<int(const std::string& text)> onBox = [](const std::string&) { return IDOK; };
    // The read-only prompt: may click "Don't show this message anymore".
    std::function<int(HWND hDlg)> onReadOnly = [](HWND) { return IDOK; };
    // Called between polls while the files are copied, with the progress
    // dialog (null when it is not up).
    std::function<void(HWND hProgress)> onTick = [](HWND) {};
};

inline HWND FindProcessWindow(DWORD pid, const char* pszTitle)
{
    WindowQuery query;
    query.dwProcessId = pid;
    query.pszTitle = pszTitle;
    return FindTopWindow(query);
}

// Answers the boxes after Finish until the final message or the end of the
// program.
inline void AnswerUntilEnd(DWORD pid, CChildProcess& setup, const CAnswers& answers, CDriven& result)
{
    DWORD dwStart = GetTickCount();
    // An answered prompt may stay up while it asks a question of its own.
    HWND hAnswered = nullptr;
    while (GetTickCount() - dwStart < INSTALL_WAIT_MS) {
        if (setup.WaitForExit(0) != -1)
            break;
        HWND hDlg = FindProcessWindow(pid, "Read-Only-File detected");
        if (hDlg && hDlg != hAnswered) {
            result.readOnlyFiles.push_back(static_cast<const char*>(GetControlText(hDlg, 1032)));
            PressButton(hDlg, answers.onReadOnly(hDlg));
            hAnswered = hDlg;
            continue;
        }
        HWND hBox = WaitForMessageBox(pid, "Setup", 20);
        if (!hBox) {
            answers.onTick(FindProcessWindow(pid, "Copying Files"));
            continue;
        }
        std::string text = static_cast<const char*>(GetMessageBoxText(hBox));
        int nButton = IDOK;
        if (text.rfind("Insert the disk", 0) == 0) {
            result.diskPrompts.push_back(text);
            nButton = answers.onDisk(text);
        } else if (text == MSG_SUCCESS || text == MSG_NOT_FINISHED) {
            result.finalMessage = text;
        } else {
            result.boxes.push_back(text);
            nButton = answers.onBox(text);
        }
        if (nButton == 0)
            continue;
        PressButton(hBox, nButton);
        WaitForWindowGone(hBox, INSTALL_WAIT_MS);
    }
    result.nExitCode = setup.WaitForExit(INSTALL_WAIT_MS);
}

// How the top-level windows of a process, hidden ones included, answer the
// system's question whether the session may end: the class and title of
// each that refuses and of each that accepts. The windows the system makes
// for a thread, its input method window and its DDE conversations' windows
// (the program folder is made through DDE), answer for themselves and are
// left out.
struct CSessionAnswers {
    std::vector<std::string> refused;
    std::vector<std::string> accepted;
};

inline BOOL CALLBACK CollectProcessWindow(HWND hWnd, LPARAM lParam)
{
    auto* pWindows = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lParam);
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId == pWindows->first)
        pWindows->second.push_back(hWnd);
    return TRUE;
}

inline CSessionAnswers AskToEndSession(DWORD pid)
{
    std::pair<DWORD, std::vector<HWND>> windows(pid, {});
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&windows));
    CSessionAnswers answers;
    for (HWND hWnd : windows.second) {
        char szClass[64] = "";
        GetClassNameA(hWnd, szClass, sizeof szClass);
        std::string name = szClass;
        if (name == "IME" || name.find("Dde") != std::string::npos || name.find("DDE") != std::string::npos)
            continue;
        DWORD_PTR dwResult = 0;
        // A window gone meanwhile answers neither.
        if (!SendMessageTimeoutA(hWnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 10000, &dwResult))
            continue;
        name += std::string(" \"") + static_cast<const char*>(GetWindowTextString(hWnd)) + "\"";
        (dwResult ? answers.accepted : answers.refused).push_back(name);
    }
    return answers;
}

// How an unattended run ended, and whether it ever showed a window.
struct CSilentRun {
    long nExitCode = -1;
    bool bWindowShown = false;
};

inline CSilentRun RunSilently(const std::string& setupExe, const std::string& args, const char* pszDir = nullptr,
                              const char* pszDesktop = nullptr)
{
    CSilentRun run;
    CChildProcess setup;
    if (!setup.Start(setupExe, args, pszDir, pszDesktop))
        return run;
    WindowQuery query;
    query.dwProcessId = setup.Id();
    for (DWORD dwStart = GetTickCount(); run.nExitCode == -1 && GetTickCount() - dwStart < INSTALL_WAIT_MS;) {
        run.bWindowShown = run.bWindowShown || FindTopWindow(query) != nullptr;
        run.nExitCode = setup.WaitForExit(20);
    }
    return run;
}

// A window station and desktop of their own, as a service's programs get
// them: Wine starts no shell there, so no Program Manager answers a program
// started on it, and nothing it shows reaches the display. The station
// lasts as long as the object.
class CStationWithoutShell {
public:
    explicit CStationWithoutShell(const char* pszName) : m_desktop(std::string(pszName) + "\\Default")
    {
        m_hStation = CreateWindowStationA(pszName, 0, WINSTA_ALL_ACCESS, nullptr);
        HWINSTA hOwn = GetProcessWindowStation();
        if (!m_hStation || !SetProcessWindowStation(m_hStation))
            return;
        m_hDesktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        SetProcessWindowStation(hOwn);
    }
    CStationWithoutShell(const CStationWithoutShell&) = delete;
    CStationWithoutShell& operator=(const CStationWithoutShell&) = delete;
    ~CStationWithoutShell()
    {
        if (m_hDesktop)
            CloseDesktop(m_hDesktop);
        if (m_hStation)
            CloseWindowStation(m_hStation);
    }

    bool IsMade() const { return m_hDesktop != nullptr; }
    const char* Desktop() const { return m_desktop.c_str(); }

private:
    HWINSTA m_hStation = nullptr;
    HDESK m_hDesktop = nullptr;
    std::string m_desktop;
};

// Walks the wizard with the proposed destination and folder, answers the
// questions of the destination page with Yes, then answers as told; or
// cancels on the first page, when told, and answers what follows.
inline CDriven DriveSetup(const std::string& setupExe, const CAnswers& answers = CAnswers())
{
    CDriven result;
    CChildProcess setup;
    if (!setup.Start(setupExe))
        return result;
    DWORD pid = setup.Id();
    auto sheet = [pid](const char* pszTitle) {
        WindowQuery query;
        query.dwProcessId = pid;
        query.pszTitle = pszTitle;
        return WaitForTopWindow(query, INSTALL_WAIT_MS);
    };
    HWND hSheet = sheet("Welcome to Tilewright");
    if (!hSheet)
        return result;
    if (answers.bCancelAtWelcome) {
        PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        AnswerUntilEnd(pid, setup, answers, result);
        return result;
    }
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    if (!sheet("Choose Destination Location"))
        return result;
    answers.onDestination(reinterpret_cast<HWND>(SendMessageA(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0)));
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    // Leaving the destination page may ask first (to create the directory).
    DWORD dwStart = GetTickCount();
    while (!FindProcessWindow(pid, "Select Program Folder")) {
        if (GetTickCount() - dwStart > INSTALL_WAIT_MS)
            return result;
        if (HWND hBox = WaitForMessageBox(pid, "Setup", 200)) {
            result.questions.push_back(static_cast<const char*>(GetMessageBoxText(hBox)));
            PressButton(hBox, IDYES);
            WaitForWindowGone(hBox, INSTALL_WAIT_MS);
        }
    }
    PostMessageA(hSheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    AnswerUntilEnd(pid, setup, answers, result);
    return result;
}
