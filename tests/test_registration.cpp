// Self-registration of installed libraries with the test payloads: a
// library whose "DllRegisterServer" really ran leaves its mark in the
// registry; a failing entry, a missing export, a file that is no library,
// a missing file, and a library that crashes or never returns each give
// the registration message once and stop the walk. Each entry runs in the
// build's setup program, started for it, and what it writes reaches the
// registry through the setup, only when it succeeded, so that a rollback
// gives back what the product's control registered from another directory
// held.
#include "EngineTestKit.h"
#include "TestPaths.h"

#include "engine/RegistryCapture.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace {

using namespace kit;

const char REGISTERED_KEY[] = "Software\\SetupTests\\Registered";
const std::string CONTROL_CLSID_KEY = "CLSID\\{5C7E2A31-8D4B-4F1A-9E63-2B7D1C9A4E10}";
const std::string CONTROL_SERVER_KEY = CONTROL_CLSID_KEY + "\\InprocServer32";
const std::string CONTROL_PROGID_KEY = "Tilewright.TileView";
const char SCRATCH_PARENT_KEY[] = "Software\\Tilewright Setup";

void DeleteControlKeys()
{
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, CONTROL_CLSID_KEY.c_str());
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, CONTROL_PROGID_KEY.c_str());
}

// The control's class and program id keys, whole.
std::map<std::string, std::string> ControlKeys()
{
    std::map<std::string, std::string> state;
    ListKey(HKEY_CLASSES_ROOT, CONTROL_CLSID_KEY, "clsid", state);
    ListKey(HKEY_CLASSES_ROOT, CONTROL_PROGID_KEY, "progid", state);
    return state;
}

class Registration : public ::testing::Test {
protected:
    Registration() : m_sys("registration-system") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_sys.IsMade());
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, REGISTERED_KEY);
        DeleteControlKeys();
        Calls().clear();
        m_mngr.m_pfnCallback = RecordingCallback;
        m_mngr.m_strRegistrationHost = BuildPath("app\\Setup.exe").c_str();
        m_top = AddTopDirs(m_mngr);
    }
    void TearDown() override
    {
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, REGISTERED_KEY);
        DeleteControlKeys();
    }

    // A payload installed under a name of the test's choice.
    CInstalledFile* Install(const char* pszPayload, const char* pszName, DWORD dwFlags)
    {
        std::string strSource = BuildPath("tools\\payload\\") + pszPayload;
        std::string strTarget = m_sys / pszName;
        EXPECT_TRUE(CopyFileA(strSource.c_str(), strTarget.c_str(), FALSE))
            << "cannot copy " << strSource << ": " << GetLastError();
        return AddFile(m_top.pSys, strTarget, dwFlags);
    }

    bool Registered(const char* pszName)
    {
        CRegValue mark = QueryValue(HKEY_LOCAL_MACHINE, REGISTERED_KEY, pszName);
        if (mark.bPresent) {
            EXPECT_EQ(m_sys / pszName, mark.Text()) << "the mark names the library that ran";
        }
        return mark.bPresent;
    }

    void ExpectOneRegistrationMessage()
    {
        ASSERT_EQ(1u, Calls().size()) << "exactly one message for the failing library";
        EXPECT_EQ(SCB_ERROR, Calls()[0].nType);
        EXPECT_EQ(SCBE_DLLREGISTER, Calls()[0].nArg);
        EXPECT_EQ(0, Calls()[0].pArg);
    }

    CScratchDir m_sys;
    CSetupMngr m_mngr;
    CTopDirs m_top{};
};

TEST_F(Registration, NothingFlaggedRegistersNothing)
{
    Install("payload_reg_ok.dll", "plain.dll", FILE_SHARED | FILE_PROGRAM_ITEM);
    EXPECT_TRUE(m_mngr.RegisterDlls());
    EXPECT_FALSE(Registered("plain.dll"));
    EXPECT_TRUE(Calls().empty());
}

TEST_F(Registration, FlaggedLibrariesRegisterThemselves)
{
    Install("payload_reg_ok.dll", "first.dll", FILE_REGISTER);
    Install("payload_reg_ok.dll", "unflagged.dll", 0);
    CDirNode* pSub = AddDir(m_top.pApp, "Sub");
    std::string strApp = m_sys / "app.dll";
    ASSERT_TRUE(CopyFileA(BuildPath("tools\\payload\\payload_reg_ok.dll").c_str(), strApp.c_str(), FALSE));
    AddFile(pSub, strApp, FILE_REGISTER | FILE_SHARED);

    EXPECT_TRUE(m_mngr.RegisterDlls());
    EXPECT_TRUE(Registered("first.dll"));
    EXPECT_TRUE(Registered("app.dll")) << "files in every directory of the tree are registered";
    EXPECT_FALSE(Registered("unflagged.dll"));
    EXPECT_TRUE(Calls().empty()) << "success says nothing";
}

TEST_F(Registration, FailingEntryStopsTheWalk)
{
    Install("payload_reg_ok.dll", "before.dll", FILE_REGISTER);
    Install("payload_reg_fail.dll", "failing.dll", FILE_REGISTER);
    Install("payload_reg_ok.dll", "after.dll", FILE_REGISTER);

    EXPECT_FALSE(m_mngr.RegisterDlls());
    ExpectOneRegistrationMessage();
    EXPECT_TRUE(Registered("before.dll"));
    EXPECT_FALSE(Registered("failing.dll")) << "what the failing entry wrote was applied";
    EXPECT_FALSE(Registered("after.dll")) << "no library after the failing one is registered";
}

TEST_F(Registration, LibraryWithoutTheEntryStopsTheWalk)
{
    Install("payload_noreg.dll", "noentry.dll", FILE_REGISTER);
    Install("payload_reg_ok.dll", "after.dll", FILE_REGISTER);
    EXPECT_FALSE(m_mngr.RegisterDlls());
    ExpectOneRegistrationMessage();
    EXPECT_FALSE(Registered("after.dll"));
}

TEST_F(Registration, FileThatIsNoLibraryStopsTheWalk)
{
    std::string strText = m_sys / "readme.dll";
    ASSERT_TRUE(WriteFileText(strText, "not a library"));
    AddFile(m_top.pSys, strText, FILE_REGISTER);
    Install("payload_reg_ok.dll", "after.dll", FILE_REGISTER);
    EXPECT_FALSE(m_mngr.RegisterDlls());
    ExpectOneRegistrationMessage();
    EXPECT_FALSE(Registered("after.dll"));
}

// The library runs in a process of its own: its crash, or an entry that
// never returns, fails its registration and leaves this process running.
// The hung process is ended, so the library's file is free again.
TEST_F(Registration, CrashingOrHangingLibraryFailsItsRegistration)
{
    Install("payload_reg_ok.dll", "before.dll", FILE_REGISTER);
    Install("payload_reg_crash.dll", "crashing.dll", FILE_REGISTER);
    Install("payload_reg_ok.dll", "after.dll", FILE_REGISTER);
    EXPECT_FALSE(m_mngr.RegisterDlls());
    ExpectOneRegistrationMessage();
    EXPECT_TRUE(Registered("before.dll")) << "a good library registers in its own process";
    EXPECT_FALSE(Registered("after.dll"));

    CSetupMngr hanging;
    hanging.m_pfnCallback = RecordingCallback;
    hanging.m_strRegistrationHost = m_mngr.m_strRegistrationHost;
    hanging.m_dwRegistrationTimeout = 3000;
    CTopDirs top = AddTopDirs(hanging);
    std::string strHanging = m_sys / "hanging.dll";
    ASSERT_TRUE(CopyFileA(BuildPath("tools\\payload\\payload_reg_hang.dll").c_str(), strHanging.c_str(), FALSE));
    AddFile(top.pSys, strHanging, FILE_REGISTER);
    Calls().clear();
    DWORD dwStart = GetTickCount();
    EXPECT_FALSE(hanging.RegisterDlls());
    DWORD dwElapsed = GetTickCount() - dwStart;
    ExpectOneRegistrationMessage();
    EXPECT_GE(dwElapsed, 3000u) << "the entry was given its time";
    EXPECT_LT(dwElapsed, 20000u) << "the wait ended soon after the time limit";
    EXPECT_TRUE(DeleteFileA(strHanging.c_str())) << "the hung process still holds the library, error "
                                                 << GetLastError();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SCRATCH_PARENT_KEY)) << "a scratch key was left after the hang";
}

TEST_F(Registration, RegisterOnlyWhenAbsentBit)
{
    Install("payload_reg_ok.dll", "present.dll", FILE_REGISTER_ABSENT);
    Install("payload_reg_ok.dll", "both.dll", FILE_REGISTER | FILE_REGISTER_ABSENT);
    EXPECT_TRUE(m_mngr.RegisterDlls());
    EXPECT_FALSE(Registered("present.dll"))
        << "a present file with only FILE_REGISTER_ABSENT is not registered";
    EXPECT_TRUE(Registered("both.dll")) << "FILE_REGISTER registers whatever the other bit says";
    EXPECT_TRUE(Calls().empty());

    AddFile(m_top.pSys, m_sys / "absent.dll", FILE_REGISTER_ABSENT);
    Install("payload_reg_ok.dll", "after.dll", FILE_REGISTER);
    EXPECT_FALSE(m_mngr.RegisterDlls())
        << "an absent file with FILE_REGISTER_ABSENT is registered, and its loading fails";
    ExpectOneRegistrationMessage();
    EXPECT_FALSE(Registered("after.dll"));
}

TEST_F(Registration, UnexaminableFileEndsTheWalkWithoutMessage)
{
    AddFile(m_top.pSys, m_sys / "no such dir\\lib.dll", FILE_REGISTER);
    Install("payload_reg_ok.dll", "after.dll", FILE_REGISTER);
    EXPECT_FALSE(m_mngr.RegisterDlls());
    EXPECT_TRUE(Calls().empty()) << "a failed existence test is not reported";
    EXPECT_FALSE(Registered("after.dll"));
}

TEST_F(Registration, RegisterServerOnOneLibrary)
{
    Install("payload_reg_ok.dll", "direct.dll", 0);
    Install("payload_reg_fail.dll", "directfail.dll", 0);
    Install("payload_noreg.dll", "directnoreg.dll", 0);
    CAppliedCount applied;
    EXPECT_TRUE(m_mngr.RegisterServer((m_sys / "direct.dll").c_str(), applied));
    EXPECT_TRUE(Registered("direct.dll"));
    EXPECT_FALSE(m_mngr.RegisterServer((m_sys / "directfail.dll").c_str(), applied))
        << "a negative result of the entry is a failure";
    EXPECT_FALSE(m_mngr.RegisterServer((m_sys / "directnoreg.dll").c_str(), applied));
    EXPECT_FALSE(m_mngr.RegisterServer((m_sys / "missing.dll").c_str(), applied));
    EXPECT_TRUE(Calls().empty()) << "RegisterServer itself reports nothing";

    // Each call balanced its COM initialisation: the thread can still be
    // initialised and uninitialised as a fresh one.
    HRESULT hr = CoInitialize(nullptr);
    EXPECT_EQ(S_OK, hr) << "COM was left initialised on the thread";
    if (SUCCEEDED(hr))
        CoUninitialize();
    EXPECT_EQ(nullptr, GetModuleHandleA((m_sys / "direct.dll").c_str())) << "the library was not freed";
}

// The control registered from another directory before the run, and
// changed there since: its threading model edited, the program id's class
// key gone. The run registers its own copy, a new file, then fails: the
// rollback gives the other directory's registration back byte for byte,
// which the control's "DllUnregisterServer" would have deleted.
TEST_F(Registration, RollbackGivesBackTheControlsRegistrationFromAnotherDirectory)
{
    CScratchDir elsewhere("registration-elsewhere");
    ASSERT_TRUE(elsewhere.IsMade());
    RegisterControlIn(BuildPath("tilewright\\bin"), elsewhere.Path());
    WriteText(HKEY_CLASSES_ROOT, CONTROL_SERVER_KEY, "ThreadingModel", "Both");
    ASSERT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(HKEY_CLASSES_ROOT, (CONTROL_PROGID_KEY + "\\CLSID").c_str()));
    std::map<std::string, std::string> before = ControlKeys();

    ASSERT_TRUE(CopyFileA(BuildPath("tilewright\\bin\\TileShr.dll").c_str(), (m_sys / "TileShr.dll").c_str(), FALSE));
    Journal(m_mngr, JOURNAL_NEW_FILE, m_sys / "Tilewrig.ocx");
    ASSERT_TRUE(CopyFileA(BuildPath("tilewright\\bin\\Tilewrig.ocx").c_str(), (m_sys / "Tilewrig.ocx").c_str(), FALSE));
    AddFile(m_top.pSys, m_sys / "Tilewrig.ocx", FILE_REGISTER);
    ASSERT_TRUE(m_mngr.RegisterDlls()) << "the run's copy did not register";
    EXPECT_EQ(m_sys / "Tilewrig.ocx", QueryValue(HKEY_CLASSES_ROOT, CONTROL_SERVER_KEY, nullptr).Text())
        << "the run's registration was not applied";
    EXPECT_EQ("Apartment", QueryValue(HKEY_CLASSES_ROOT, CONTROL_SERVER_KEY, "ThreadingModel").Text());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CONTROL_PROGID_KEY + "\\CLSID")) << "the missing key was not created";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SCRATCH_PARENT_KEY)) << "the scratch key was left";

    EXPECT_TRUE(m_mngr.Rollback()) << "error " << GetLastError();
    for (const std::string& line : Differences(before, ControlKeys()))
        ADD_FAILURE() << "the registration from another directory is not back as it was: " << line;
    EXPECT_EQ(elsewhere / "Tilewrig.ocx", QueryValue(HKEY_CLASSES_ROOT, CONTROL_SERVER_KEY, nullptr).Text());
    EXPECT_FALSE(Exists(m_sys / "Tilewrig.ocx")) << "the run's copy was not deleted";
}

}
