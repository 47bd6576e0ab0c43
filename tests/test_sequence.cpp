// The setup sequence: every engine result leads to its call order, its
// messages and its final box. The engine and the windows are scripted here.
// And the switch and exit-code tables against what deployment tools and
// users read of them: the winget manifest and the README.
#include "TestPaths.h"

#include "app/CommandLine.h"
#include "app/SetupSequence.h"
#include "app/SetupUsage.h"
#include "framework/CHandle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

struct Outcome {
    BOOL bResult;
    DWORD dwError;
};

const Outcome OK = {TRUE, 0};
Outcome Fail(DWORD dwError) { return {FALSE, dwError}; }

int __cdecl NoCallback(int, INT_PTR, INT_PTR) { return 1; }

class CScriptedRun : public ISetupSteps, public ISetupWindows {
public:
    Outcome load = OK, copy = OK, update = OK, registerDlls = OK, folder = OK, save = OK, recover = OK;
    BOOL bInterrupted = FALSE;
    INT_PTR nWizardResult = ID_WIZFINISH;
    BOOL bRestored = TRUE;
    CStringArray filesNotUndone;
    CString strProductName = "Tilewright";
    SETUPCALLBACK pfnGiven = nullptr;
    std::vector<std::string> log;

    CString strFinal;
    UINT nStyle = MB_ICONINFORMATION;

    BOOL Run() { return RunSetupSequence(*this, *this, NoCallback, strFinal, nStyle); }

private:
    BOOL Answer(const char* pszStep, const Outcome& outcome)
    {
        log.push_back(pszStep);
        SetLastError(outcome.dwError);
        return outcome.bResult;
    }

    BOOL FindInterruptedRun() override { return bInterrupted; }
    BOOL RecoverInterruptedRun(SETUPCALLBACK) override { return Answer("recover", recover); }
    BOOL LoadInstallInfo(SETUPCALLBACK pfn) override
    {
        pfnGiven = pfn;
        return Answer("load", load);
    }
    CString GetProductName() override { return strProductName; }
    BOOL CopyFiles() override { return Answer("copy", copy); }
    BOOL UpdateSystem() override { return Answer("update", update); }
    BOOL RegisterDlls() override { return Answer("register", registerDlls); }
    BOOL CreateProgramFolder() override { return Answer("folder", folder); }
    void SetReadMeText(const char* pszText) override { log.push_back(pszText ? "readme:text" : "readme:null"); }
    BOOL SaveInstallInfo() override { return Answer("save", save); }
    void RunPostInstall() override { log.push_back("post"); }
    BOOL Rollback() override
    {
        log.push_back("rollback");
        return bRestored;
    }
    const CStringArray& FilesNotUndone() override { return filesNotUndone; }

    void CreateStatus(const char* pszText) override { log.push_back(std::string("status:") + pszText); }
    void SetStatusText(const char* pszText) override { log.push_back(std::string("text:") + pszText); }
    void DestroyStatus() override { log.push_back("status-gone"); }
    void SetIcons() override { log.push_back("icons"); }
    void ShowBackdrop(const CString& strCaption) override
    {
        log.push_back(std::string("backdrop:") + static_cast<const char*>(strCaption));
    }
    INT_PTR RunWizard() override
    {
        log.push_back("wizard");
        return nWizardResult;
    }
    void RepaintBackdrop() override { log.push_back("repaint"); }
    void CreateProgress() override { log.push_back("progress"); }
    void DestroyProgress() override
    {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        log.push_back("progress-gone");
    }
    int ShowMessage(const char* pszText, UINT nStyle) override
    {
        log.push_back("box:" + std::to_string(nStyle) + ":" + pszText);
        return IDOK;
    }
    void RefuseSessionEnd(const CString& strTitle) override
    {
        log.push_back(std::string("refuse-end:") + static_cast<const char*>(strTitle));
    }
    void AcceptSessionEnd() override { log.push_back("accept-end"); }
};

typedef std::vector<std::string> Log;

const Log START = {"status:Initializing Setup...", "icons", "load", "status-gone", "backdrop:Tilewright Setup",
                   "wizard", "refuse-end:Tilewright Setup", "repaint", "progress", "copy", "progress-gone"};

Log Join(Log a, const Log& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const char NOT_FINISHED[] = "The Setup was not finished completely.";
const char GENERAL[] = "An error has occurred. The Setup will be cancelled.";

TEST(SetupSequence, FullSuccessRunsEveryPhaseInOrder)
{
    CScriptedRun run;
    run.Run();
    EXPECT_EQ(Join(START, {"status:Updating system...", "update", "register", "text:Creating Program Folder...",
                           "folder", "text:Saving install-informations...", "readme:null", "save", "accept-end",
                           "status-gone", "post"}),
              run.log);
    EXPECT_STREQ("The Setup was completed successfully.", run.strFinal);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), run.nStyle);
    EXPECT_EQ(&NoCallback, run.pfnGiven) << "the shell's callback reaches the loader";
}

TEST(SetupSequence, EachLoadFailureHasItsMessageAndNoBackdrop)
{
    struct Case {
        DWORD dwError;
        const char* pszMessage;
    } cases[] = {
        {SETUP_E_INFO_MISSING, "Can't find the install-informations. The Setup will be cancelled."},
        {SETUP_E_INFO_INVALID, "There are errors in the install-informations. The Setup will be cancelled."},
        {SETUP_E_GROUPS, "Error during initializing. Restart Windows an try the Setup again."},
        {SETUP_E_NO_DRIVE, GENERAL},
        {ERROR_ACCESS_DENIED, GENERAL},
    };
    for (const Case& c : cases) {
        CScriptedRun run;
        run.load = Fail(c.dwError);
        run.Run();
        EXPECT_EQ(Log({"status:Initializing Setup...", "icons", "load"}), run.log)
            << "after load error " << std::hex << c.dwError << " nothing else may run, the status box stays";
        EXPECT_STREQ(c.pszMessage, run.strFinal) << std::hex << c.dwError;
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), run.nStyle);
    }
}

// A run that ended midway is undone under a status text of its own, with
// the session end refused, before the install information is even read;
// one that cannot be undone completely ends the run there.
TEST(SetupSequence, AnInterruptedRunIsUndoneFirst)
{
    const Log recovery = {"status:Initializing Setup...", "icons", "text:Undoing an interrupted installation...",
                          "refuse-end:Setup", "recover", "accept-end"};
    CScriptedRun run;
    run.bInterrupted = TRUE;
    run.Run();
    Log expected = Join(recovery, {"text:Initializing Setup..."});
    expected.insert(expected.end(), START.begin() + 2, START.end());
    ASSERT_LE(expected.size(), run.log.size());
    EXPECT_EQ(expected, Log(run.log.begin(), run.log.begin() + static_cast<std::ptrdiff_t>(expected.size())));
    EXPECT_STREQ("The Setup was completed successfully.", run.strFinal);

    CScriptedRun failed;
    failed.bInterrupted = TRUE;
    failed.recover = Fail(ERROR_SHARING_VIOLATION);
    failed.filesNotUndone.Add("C:\\Tilewright\\Mapsmith.exe");
    EXPECT_FALSE(failed.Run()) << "an incomplete recovery was reported as complete";
    EXPECT_EQ(recovery, failed.log) << "nothing may be loaded or changed after an incomplete recovery";
    EXPECT_NE(nullptr, strstr(failed.strFinal, "interrupted installation")) << failed.strFinal;
    EXPECT_NE(nullptr, strstr(failed.strFinal, "\r\nC:\\Tilewright\\Mapsmith.exe")) << "the held file is not named";
    EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), failed.nStyle);
}

TEST(SetupSequence, EmptyProductNameGivesBlankBeforeSetup)
{
    CScriptedRun run;
    run.strProductName = "";
    run.nWizardResult = IDCANCEL;
    run.Run();
    EXPECT_EQ("backdrop: Setup", run.log[4]);
}

TEST(SetupSequence, WizardNotFinishedRunsNoEnginePhase)
{
    for (INT_PTR nResult : {static_cast<INT_PTR>(IDCANCEL), static_cast<INT_PTR>(IDOK), ID_WIZFINISH - 1}) {
        CScriptedRun run;
        run.nWizardResult = nResult;
        run.Run();
        EXPECT_EQ(Log(START.begin(), START.begin() + 6), run.log) << "wizard result " << nResult;
        EXPECT_STREQ(NOT_FINISHED, run.strFinal);
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), run.nStyle);
    }
}

TEST(SetupSequence, CopyFailureShowsTheErrorBoxOnlyForTargetCodes)
{
    struct Case {
        DWORD dwError;
        bool bBox;
    } cases[] = {
        {SETUP_E_TARGET_CHECK, true}, {SETUP_E_ATTRIBUTES, true}, {SETUP_E_TARGET_ACCESS, true},
        {SETUP_E_COPY, false},        {SETUP_E_GROUPS, false},    {0xE000000A, false},
        {ERROR_DISK_FULL, false},
    };
    for (const Case& c : cases) {
        CScriptedRun run;
        run.copy = Fail(c.dwError);
        run.Run();
        Log expected = START;
        if (c.bBox)
            expected.push_back("box:16:" + std::string(GENERAL));
        expected.push_back("rollback");
        expected.push_back("accept-end");
        EXPECT_EQ(expected, run.log) << "copy error " << std::hex << c.dwError;
        EXPECT_STREQ(NOT_FINISHED, run.strFinal);
    }
}

TEST(SetupSequence, RegistryFailureNamesAccessDenied)
{
    struct Case {
        DWORD dwError;
        const char* pszMessage;
    } cases[] = {
        {ERROR_ACCESS_DENIED, "The access to the Registry has been denieded.\r\nSetup is cancelled."},
        {ERROR_MORE_DATA, "There has occurred an error during accessing the Registry.\r\nSetup is cancelled."},
        {ERROR_FILE_NOT_FOUND, "There has occurred an error during accessing the Registry.\r\nSetup is cancelled."},
    };
    for (const Case& c : cases) {
        CScriptedRun run;
        run.update = Fail(c.dwError);
        run.Run();
        EXPECT_EQ(Join(START, {"status:Updating system...", "update", "box:16:" + std::string(c.pszMessage),
                               "rollback", "accept-end"}),
                  run.log)
            << "registry error " << c.dwError << ": the status box stays up during the rollback";
        EXPECT_STREQ(NOT_FINISHED, run.strFinal);
    }
}

TEST(SetupSequence, FailedRegistrationAndFolderDoNotStopTheSetup)
{
    CScriptedRun run;
    run.registerDlls = Fail(ERROR_MOD_NOT_FOUND);
    run.folder = Fail(ERROR_NOT_ENOUGH_MEMORY);
    run.Run();
    EXPECT_EQ(Join(START, {"status:Updating system...", "update", "register", "text:Creating Program Folder...",
                           "folder", "box:0:The creation of the Program Folder has failed.",
                           "text:Saving install-informations...", "readme:null", "save", "accept-end", "status-gone",
                           "post"}),
              run.log);
    EXPECT_STREQ("The Setup was completed successfully.", run.strFinal);
}

TEST(SetupSequence, FailedSaveRollsBackWithTheStatusBoxStillUp)
{
    CScriptedRun run;
    run.save = Fail(ERROR_DISK_FULL);
    run.Run();
    EXPECT_EQ(Join(START, {"status:Updating system...", "update", "register", "text:Creating Program Folder...",
                           "folder", "text:Saving install-informations...", "readme:null", "save", "rollback",
                           "accept-end"}),
              run.log);
    EXPECT_STREQ(NOT_FINISHED, run.strFinal);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), run.nStyle);

    CScriptedRun unrestored;
    unrestored.save = Fail(ERROR_DISK_FULL);
    unrestored.bRestored = FALSE;
    EXPECT_FALSE(unrestored.Run()) << "an incomplete rollback was reported as complete";
    EXPECT_EQ(Log({"rollback", "accept-end",
                   "box:16:The Setup could not restore all the former entries in the Registry that it had changed."}),
              Log(unrestored.log.end() - 3, unrestored.log.end()))
        << "a former value the rollback could not write back is reported, once the session may end again";
    EXPECT_STREQ(NOT_FINISHED, unrestored.strFinal);

    // Files that stay as the run left them are named, a long list cut short.
    CScriptedRun held;
    held.save = Fail(ERROR_DISK_FULL);
    held.bRestored = FALSE;
    for (int i = 1; i <= 12; ++i) {
        CString strPath;
        strPath.Format("C:\\Tilewright\\File%d.tlr", i);
        held.filesNotUndone.Add(strPath);
    }
    held.Run();
    std::string strBox;
    for (int i = 1; i <= 10; ++i)
        strBox += "\r\nC:\\Tilewright\\File" + std::to_string(i) + ".tlr";
    EXPECT_EQ("box:16:The Setup could not put these files back as they were:" + strBox +
                  "\r\nand 2 more\r\n\r\nClose the programs that use them and start the Setup again: it will put "
                  "them back.",
              held.log.back());
}

// The command line as deployment tools write it: quoted values, any case,
// "-" for "/", and the switch they pass to every installer.
TEST(CommandLine, DeploymentToolLinesAreRead)
{
    CCommandLine line;
    ASSERT_TRUE(line.Parse("-s /norestart /Dir=\"C:\\Program Files\\Tilewright\" \"/LOG=C:\\a b.log\"  "))
        << line.m_strError;
    EXPECT_TRUE(line.m_bSilent);
    EXPECT_FALSE(line.m_bUsage);
    EXPECT_STREQ("C:\\Program Files\\Tilewright", line.m_strDir);
    EXPECT_STREQ("C:\\a b.log", line.m_strLog);
}

// A bad line is refused whole; "/S" anywhere on it, even inside the quote
// that is left open, keeps the refusal silent.
TEST(CommandLine, BadLinesAreRefusedAndStaySilentWithS)
{
    struct {
        const char* pszLine;
        BOOL bSilent;
        const char* pszError;
    } const cases[] = {
        {"/DIR=\"C:\\Tilewright /S", TRUE, "Unclosed quote: /DIR=C:\\Tilewright /S"},
        {"/S \"/DIR=C:\\Tilewright", TRUE, "Unclosed quote: /DIR=C:\\Tilewright"},
        {"/DIR=\"C:\\Tilewright", FALSE, "Unclosed quote: /DIR=C:\\Tilewright"},
        {"/Quiet -s", TRUE, "Invalid argument: /Quiet"},
        {"/S /LOG=a /LOG=b", TRUE, "Invalid value: /LOG=b"},
        {"/DIR=", FALSE, "Invalid value: /DIR="},
        {"\"/S\"x /x", FALSE, "Invalid argument: /Sx"},
    };
    for (const auto& c : cases) {
        CCommandLine line;
        EXPECT_FALSE(line.Parse(c.pszLine)) << c.pszLine;
        EXPECT_EQ(c.bSilent, line.m_bSilent) << c.pszLine;
        EXPECT_STREQ(c.pszError, line.m_strError) << c.pszLine;
    }
}

// --- The switch and exit-code tables -----------------------------------------

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

// The installer manifest that tests/check_package.sh writes, of whatever
// version it is.
std::string InstallerManifest()
{
    std::string dir = BuildPath("package\\winget\\manifests\\t\\TilewrightSoftware\\Tilewright");
    WIN32_FIND_DATAA fd;
    CFindHandle find(FindFirstFileA((dir + "\\*.*").c_str(), &fd));
    if (find.IsEmpty())
        return dir;
    std::string version;
    do
        if (fd.cFileName[0] != '.')
            version = fd.cFileName;
    while (FindNextFileA(find, &fd));
    return dir + "\\" + version + "\\TilewrightSoftware.Tilewright.installer.yaml";
}

std::multiset<int> TableCodes(bool bWithSuccess)
{
    std::multiset<int> codes;
    for (int i = 0; i < SETUP_EXIT_CODE_COUNT; ++i)
        if (bWithSuccess || SETUP_EXIT_CODES[i].nCode != SETUP_EXIT_SUCCESS)
            codes.insert(SETUP_EXIT_CODES[i].nCode);
    return codes;
}

// A switch as a manifest passes it, "/DIR=\"<INSTALLPATH>\"", against the
// table's syntax, "/DIR=path": the same name, a value where the table has one.
bool IsTableSwitch(const std::string& given)
{
    size_t equals = given.find('=');
    for (int i = 0; i < SETUP_SWITCH_COUNT; ++i) {
        std::string syntax = SETUP_SWITCHES[i].pszSyntax;
        if (syntax.substr(0, syntax.find('=')) == given.substr(0, equals)
            && (syntax.find('=') == std::string::npos) == (equals == std::string::npos))
            return true;
    }
    return false;
}

TEST(SetupUsage, WingetManifestListsEveryExitCodeAndOnlyTheSetupsSwitches)
{
    std::string path = InstallerManifest();
    std::vector<std::string> lines = ReadLines(path);
    ASSERT_FALSE(lines.empty()) << "no installer manifest at " << path << ": tests/check_package.sh writes it";
    const std::string codePrefix = "  - InstallerReturnCode: ";
    std::multiset<int> listed;
    std::vector<std::string> switches;
    bool bInSwitches = false;
    for (const std::string& line : lines) {
        if (line.rfind(codePrefix, 0) == 0)
            listed.insert(atoi(line.c_str() + codePrefix.size()));
        if (!line.empty() && line[0] != ' ')
            bInSwitches = line == "InstallerSwitches:";
        else if (bInSwitches)
            switches.push_back(line.substr(line.find(": ") + 2));
    }
    EXPECT_EQ(TableCodes(false), listed)
        << "the manifest's ExpectedReturnCodes must list each exit code of the setup but 0, once, and no other";
    EXPECT_EQ(4u, switches.size()) << "expected Silent, SilentWithProgress, InstallLocation and Log";
    for (const std::string& given : switches)
        EXPECT_TRUE(IsTableSwitch(given)) << "the manifest passes " << given << ", which is no switch of the setup";
}

TEST(SetupUsage, ReadmeListsEveryExitCode)
{
    std::vector<std::string> lines = ReadLines(SOURCE_README);
    ASSERT_FALSE(lines.empty()) << "cannot read " << SOURCE_README;
    std::multiset<int> listed;
    bool bInTable = false;
    for (const std::string& line : lines) {
        if (line.rfind("Exit codes with `/S`", 0) == 0)
            bInTable = true;
        else if (bInTable && line.rfind("| ", 0) == 0 && isdigit(static_cast<unsigned char>(line[2])))
            listed.insert(atoi(line.c_str() + 2));
        else if (bInTable && !listed.empty() && line.rfind("|", 0) != 0)
            break;
    }
    EXPECT_EQ(TableCodes(true), listed) << "the README's table of exit codes must list each exit code of the setup";
}

}  // namespace
