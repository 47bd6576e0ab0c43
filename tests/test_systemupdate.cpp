// The system update on the prefix's real registry: every key and value it
// writes, read back through the registry API; what it notes for the
// rollback; shared-library counts with and without an earlier installation;
// the first refused operation ending the phase with the registry's code.
#include "EngineTestKit.h"
#include "TestPaths.h"

#include "platform/RegistryTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace kit;

const std::string APP_PATHS_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Mapsmith.exe";
const char PRODUCT[] = "Tilewright SysUpdate Test";
const std::string UNINSTALL_KEY =
    std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + PRODUCT;
const std::string SHARED_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string DOC_TYPE_KEY = "Mapsmith.Document";
const std::string EXT_KEY = ".tlr";

class SystemUpdate : public ::testing::Test {
protected:
    SystemUpdate() : m_dest("Tilewright SysUpdate Dest"), m_sys("sysupdate-system") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_dest.IsMade() && m_sys.IsMade()) << "cannot make the scratch directories";
        CleanRegistry();
        m_mngr.m_strMainExe = "Mapsmith.exe";
        m_mngr.m_strDocExt = "tlr";
        m_mngr.m_strProductName = PRODUCT;
        m_mngr.m_strDestDir = m_dest.Path().c_str();
        m_mngr.m_strSystemDir = m_sys.Path().c_str();
        m_top = AddTopDirs(m_mngr);
        ASSERT_TRUE(WriteFileText(m_dest / "Mapsmith.exe", "program"));
    }
    void TearDown() override { CleanRegistry(); }

    void CleanRegistry()
    {
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY.c_str());
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY.c_str());
        DeleteRegKeyTree(HKEY_CLASSES_ROOT, DOC_TYPE_KEY.c_str());
        DeleteRegKeyTree(HKEY_CLASSES_ROOT, EXT_KEY.c_str());
        for (const std::string& strPath : m_sharedPaths)
            DeleteRegValue(HKEY_LOCAL_MACHINE, SHARED_KEY.c_str(), strPath.c_str());
    }

    // A shared library below the test's system directory.
    CInstalledFile* AddShared(const char* pszName)
    {
        std::string strPath = m_sys / pszName;
        m_sharedPaths.push_back(strPath);
        EXPECT_TRUE(WriteFileText(strPath, pszName));
        return AddFile(m_top.pSys, strPath, FILE_SHARED);
    }

    DWORD SharedCount(const std::string& strPath)
    {
        CRegValue value = QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, strPath.c_str());
        EXPECT_TRUE(value.bPresent) << "no shared count for " << strPath;
        EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.dwType) << strPath;
        return value.Dword();
    }

    // The libraries whose counts the journal records, in order.
    std::vector<std::string> Noted()
    {
        std::vector<std::string> files;
        for (const CJournalRecord& record : m_mngr.m_journal.m_records)
            if (record.m_op == JOURNAL_SHARED_COUNT)
                files.push_back(static_cast<const char*>(record.m_strPath));
        return files;
    }

    static std::vector<std::string> Paths(std::initializer_list<const CInstalledFile*> files)
    {
        std::vector<std::string> paths;
        for (const CInstalledFile* pFile : files)
            paths.push_back(static_cast<const char*>(pFile->m_strPath));
        return paths;
    }

    const CJournalRecord* KeyRecord(HKEY hRoot, const std::string& strKey)
    {
        for (const CJournalRecord& record : m_mngr.m_journal.m_records)
            if (record.m_op == JOURNAL_REGISTRY_KEY && record.m_hRoot == hRoot && record.m_strPath == strKey.c_str())
                return &record;
        return nullptr;
    }

    // A text value of a key as the journal kept it before the run wrote it;
    // "(none)" when the key held no such value.
    std::string OldText(HKEY hRoot, const std::string& strKey, const wchar_t* pszName)
    {
        const CJournalRecord* pRecord = KeyRecord(hRoot, strKey);
        CRegKeyCopy copy;
        if (!pRecord || !LoadRegKeyCopy(pRecord->m_data, copy))
            return "(no copy)";
        for (const CRegValueCopy& value : copy.m_values) {
            if (value.m_strName != pszName)
                continue;
            std::string text;
            for (size_t i = 0; i + 1 < value.m_data.size() && value.m_data[i]; i += 2)
                text += static_cast<char>(value.m_data[i]);
            return text;
        }
        return "(none)";
    }

    void ExpectText(HKEY hRoot, const std::string& strKey, const char* pszName,
                    const std::string& strText)
    {
        CRegValue value = QueryValue(hRoot, strKey, pszName);
        ASSERT_TRUE(value.bPresent) << strKey << " " << (pszName ? pszName : "(default)") << " is missing";
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.dwType) << strKey << " " << (pszName ? pszName : "");
        EXPECT_EQ(strText.size() + 1, value.strData.size())
            << strKey << ": stored with exactly one terminating zero";
        EXPECT_EQ(strText, value.Text()) << strKey << " " << (pszName ? pszName : "(default)");
    }

    CScratchDir m_dest;
    CScratchDir m_sys;
    CSetupMngr m_mngr;
    CTopDirs m_top{};
    std::vector<std::string> m_sharedPaths;
};

TEST_F(SystemUpdate, FreshMachineGetsEveryEntry)
{
    CInstalledFile* pOcx = AddShared("tilew32.ocx");
    AddFile(m_top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM);
    CInstalledFile* pDll = AddShared("tilehelp.dll");

    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();

    std::string strMain = m_dest / "Mapsmith.exe";
    ExpectText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr, strMain);
    ExpectText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", m_dest.Path());
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", PRODUCT);
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "UninstallString", "\"" + (m_dest / "Uninst.exe") + "\"");
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "QuietUninstallString", "\"" + (m_dest / "Uninst.exe") + "\" /S");
    EXPECT_EQ(1u, SharedCount(m_sys / "tilew32.ocx"));
    EXPECT_EQ(1u, SharedCount(m_sys / "tilehelp.dll"));
    ExpectText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, nullptr, "Tilewright Resource");

    char szShort[MAX_PATH];
    DWORD n = GetShortPathNameA(strMain.c_str(), szShort, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH) << "the test cannot get the short path";
    EXPECT_EQ(std::string::npos, std::string(szShort).find(' '))
        << "the destination was chosen so that its short form differs";
    ExpectText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY + "\\shell\\open\\command", nullptr,
               std::string(szShort) + " \"%1\"");
    ExpectText(HKEY_CLASSES_ROOT, EXT_KEY, nullptr, "Mapsmith.Document");
    ExpectText(HKEY_CLASSES_ROOT, EXT_KEY + "\\ShellNew", "NullFile", "");

    for (const auto& key : {std::make_pair(HKEY_LOCAL_MACHINE, APP_PATHS_KEY),
                            std::make_pair(HKEY_LOCAL_MACHINE, UNINSTALL_KEY),
                            std::make_pair(HKEY_CLASSES_ROOT, DOC_TYPE_KEY), std::make_pair(HKEY_CLASSES_ROOT, EXT_KEY)}) {
        const CJournalRecord* pRecord = KeyRecord(key.first, key.second);
        ASSERT_NE(nullptr, pRecord) << key.second << " was written without a journal record";
        EXPECT_FALSE(pRecord->m_bExisted) << key.second << " was not there";
    }
    EXPECT_EQ(Paths({pOcx, pDll}), Noted())
        << "each counted file is noted, in the order of the walk";

    char szAtom[64] = "";
    ASSERT_NE(0, m_mngr.m_atomApp);
    GlobalGetAtomNameA(m_mngr.m_atomApp, szAtom, sizeof szAtom);
    EXPECT_STREQ("Mapsmith", szAtom);
    ASSERT_NE(0, m_mngr.m_atomSystem);
    GlobalGetAtomNameA(m_mngr.m_atomSystem, szAtom, sizeof szAtom);
    EXPECT_STREQ("system", szAtom);
}

TEST_F(SystemUpdate, ExistingValuesAreKeptInTheNotes)
{
    WriteText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr, "D:\\Old\\Mapsmith.exe");
    WriteText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", "D:\\Old");
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", "Tilewright 1.0");
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "UninstallString", "D:\\Old\\Uninst.exe");
    WriteText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, nullptr, "Old Resource");
    WriteText(HKEY_CLASSES_ROOT, EXT_KEY, nullptr, "Old.Document");

    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();

    EXPECT_EQ("D:\\Old\\Mapsmith.exe", OldText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, L""));
    EXPECT_EQ("D:\\Old", OldText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, L"Path"));
    EXPECT_EQ("Tilewright 1.0", OldText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, L"DisplayName"));
    EXPECT_EQ("D:\\Old\\Uninst.exe", OldText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, L"UninstallString"));
    EXPECT_EQ("Old Resource", OldText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, L""));
    EXPECT_EQ("Old.Document", OldText(HKEY_CLASSES_ROOT, EXT_KEY, L""));
    ExpectText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr, m_dest / "Mapsmith.exe");
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", PRODUCT);
    ExpectText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, nullptr, "Tilewright Resource");
    ExpectText(HKEY_CLASSES_ROOT, EXT_KEY, nullptr, "Mapsmith.Document");
}

// DisplayVersion and Publisher come each from its own string of the main
// program's version resource: a string missing elsewhere in the resource
// leaves both written, a missing one leaves only its value out, also when
// an earlier version wrote it.
TEST_F(SystemUpdate, VersionValuesAreReadEachOnItsOwn)
{
    AddFile(m_top.pApp, m_dest / "Mapsmith.exe", FILE_PROGRAM_ITEM);
    std::string strMain = m_dest / "Mapsmith.exe";
    ASSERT_TRUE(CopyFileA(BuildPath("tools\\payload\\payload_uninst_nocopyright.exe").c_str(), strMain.c_str(),
                          FALSE))
        << "error " << GetLastError();
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayVersion", "1.0.0.0");
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "Publisher", "Setup test payloads");

    ASSERT_TRUE(CopyFileA(BuildPath("tools\\payload\\payload_nocompany.exe").c_str(), strMain.c_str(), FALSE))
        << "error " << GetLastError();
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayVersion", "1.0.0.0");
    EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "Publisher").bPresent)
        << "a program without a CompanyName string has no publisher, neither an empty nor an earlier one";
}

TEST_F(SystemUpdate, SharedCountsAreRaisedOrStartAtOne)
{
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "counted3.dll").c_str(), 3);
    const DWORD dwBinaryTwo = 2, dwTop = 0xFFFFFFFF;
    WriteValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "binary2.dll").c_str(), REG_BINARY, &dwBinaryTwo,
               sizeof dwBinaryTwo);
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "top.dll").c_str(), dwTop);
    CInstalledFile* pThree = AddShared("counted3.dll");
    CInstalledFile* pNew = AddShared("new.dll");
    CInstalledFile* pBinary = AddShared("binary2.dll");
    AddShared("top.dll");
    AddFile(m_top.pSys, m_sys / "notshared.dll", FILE_REGISTER);

    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();

    EXPECT_EQ(4u, SharedCount(m_sys / "counted3.dll")) << "an existing count is raised by one";
    EXPECT_EQ(1u, SharedCount(m_sys / "new.dll")) << "a new count starts at 1";
    EXPECT_EQ(3u, SharedCount(m_sys / "binary2.dll")) << "a REG_BINARY count is raised and written as REG_DWORD";
    EXPECT_EQ(dwTop, SharedCount(m_sys / "top.dll")) << "a count at its top must not wrap to 0";
    EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "notshared.dll").c_str()).bPresent)
        << "a file without FILE_SHARED is not counted";
    EXPECT_EQ(Paths({pThree, pNew, pBinary}), Noted())
        << "the count left at its top is not noted for rollback to lower";
}

TEST_F(SystemUpdate, EarlierInstallationsSharedFilesAreNotCountedTwice)
{
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "known.dll").c_str(), 5);
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "other.dll").c_str(), 2);
    CInstalledFile* pKnown = AddShared("known.dll");
    CInstalledFile* pOther = AddShared("other.dll");
    CInstalledFile* pKnownGone = AddShared("knowngone.dll");

    m_mngr.m_pPrevInstall = new CSetupMngr;
    CTopDirs prev = AddTopDirs(*m_mngr.m_pPrevInstall);
    std::string strUpper = m_sys / "KNOWN.DLL";
    AddFile(prev.pSys, strUpper, FILE_SHARED);
    AddFile(prev.pSys, m_sys / "knowngone.dll", FILE_SHARED);
    AddFile(prev.pSys, m_sys / "other.dll", 0);

    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();

    EXPECT_EQ(5u, SharedCount(m_sys / "known.dll"))
        << "a file the earlier installation counted (path compared without case) keeps its count";
    EXPECT_EQ(3u, SharedCount(m_sys / "other.dll"))
        << "a file the earlier installation had, but not as shared, is counted";
    EXPECT_EQ(1u, SharedCount(m_sys / "knowngone.dll"))
        << "a known file whose count is missing gets 1";
    std::vector<std::string> noted = Noted();
    EXPECT_EQ(Paths({pOther, pKnownGone}), noted);
    EXPECT_EQ(noted.end(), std::find(noted.begin(), noted.end(), std::string(pKnown->m_strPath)))
        << "a file left alone is not noted for the rollback";
}

// A key left with one of its values (by an interrupted run, or another
// program) is updated: the missing value was simply not set.
TEST_F(SystemUpdate, AppPathsKeyWithoutPathValueIsUpdated)
{
    WriteText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr, "D:\\Old\\Mapsmith.exe");
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", "Tilewright 1.0");

    ASSERT_TRUE(m_mngr.UpdateSystem()) << "a missing former value failed the update, error " << GetLastError();
    EXPECT_EQ("D:\\Old\\Mapsmith.exe", OldText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, L""));
    EXPECT_EQ("(none)", OldText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, L"Path"));
    EXPECT_EQ("(none)", OldText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, L"UninstallString"));
    ExpectText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", m_dest.Path());
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", PRODUCT);
}

TEST_F(SystemUpdate, UnreadableSharedCountEndsThePhase)
{
    CInstalledFile* pFirst = AddShared("first.dll");
    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    WriteValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "bad.dll").c_str(), REG_BINARY, eight,
               sizeof eight);
    AddShared("bad.dll");
    AddShared("after.dll");

    SetLastError(0);
    EXPECT_FALSE(m_mngr.UpdateSystem());
    EXPECT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), GetLastError())
        << "a value longer than a dword fails the read with the registry's code";
    ExpectText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", m_dest.Path());
    ExpectText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", PRODUCT);
    EXPECT_EQ(1u, SharedCount(m_sys / "first.dll"));
    EXPECT_EQ(Paths({pFirst}), Noted());
    EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "after.dll").c_str()).bPresent)
        << "nothing after the failure is written";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, DOC_TYPE_KEY));
    EXPECT_EQ(nullptr, KeyRecord(HKEY_CLASSES_ROOT, DOC_TYPE_KEY));
}

// Without a short form the open command holds the long path, quoted, as
// the destination has a space. (The system gives no short form here
// because the main program is not there; a drive without short names gives
// the long path back.)
TEST_F(SystemUpdate, OpenCommandWithoutAShortFormQuotesTheLongPath)
{
    std::string strMain = m_dest / "Mapsmith.exe";
    ASSERT_NE(std::string::npos, strMain.find(' ')) << "the destination was chosen with a space";
    ASSERT_TRUE(DeleteFileA(strMain.c_str())) << "error " << GetLastError();

    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ExpectText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY + "\\shell\\open\\command", nullptr, "\"" + strMain + "\" \"%1\"");
}

TEST_F(SystemUpdate, OpenCommandTooLongIsRefused)
{
    // 243 characters: the main program path takes 256, the command 262.
    std::string strDest = "C:\\TileLong\\" + std::string(243 - 12, 'd');
    ASSERT_EQ(243u, strDest.size());
    m_mngr.m_strDestDir = strDest.c_str();

    SetLastError(0);
    EXPECT_FALSE(m_mngr.UpdateSystem());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
    ExpectText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr, strDest + "\\Mapsmith.exe");
    ExpectText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, nullptr, "Tilewright Resource");
    EXPECT_NE(nullptr, KeyRecord(HKEY_CLASSES_ROOT, DOC_TYPE_KEY));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, DOC_TYPE_KEY + "\\shell"))
        << "no command is written";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, EXT_KEY));
}

}
