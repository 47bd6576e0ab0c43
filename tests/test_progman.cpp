// Program Manager DDE client: the group list parser, the exact commands
// (seen by a stand-in Program Manager served from a thread of this test),
// the refusal of texts the command syntax cannot carry, a missing service,
// and groups and items made by the prefix's real Program Manager service.
#include "DesktopHelpers.h"

#include "framework/CHandle.h"
#include "platform/Progman.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

const char FAKE_SERVICE[] = "TILETEST_PROGMAN";
const char ABSENT_SERVICE[] = "TILETEST_NOBODY";
const DWORD WAIT_LIMIT = 10000;

// Points the client at another service for one test.
class CServiceScope {
public:
    explicit CServiceScope(const char* pszService) { SetProgmanService(pszService); }
    CServiceScope(const CServiceScope&) = delete;
    CServiceScope& operator=(const CServiceScope&) = delete;
    ~CServiceScope() { SetProgmanService(nullptr); }
};

// A stand-in Program Manager: a DDE server on its own thread that records
// every connection and command and answers a request with a set text (or
// with no data at all).
class CFakeProgman {
public:
    explicit CFakeProgman(std::optional<std::string> answer = std::string("Main\r\n"))
        : m_answer(std::move(answer))
    {
        s_pCurrent = this;
        m_ready.Attach(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!m_ready.IsEmpty())
            m_thread.Attach(CreateThread(nullptr, 0, ThreadProc, this, 0, &m_dwThreadId));
        if (!m_thread.IsEmpty())
            WaitForSingleObject(m_ready, WAIT_LIMIT);
    }
    CFakeProgman(const CFakeProgman&) = delete;
    CFakeProgman& operator=(const CFakeProgman&) = delete;
    ~CFakeProgman()
    {
        if (!m_thread.IsEmpty()) {
            PostThreadMessageA(m_dwThreadId, WM_QUIT, 0, 0);
            WaitForSingleObject(m_thread, WAIT_LIMIT);
        }
        s_pCurrent = nullptr;
    }

    bool IsServing() const { return m_bServing; }
    std::vector<std::string> Executes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_executes;
    }
    // The topic of each conversation.
    std::vector<std::string> Connects() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_connects;
    }
    std::vector<std::string> Requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    static DWORD WINAPI ThreadProc(void* pParam)
    {
        static_cast<CFakeProgman*>(pParam)->Serve();
        return 0;
    }

    void Serve()
    {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        if (DdeInitializeA(&m_dwInst, Callback, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0)
            != DMLERR_NO_ERROR) {
            SetEvent(m_ready);
            return;
        }
        HSZ hszService = DdeCreateStringHandleA(m_dwInst, FAKE_SERVICE, CP_WINANSI);
        m_bServing = hszService && DdeNameService(m_dwInst, hszService, nullptr, DNS_REGISTER);
        SetEvent(m_ready);
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        if (m_bServing)
            DdeNameService(m_dwInst, nullptr, nullptr, DNS_UNREGISTER);
        if (hszService)
            DdeFreeStringHandle(m_dwInst, hszService);
        DdeUninitialize(m_dwInst);
    }

    std::string QueryString(HSZ hsz) const
    {
        char sz[256] = "";
        DdeQueryStringA(m_dwInst, hsz, sz, sizeof(sz), CP_WINANSI);
        return sz;
    }

    static HDDEDATA CALLBACK Callback(UINT uType, UINT uFmt, HCONV, HSZ hsz1, HSZ hsz2,
                                      HDDEDATA hData, ULONG_PTR, ULONG_PTR)
    {
        CFakeProgman* pThis = s_pCurrent;
        switch (uType) {
        case XTYP_CONNECT:
            return pThis->OnConnect(hsz1);
        case XTYP_REQUEST:
            return pThis->OnRequest(uFmt, hsz2);
        case XTYP_EXECUTE:
            return pThis->OnExecute(hData);
        default:
            return nullptr;
        }
    }

    HDDEDATA OnConnect(HSZ hszTopic)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connects.push_back(QueryString(hszTopic));
        return reinterpret_cast<HDDEDATA>(TRUE);
    }

    HDDEDATA OnRequest(UINT uFmt, HSZ hszItem)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(QueryString(hszItem) + (uFmt == CF_TEXT ? "/CF_TEXT" : "/other"));
        }
        if (!m_answer)
            return nullptr;
        return DdeCreateDataHandle(m_dwInst,
                                   reinterpret_cast<LPBYTE>(const_cast<char*>(m_answer->data())),
                                   static_cast<DWORD>(m_answer->size()), 0, hszItem, uFmt, 0);
    }

    HDDEDATA OnExecute(HDDEDATA hData)
    {
        DWORD cb = DdeGetData(hData, nullptr, 0, 0);
        std::string strCommand(cb, '\0');
        if (cb)
            DdeGetData(hData, reinterpret_cast<LPBYTE>(&strCommand[0]), cb, 0);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_executes.push_back(strCommand);
        return reinterpret_cast<HDDEDATA>(static_cast<UINT_PTR>(DDE_FACK));
    }

    static CFakeProgman* s_pCurrent;

    std::optional<std::string> m_answer;
    CKernelHandle m_ready;
    CKernelHandle m_thread;
    DWORD m_dwThreadId = 0;
    DWORD m_dwInst = 0;
    std::atomic<bool> m_bServing{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_executes;
    std::vector<std::string> m_connects;
    std::vector<std::string> m_requests;
};

CFakeProgman* CFakeProgman::s_pCurrent = nullptr;

// A command as the server receives it: the text and its terminating zero.
std::string Sent(const std::string& strCommand)
{
    return strCommand + std::string(1, '\0');
}

std::vector<std::string> Names(const CStringArray& groups)
{
    std::vector<std::string> names;
    for (int i = 0; i < groups.GetSize(); ++i)
        names.push_back(static_cast<const char*>(groups[i]));
    return names;
}

std::vector<std::string> Parse(const std::string& strText)
{
    CStringArray groups;
    EXPECT_TRUE(ParseProgmanGroups(reinterpret_cast<const BYTE*>(strText.data()),
                                   static_cast<DWORD>(strText.size()), groups))
        << "a non-empty answer should parse";
    return Names(groups);
}

CProgmanItem MakeItem(const char* pszCaption, const char* pszCommand)
{
    CProgmanItem item;
    item.m_strCaption = pszCaption;
    item.m_strCommand = pszCommand;
    return item;
}

typedef std::vector<std::string> Strings;

// ---------------------------------------------------------------------------
// Parsing the group list

TEST(ProgmanParse, LinesEndedByCrLf)
{
    EXPECT_EQ((Strings{"Main", "Accessories", "StartUp"}),
              Parse("Main\r\nAccessories\r\nStartUp\r\n"));
    EXPECT_EQ((Strings{"Administrative Tools", "StartUp"}),
              Parse(std::string("Administrative Tools\r\nStartUp\r\n\0", 31)))
        << "the terminating zero of the answer is not a name";
}

TEST(ProgmanParse, LastLineWithoutLineFeedIsKept)
{
    EXPECT_EQ((Strings{"Main", "Games"}), Parse("Main\r\nGames"));
    EXPECT_EQ((Strings{"Games"}), Parse("Games"));
}

TEST(ProgmanParse, LeadingAndRepeatedLineFeedsCountAsOneSeparator)
{
    EXPECT_EQ((Strings{"Main", "Games"}), Parse("\nMain\r\nGames\r\n"))
        << "a line feed in the first position adds no entry";
    EXPECT_EQ((Strings{"Main", "Games", ""}), Parse("Main\r\n\nGames\r\n"))
        << "an empty line adds an entry that no name fills";
    EXPECT_EQ((Strings{"Main", "", ""}), Parse("\n\nMain\n\n"));
}

TEST(ProgmanParse, NameEndsAtFirstCarriageReturn)
{
    EXPECT_EQ((Strings{"Main", "", "Games"}), Parse("Main\r\n\r\nGames\r\n"))
        << "a line of only a carriage return is an empty name";
    EXPECT_EQ((Strings{"Ma"}), Parse("Ma\rin\r\n"));
}

TEST(ProgmanParse, EmptyAnswers)
{
    CStringArray groups;
    groups.Add("stale");
    EXPECT_FALSE(ParseProgmanGroups(reinterpret_cast<const BYTE*>(""), 0, groups))
        << "no bytes is no answer";
    EXPECT_EQ(0, groups.GetSize()) << "a failed parse leaves no stale names";
    EXPECT_TRUE(Parse(std::string(1, '\0')).empty()) << "a lone terminating zero gives no names";
}

TEST(ProgmanParse, StopsAtZeroAndAtTheByteCount)
{
    EXPECT_EQ((Strings{"Main"}), Parse(std::string("Main\r\n\0Hidden\r\n", 15)));
    const char text[] = "Main\r\nGames\r\n";
    CStringArray groups;
    ASSERT_TRUE(ParseProgmanGroups(reinterpret_cast<const BYTE*>(text), 8, groups));
    EXPECT_EQ((Strings{"Main", "Ga"}), Names(groups)) << "bytes past the count are not read";
}

// ---------------------------------------------------------------------------
// What is sent, seen by a stand-in Program Manager

TEST(ProgmanCommands, GroupRequestAsksForGroupsInText)
{
    CFakeProgman fake(std::string("Main\r\nAccessories\r\nStartUp\r\n", 29));
    ASSERT_TRUE(fake.IsServing()) << "the stand-in Program Manager did not start";
    CServiceScope scope(FAKE_SERVICE);
    CStringArray groups;
    ASSERT_TRUE(GetProgmanGroups(groups));
    EXPECT_EQ((Strings{"Main", "Accessories", "StartUp"}), Names(groups));
    EXPECT_EQ((Strings{"Groups/CF_TEXT"}), fake.Requests());
    EXPECT_EQ((Strings{"PROGMAN"}), fake.Connects()) << "one conversation on the PROGMAN topic";
}

TEST(ProgmanCommands, RequestAnswers)
{
    CServiceScope scope(FAKE_SERVICE);
    {
        CFakeProgman fake(std::string(1, '\0'));
        ASSERT_TRUE(fake.IsServing());
        CStringArray groups;
        EXPECT_TRUE(GetProgmanGroups(groups)) << "a lone terminating zero is an answer";
        EXPECT_EQ(0, groups.GetSize());
        CByteArray data;
        ASSERT_TRUE(RequestProgmanData("Groups", data));
        EXPECT_EQ(1, data.GetSize()) << "the data is copied at its exact size";
    }
    {
        CFakeProgman fake(std::nullopt);
        ASSERT_TRUE(fake.IsServing());
        CStringArray groups;
        groups.Add("stale");
        EXPECT_FALSE(GetProgmanGroups(groups)) << "a request that brings no data has failed";
        EXPECT_EQ(0, groups.GetSize());
        CByteArray data;
        data.Add(7);
        EXPECT_TRUE(RequestProgmanData("Groups", data)) << "only the library's failure is reported";
        EXPECT_EQ(0, data.GetSize()) << "no data: the byte count is 0";
    }
}

TEST(ProgmanCommands, GroupThenItemsInTwoConversations)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    CProgmanItem mapsmith = MakeItem("Mapsmith", "C:\\Tools\\Mapsmith.exe");
    CProgmanItem help =
        MakeItem("Mapsmith Help", "C:\\Program Files (x86)\\Tile, Inc\\Mapsmith.hlp");
    CProgmanItemPtrArray items;
    items.Add(&mapsmith);
    items.Add(&help);
    ASSERT_TRUE(CreateProgmanGroupWithItems("Tilewright", items));
    EXPECT_EQ((Strings{Sent("[CreateGroup(Tilewright)]"),
                       Sent("[AddItem(\"C:\\Tools\\Mapsmith.exe\",Mapsmith)]"),
                       Sent("[AddItem(\"C:\\Program Files (x86)\\Tile, Inc\\Mapsmith.hlp\","
                            "Mapsmith Help)]")}),
              fake.Executes());
    EXPECT_EQ((Strings{"PROGMAN", "PROGMAN"}), fake.Connects())
        << "the group and its items go in separate conversations";
}

TEST(ProgmanCommands, EmptyItemArraySendsNoItem)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    CProgmanItemPtrArray none;
    EXPECT_TRUE(AddProgmanItems(none));
    EXPECT_TRUE(fake.Executes().empty()) << "no item, no command";
    EXPECT_TRUE(CreateProgmanGroupWithItems("Tilewright", none));
    EXPECT_EQ((Strings{Sent("[CreateGroup(Tilewright)]")}), fake.Executes());
}

TEST(ProgmanCommands, ExecuteSendsEachCommandInOrder)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    CStringArray commands;
    commands.Add("[ShowGroup(Main,1)]");
    commands.Add("[DeleteGroup(Old)]");
    ASSERT_TRUE(ExecuteProgmanCommands(commands));
    EXPECT_EQ((Strings{Sent("[ShowGroup(Main,1)]"), Sent("[DeleteGroup(Old)]")}), fake.Executes());
    EXPECT_EQ(1u, fake.Connects().size());
}

TEST(ProgmanCommands, LongestTextsThatFit)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    std::string strGroup(PROGMAN_GROUP_BUFFER - 1, 'g');
    ASSERT_TRUE(CreateProgmanGroup(strGroup.c_str())) << "63 characters fit the group buffer";
    // "[AddItem(\"\",)]" takes 14 characters; the rest of 1039 is command and caption.
    std::string strCommand(PROGMAN_ADDITEM_BUFFER - 1 - 14 - 8, 'c');
    CProgmanItem item = MakeItem("Mapsmith", strCommand.c_str());
    CProgmanItemPtrArray items;
    items.Add(&item);
    ASSERT_TRUE(AddProgmanItems(items)) << "a 1039-character AddItem fits its buffer";
    std::vector<std::string> executes = fake.Executes();
    ASSERT_EQ(2u, executes.size());
    EXPECT_EQ(Sent("[CreateGroup(" + strGroup + ")]"), executes[0]);
    EXPECT_EQ(static_cast<size_t>(PROGMAN_ADDITEM_BUFFER), executes[1].size());
}

// ---------------------------------------------------------------------------
// Texts the command syntax cannot carry are refused before anything is sent

struct CRefusalCase {
    const char* pszWhat;
    BOOL bResult;
    DWORD dwError;
};

void ExpectRefused(const CFakeProgman& fake, const CRefusalCase& c, DWORD dwExpected)
{
    EXPECT_FALSE(c.bResult) << c.pszWhat << " should be refused";
    EXPECT_EQ(dwExpected, c.dwError) << c.pszWhat;
    EXPECT_TRUE(fake.Connects().empty()) << c.pszWhat << ": nothing may reach Program Manager";
    EXPECT_TRUE(fake.Executes().empty()) << c.pszWhat << ": nothing may reach Program Manager";
}

CRefusalCase TryGroup(const char* pszWhat, const char* pszGroup)
{
    SetLastError(0);
    BOOL b = CreateProgmanGroup(pszGroup);
    return {pszWhat, b, GetLastError()};
}

CRefusalCase TryItem(const char* pszWhat, const char* pszCaption, const char* pszCommand)
{
    CProgmanItem item = MakeItem(pszCaption, pszCommand);
    CProgmanItemPtrArray items;
    items.Add(&item);
    SetLastError(0);
    BOOL b = AddProgmanItems(items);
    return {pszWhat, b, GetLastError()};
}

TEST(ProgmanRefusal, GroupNamesThatBreakTheCommand)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    for (const char* pszName : {"Tile,wright", "Tile(wright", "Tilewright)", "[Tilewright",
                                "Tile]wright", "Tile\"wright", ""}) {
        ExpectRefused(fake, TryGroup(pszName, pszName), ERROR_INVALID_NAME);
        CProgmanItemPtrArray none;
        SetLastError(0);
        BOOL b = CreateProgmanGroupWithItems(pszName, none);
        ExpectRefused(fake, {pszName, b, GetLastError()}, ERROR_INVALID_NAME);
    }
    ExpectRefused(fake, TryGroup("a null name", nullptr), ERROR_INVALID_PARAMETER);
}

TEST(ProgmanRefusal, GroupNameTooLongForItsBuffer)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    std::string strGroup(PROGMAN_GROUP_BUFFER, 'g');
    ExpectRefused(fake, TryGroup("a 64-character name", strGroup.c_str()),
                  ERROR_FILENAME_EXCED_RANGE);
    strGroup.assign(5000, 'g');
    ExpectRefused(fake, TryGroup("a 5000-character name", strGroup.c_str()),
                  ERROR_FILENAME_EXCED_RANGE);
}

TEST(ProgmanRefusal, ItemTextsThatBreakTheCommand)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    const char* pszPath = "C:\\Tools\\Mapsmith.exe";
    for (const char* pszCaption : {"Map,smith", "Map(smith", "Mapsmith)", "[Mapsmith", "Map]smith",
                                   "Map\"smith"})
        ExpectRefused(fake, TryItem(pszCaption, pszCaption, pszPath), ERROR_INVALID_NAME);
    ExpectRefused(fake,
                  TryItem("a quote in the command line", "Mapsmith", "C:\\Tools\\Map\"smith.exe"),
                  ERROR_INVALID_NAME);
}

TEST(ProgmanRefusal, ItemCommandTooLongForItsBuffer)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    std::string strCommand(PROGMAN_ADDITEM_BUFFER - 14 - 8, 'c');
    ExpectRefused(fake, TryItem("a 1040-character AddItem", "Mapsmith", strCommand.c_str()),
                  ERROR_FILENAME_EXCED_RANGE);
    strCommand.assign(100000, 'c');
    ExpectRefused(fake, TryItem("a 100000-character command line", "Mapsmith", strCommand.c_str()),
                  ERROR_FILENAME_EXCED_RANGE);
}

TEST(ProgmanRefusal, OneBadItemStopsTheWholeGroup)
{
    CFakeProgman fake;
    ASSERT_TRUE(fake.IsServing());
    CServiceScope scope(FAKE_SERVICE);
    CProgmanItem good = MakeItem("Mapsmith", "C:\\Tools\\Mapsmith.exe");
    CProgmanItem bad = MakeItem("Joust (VB)", "C:\\Tools\\VB\\Joust.vbp");
    CProgmanItemPtrArray items;
    items.Add(&good);
    items.Add(&bad);
    SetLastError(0);
    BOOL b = CreateProgmanGroupWithItems("Tilewright", items);
    ExpectRefused(fake, {"a group with one bad caption", b, GetLastError()}, ERROR_INVALID_NAME);

    items.SetAt(1, nullptr);
    SetLastError(0);
    b = CreateProgmanGroupWithItems("Tilewright", items);
    ExpectRefused(fake, {"a group with a null item", b, GetLastError()}, ERROR_INVALID_PARAMETER);
}

// ---------------------------------------------------------------------------
// No Program Manager behind the service name

TEST(ProgmanAbsent, GroupRequestFailsButCommandsSucceed)
{
    CServiceScope scope(ABSENT_SERVICE);
    CStringArray groups;
    EXPECT_FALSE(GetProgmanGroups(groups)) << "no Program Manager, no group list";
    CByteArray data;
    EXPECT_TRUE(RequestProgmanData("Groups", data));
    EXPECT_EQ(0, data.GetSize());

    CProgmanItem item = MakeItem("Mapsmith", "C:\\Tools\\Mapsmith.exe");
    CProgmanItemPtrArray items;
    items.Add(&item);
    EXPECT_TRUE(CreateProgmanGroupWithItems("Tilewright", items))
        << "a missing Program Manager is not reported once the library starts";
    CStringArray commands;
    commands.Add("[DeleteGroup(Tilewright)]");
    EXPECT_TRUE(ExecuteProgmanCommands(commands));
}

// ---------------------------------------------------------------------------
// The prefix's real Program Manager service

std::string ProgramsFolder()
{
    char sz[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, sz)))
        return std::string();
    return sz;
}

bool Exists(const std::string& strPath)
{
    return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}


void DeleteGroup(const std::string& strGroup)
{
    CStringArray commands;
    CString strCommand;
    strCommand.Format("[DeleteGroup(%s)]", strGroup.c_str());
    commands.Add(strCommand);
    EXPECT_TRUE(ExecuteProgmanCommands(commands));
}

bool HasGroup(const std::string& strGroup)
{
    CStringArray groups;
    if (!GetProgmanGroups(groups))
        return false;
    for (const std::string& strName : Names(groups))
        if (strName == strGroup)
            return true;
    return false;
}

// A file for an item to point at; Program Manager makes no item for a
// target that does not exist.
class CTargetFile {
public:
    explicit CTargetFile(const char* pszSubDir)
    {
        char szTemp[MAX_PATH];
        if (!GetTempPathA(MAX_PATH, szTemp))
            return;
        m_strDir = std::string(szTemp) + pszSubDir;
        if (!CreateDirectoryA(m_strDir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return;
        std::string strPath = m_strDir + "\\Mapsmith.exe";
        HANDLE h = CreateFileA(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return;
        CloseHandle(h);
        m_strPath = strPath;
    }
    CTargetFile(const CTargetFile&) = delete;
    CTargetFile& operator=(const CTargetFile&) = delete;
    ~CTargetFile()
    {
        if (!m_strPath.empty())
            DeleteFileA(m_strPath.c_str());
        if (!m_strDir.empty())
            RemoveDirectoryA(m_strDir.c_str());
    }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strDir;
    std::string m_strPath;
};

class ProgmanService : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_bCom = SUCCEEDED(CoInitialize(nullptr));
        m_strPrograms = ProgramsFolder();
        ASSERT_FALSE(m_strPrograms.empty()) << "the Programs folder is unknown";
        ASSERT_TRUE(GetProgmanGroups(m_groups)) << "the prefix's Program Manager did not answer";
    }
    void TearDown() override
    {
        if (m_bCom)
            CoUninitialize();
    }

    bool m_bCom = false;
    std::string m_strPrograms;
    CStringArray m_groups;
};

TEST_F(ProgmanService, FreshPrefixHasItsGroups)
{
    Strings names = Names(m_groups);
    for (const char* pszGroup : {"Administrative Tools", "StartUp"}) {
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), pszGroup))
            << pszGroup << " is missing from the group list";
        EXPECT_TRUE(Exists(m_strPrograms + "\\" + pszGroup)) << pszGroup << " has no folder";
    }
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "")) << "no empty names";
}

TEST_F(ProgmanService, GroupWithItemsAppearsAndGoes)
{
    CDesktopHelpers helpers;
    CTargetFile target("Tile (x86), [data]");
    ASSERT_FALSE(target.Path().empty()) << "could not create the item's target file";
    char szSelf[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, szSelf, MAX_PATH));

    const std::string strGroup = "Tilewright Test Group";
    const std::string strDir = m_strPrograms + "\\" + strGroup;
    DeleteGroup(strGroup);
    ASSERT_FALSE(Exists(strDir)) << "a group from an earlier run is still there";

    CProgmanItem mapsmith = MakeItem("Mapsmith", target.Path().c_str());
    CProgmanItem self = MakeItem("Test Program", szSelf);
    CProgmanItemPtrArray items;
    items.Add(&mapsmith);
    items.Add(&self);
    ASSERT_TRUE(CreateProgmanGroupWithItems(strGroup.c_str(), items));

    EXPECT_TRUE(Exists(strDir)) << "the group's folder was not made";
    EXPECT_TRUE(HasGroup(strGroup)) << "the new group is not in the group list";
    EXPECT_EQ(target.Path(), LinkTarget(strDir + "\\Mapsmith.lnk"))
        << "the item for a path with parentheses, a comma and brackets is wrong or missing";
    EXPECT_EQ(std::string(szSelf), LinkTarget(strDir + "\\Test Program.lnk"));

    // The same name again makes that group active again: items join it.
    CProgmanItem again = MakeItem("Mapsmith Again", szSelf);
    CProgmanItemPtrArray more;
    more.Add(&again);
    ASSERT_TRUE(CreateProgmanGroupWithItems(strGroup.c_str(), more));
    EXPECT_EQ(std::string(szSelf), LinkTarget(strDir + "\\Mapsmith Again.lnk"));
    EXPECT_TRUE(Exists(strDir + "\\Mapsmith.lnk")) << "re-creating the group lost its items";

    helpers.End("winemenubuilder.exe");
    DeleteGroup(strGroup);
    EXPECT_FALSE(Exists(strDir)) << "DeleteGroup left the folder";
    EXPECT_FALSE(HasGroup(strGroup)) << "the deleted group is still listed";
}

TEST_F(ProgmanService, RefusedGroupLeavesNothing)
{
    CProgmanItem item = MakeItem("Mapsmith", "C:\\windows\\notepad.exe");
    CProgmanItemPtrArray items;
    items.Add(&item);
    EXPECT_FALSE(CreateProgmanGroupWithItems("Tile(wright)", items));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
    EXPECT_FALSE(Exists(m_strPrograms + "\\Tile(wright)"));
    EXPECT_FALSE(Exists(m_strPrograms + "\\Tile"));
    for (const std::string& strGroup : Names(m_groups))
        EXPECT_FALSE(Exists(m_strPrograms + "\\" + strGroup + "\\Mapsmith.lnk"))
            << "the refused group's item landed in " << strGroup;
    CStringArray after;
    ASSERT_TRUE(GetProgmanGroups(after));
    EXPECT_EQ(Names(m_groups), Names(after)) << "a refused group changed the group list";
}

}
