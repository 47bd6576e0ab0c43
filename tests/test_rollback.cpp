// Rollback after a failure in each phase, checked against snapshots of the
// destination tree, the (test) system directory and the registry keys the
// installer touches, taken before the run: everything the run created is
// gone, every file it replaced and every value it overwrote is back, and
// nothing differs. Then the recognition of an earlier installation in a
// destination directory.
#include "EngineTestKit.h"
#include "TestPaths.h"

#include "platform/FileUtil.h"
#include "platform/RegistryTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kit;

const char PRODUCT[] = "Tilewright Rollback Test";
const char MAIN_EXE[] = "Rollsmith.exe";
const char DOC_EXT[] = "tlrb";
const std::string APP_PATHS_PARENT = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string UNINSTALL_PARENT = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string APP_PATHS_KEY = APP_PATHS_PARENT + "\\" + MAIN_EXE;
const std::string UNINSTALL_KEY = UNINSTALL_PARENT + "\\" + PRODUCT;
const std::string SHARED_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string DOC_TYPE_KEY = "Rollsmith.Document";
const std::string EXT_KEY = std::string(".") + DOC_EXT;
const std::string REGISTERED_KEY = "Software\\SetupTests\\Registered";
const char SCRATCH_PARENT_KEY[] = "Software\\Tilewright Setup";
const BYTE IDENT[16] = {0x10, 0x11, 0x12, 0x13, 0x54, 0x49, 0x4C, 0x45,
                        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F};

typedef std::vector<std::string> Lines;
typedef std::map<std::string, std::string> Snapshot;

Lines Sorted(Lines lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

class Rollback : public ::testing::Test {
protected:
    Rollback() : m_dest("Tilewright Rollback Dest"), m_sys("rollback-system") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_dest.IsMade() && m_sys.IsMade());
        CleanRegistry();
        Calls().clear();
        m_mngr.m_pfnCallback = RecordingCallback;
        m_mngr.m_strMainExe = MAIN_EXE;
        m_mngr.m_strDocExt = DOC_EXT;
        m_mngr.m_strProductName = PRODUCT;
        m_mngr.m_strDestDir = m_dest.Path().c_str();
        m_mngr.m_strSystemDir = m_sys.Path().c_str();
        m_mngr.m_strRegistrationHost = BuildPath("app\\Setup.exe").c_str();
        memcpy(m_mngr.m_ident, IDENT, sizeof IDENT);

        // The machine before the run: an unrelated file in the destination,
        // a shared library in the system directory counted twice.
        ASSERT_TRUE(WriteFileText(m_dest / "old.txt", "old"));
        ASSERT_TRUE(WriteFileText(m_sys / "counted.dll", "counted v1"));
        WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "counted.dll").c_str(), 2);
    }
    void TearDown() override { CleanRegistry(); }

    void CleanRegistry()
    {
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY.c_str());
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY.c_str());
        DeleteRegKeyTree(HKEY_CLASSES_ROOT, DOC_TYPE_KEY.c_str());
        DeleteRegKeyTree(HKEY_CLASSES_ROOT, EXT_KEY.c_str());
        DeleteRegKeyTree(HKEY_LOCAL_MACHINE, REGISTERED_KEY.c_str());
        for (const char* pszName : {"counted.dll", "new.dll", "bad.dll", "reg.dll", "unused.dll"})
            DeleteRegValue(HKEY_LOCAL_MACHINE, SHARED_KEY.c_str(), (m_sys / pszName).c_str());
    }

    Snapshot TakeSnapshot()
    {
        Snapshot state;
        for (const auto& entry : SnapshotTree(m_dest.Path()))
            state["dest\\" + entry.first] = entry.second;
        for (const auto& entry : SnapshotTree(m_sys.Path()))
            state["sys\\" + entry.first] = entry.second;
        ListKey(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "AppPaths", state);
        ListKey(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "Uninstall", state);
        ListKey(HKEY_LOCAL_MACHINE, SHARED_KEY, "SharedDLLs", state);
        ListKey(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, "DocType", state);
        ListKey(HKEY_CLASSES_ROOT, EXT_KEY, "Ext", state);
        ListKey(HKEY_LOCAL_MACHINE, REGISTERED_KEY, "Registered", state);
        for (const std::string& strParent : {APP_PATHS_PARENT, UNINSTALL_PARENT})
            if (KeyExists(HKEY_LOCAL_MACHINE, strParent))
                state["parent " + strParent] = "";
        return state;
    }

    CInstalledFile* Created(CDirNode* pNode, const std::string& strPath, DWORD dwFlags)
    {
        EXPECT_TRUE(WriteFileText(strPath, "new " + strPath));
        Journal(m_mngr, JOURNAL_NEW_FILE, strPath);
        return AddFile(pNode, strPath, dwFlags);
    }

    // A file that was there is kept aside, as the copy phase does, and the
    // new one takes its name.
    void Replace(const std::string& strPath)
    {
        KeepAside(m_mngr, strPath);
        EXPECT_TRUE(WriteFileText(strPath, "replaced " + strPath));
    }

    CInstalledFile* Replaced(CDirNode* pNode, const std::string& strPath, DWORD dwFlags)
    {
        Replace(strPath);
        return AddFile(pNode, strPath, dwFlags);
    }

    void MakeDir(const std::string& strDir)
    {
        Journal(m_mngr, JOURNAL_DIRECTORY, strDir);
        ASSERT_TRUE(CreateDirectoryA(strDir.c_str(), nullptr)) << strDir << ", error " << GetLastError();
    }

    // What a copy phase leaves: the uninstaller (new, or replacing an
    // earlier one), new directories and files, two replaced files. A
    // completed phase names the top-level directories "Applikation" and
    // "WinSys" and stands at the root; a failed one keeps the real
    // directories and may stand anywhere.
    void SimulateCopy(bool bCompleted, const std::vector<std::pair<const char*, DWORD>>& extraSystemFiles = {})
    {
        CTopDirs top = AddTopDirs(m_mngr);
        std::string strUninstaller = m_dest / "Uninst.exe";
        if (Exists(strUninstaller)) {
            Replace(strUninstaller);
        } else {
            Journal(m_mngr, JOURNAL_NEW_FILE, strUninstaller);
            ASSERT_TRUE(WriteFileText(strUninstaller, "uninstaller"));
        }
        MakeDir(m_dest / "VB");
        MakeDir(m_dest / "VB\\Joust");
        CDirNode* pJoust = AddDir(AddDir(top.pApp, "VB"), "Joust");
        Created(pJoust, m_dest / "VB\\Joust\\Joust.vbp", FILE_PROGRAM_ITEM);
        Created(top.pApp, m_dest / MAIN_EXE, FILE_PROGRAM_ITEM);
        Replaced(top.pApp, m_dest / "old.txt", 0);
        Replaced(top.pSys, m_sys / "counted.dll", FILE_SHARED);
        Created(top.pSys, m_sys / "new.dll", FILE_SHARED);
        for (const auto& file : extraSystemFiles) {
            std::string strPath = m_sys / file.first;
            if (file.second & FILE_REGISTER) {
                std::string strPayload = BuildPath("tools\\payload\\payload_reg_ok.dll");
                Journal(m_mngr, JOURNAL_NEW_FILE, strPath);
                ASSERT_TRUE(CopyFileA(strPayload.c_str(), strPath.c_str(), FALSE));
                AddFile(top.pSys, strPath, file.second);
            } else {
                Created(top.pSys, strPath, file.second);
            }
        }
        if (bCompleted)
            return;
        top.pApp->dir->m_strPath = m_mngr.m_strDestDir;
        top.pSys->dir->m_strPath = m_mngr.m_strSystemDir;
        m_mngr.ChangeDirectory(0);
        m_mngr.ChangeDirectory(0);
        m_mngr.ChangeDirectory(0);
        ASSERT_EQ(m_dest / "VB\\Joust", std::string(m_mngr.m_strCurPath)) << "the cursor should stand deep in the tree";
    }


    void ExpectCursorAtRootWithRealTopDirs()
    {
        EXPECT_EQ(&m_mngr.m_root, m_mngr.m_pCurNode);
        EXPECT_EQ(0, m_mngr.m_nDepth);
        EXPECT_TRUE(m_mngr.m_strCurPath.IsEmpty());
        EXPECT_EQ(3, m_mngr.m_nTopIndex);
        POSITION pos = m_mngr.m_root.children.GetHeadPosition();
        EXPECT_EQ(m_dest.Path(), std::string(m_mngr.m_root.children.GetNext(pos)->dir->m_strPath));
        EXPECT_EQ(m_sys.Path(), std::string(m_mngr.m_root.children.GetNext(pos)->dir->m_strPath));
    }

    void ExpectOnlyLeftovers(const Snapshot& before, Lines allowed)
    {
        EXPECT_EQ(Sorted(allowed), Sorted(Differences(before, TakeSnapshot())))
            << "the rollback left other differences than those expected";
    }
    void ExpectAsBefore(const Snapshot& before) { ExpectOnlyLeftovers(before, {}); }

    CScratchDir m_dest;
    CScratchDir m_sys;
    CSetupMngr m_mngr;
};

TEST_F(Rollback, CopyPhaseFailureRemovesWhatTheCopyCreated)
{
    Snapshot before = TakeSnapshot();
    SimulateCopy(false);
    m_mngr.Rollback();
    ExpectAsBefore(before);
    ExpectCursorAtRootWithRealTopDirs();
}

TEST_F(Rollback, UninstallerThatExistedComesBack)
{
    ASSERT_TRUE(WriteFileText(m_dest / "Uninst.exe", "earlier uninstaller"));
    ASSERT_TRUE(SetFileAttributesA((m_dest / "Uninst.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    Snapshot before = TakeSnapshot();
    SimulateCopy(false);
    m_mngr.Rollback();
    ExpectAsBefore(before);
    EXPECT_TRUE(GetFileAttributesA((m_dest / "Uninst.exe").c_str()) & FILE_ATTRIBUTE_READONLY)
        << "a read-only file comes back read-only";
}

// A file held open by another program can be neither deleted nor replaced:
// the rest is undone all the same, the held files are named, and their
// records, with the directories that hold them, stay in the journal, so
// that the next start puts them back once they are free.
TEST_F(Rollback, FilesHeldOpenAreNamedAndPutBackByTheNextStart)
{
    Snapshot before = TakeSnapshot();
    std::string journal = m_dest / "..\\rollback-held.jnl";
    DeleteFileA(journal.c_str());
    ASSERT_TRUE(m_mngr.m_journal.Create(journal.c_str())) << "error " << GetLastError();
    SimulateCopy(false);
    const std::string held[] = {m_dest / "old.txt", m_dest / "VB\\Joust\\Joust.vbp"};
    std::vector<HANDLE> handles;
    for (const std::string& strPath : held) {
        handles.push_back(CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_NE(INVALID_HANDLE_VALUE, handles.back()) << strPath << ", error " << GetLastError();
    }
    EXPECT_FALSE(m_mngr.Rollback()) << "a rollback that left files held open reported success";
    for (HANDLE hHeld : handles)
        CloseHandle(hHeld);
    Lines named;
    for (int i = 0; i < m_mngr.m_filesNotUndone.GetSize(); ++i)
        named.push_back(static_cast<const char*>(m_mngr.m_filesNotUndone[i]));
    EXPECT_EQ(Lines(std::begin(held), std::end(held)), named) << "the files not put back, newest change first";
    EXPECT_EQ("replaced " + held[0], ReadFileText(held[0]));

    CSetupMngr next;
    next.m_strJournalPath = journal.c_str();
    ASSERT_TRUE(next.FindInterruptedRun()) << "the journal was dropped with files still to put back";
    EXPECT_TRUE(next.RecoverInterruptedRun(RecordingCallback)) << "error " << GetLastError();
    ExpectAsBefore(before);
    EXPECT_TRUE(next.m_journal.m_records.empty()) << "what was put back stays in the journal";
}

TEST_F(Rollback, SystemUpdateFailureUndoesTheEntriesWrittenSoFar)
{
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", "Tilewright 1.0");
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "UninstallString", "D:\\Old\\Uninst.exe");
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "Publisher", "Tile Works");
    // Longer than a dword: its read fails after rows 1 to 4 and two counts.
    const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    WriteValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "bad.dll").c_str(), REG_BINARY, eight, sizeof eight);
    Snapshot before = TakeSnapshot();

    SimulateCopy(true, {{"bad.dll", FILE_SHARED}});
    SetLastError(0);
    ASSERT_FALSE(m_mngr.UpdateSystem());
    ASSERT_EQ(static_cast<DWORD>(ERROR_MORE_DATA), GetLastError());
    ASSERT_EQ(3u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "counted.dll").c_str()).Dword())
        << "the update should have raised the count before failing";
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, APP_PATHS_KEY));
    m_mngr.Rollback();

    ExpectAsBefore(before);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, APP_PATHS_KEY)) << "a key the run created is deleted";
    EXPECT_EQ("Tilewright 1.0", QueryValue(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName").Text());
    EXPECT_EQ(2u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "counted.dll").c_str()).Dword());
    ExpectCursorAtRootWithRealTopDirs();
}

TEST_F(Rollback, SaveFailureUndoesTheWholeSystemUpdate)
{
    WriteText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr, "D:\\Old\\Rollsmith.exe");
    // Longer than a value the setup writes itself, as long as it keeps one.
    std::string longPath = "D:\\Old;" + std::string(506, 'p');
    WriteText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", longPath.c_str());
    WriteText(HKEY_CLASSES_ROOT, EXT_KEY, nullptr, "Old.Document");
    ASSERT_TRUE(CreateDirectoryA((m_dest / "Setup.inf").c_str(), nullptr));
    Snapshot before = TakeSnapshot();

    SimulateCopy(true, {{"reg.dll", FILE_REGISTER}});
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ASSERT_TRUE(m_mngr.RegisterDlls());
    m_mngr.SetReadMeText(nullptr);
    ASSERT_FALSE(m_mngr.SaveInstallInfo()) << "a directory in the way should refuse the save";
    ASSERT_EQ(1u, Calls().size()) << "the refused save is reported";
    EXPECT_TRUE(m_mngr.Rollback()) << "every kept value is written back, error " << GetLastError();

    // The extension points at its former class again, and what the library
    // that registered itself wrote is gone with it.
    ExpectAsBefore(before);
    EXPECT_EQ("D:\\Old\\Rollsmith.exe", QueryValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr).Text())
        << "the App Paths values of an earlier installation are back";
    EXPECT_EQ(longPath, QueryValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path").Text())
        << "a kept value longer than a new one may be is back whole";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, DOC_TYPE_KEY)) << "the new document type goes, command and all";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UNINSTALL_KEY));
}

// A run that ends midway, its process gone, is undone by the next start
// from the journal it left on the disk: files, registry and what the
// library's registration changed, newest first. The library was registered
// from another directory before the run: that registration comes back with
// its type and bytes, and the scratch key a registration cut short left
// goes.
TEST_F(Rollback, AnInterruptedRunIsUndoneByTheNextStart)
{
    WriteText(HKEY_CLASSES_ROOT, EXT_KEY, nullptr, "Other.Document");
    const char ELSEWHERE[] = "%SystemDrive%\\Elsewhere\\reg.dll";
    WriteValue(HKEY_LOCAL_MACHINE, REGISTERED_KEY, "reg.dll", REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(ELSEWHERE),
               sizeof ELSEWHERE);
    Snapshot before = TakeSnapshot();
    std::string journal = m_dest / "..\\rollback-test.jnl";
    DeleteFileA(journal.c_str());
    ASSERT_TRUE(m_mngr.m_journal.Create(journal.c_str())) << "error " << GetLastError();

    SimulateCopy(true, {{"reg.dll", FILE_REGISTER}});
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ASSERT_TRUE(m_mngr.RegisterDlls());
    ASSERT_EQ(m_sys / "reg.dll", QueryValue(HKEY_LOCAL_MACHINE, REGISTERED_KEY, "reg.dll").Text())
        << "the library's registration was not applied";
    const std::string leftScratch = std::string(SCRATCH_PARENT_KEY) + "\\{0D1E2F30-4152-6374-8596-A7B8C9DAEBFC}";
    ASSERT_EQ(ERROR_SUCCESS, CreateRegKey(HKEY_LOCAL_MACHINE, (leftScratch + "\\HKLM\\Software").c_str()));

    CSetupMngr next;
    next.m_strJournalPath = journal.c_str();
    ASSERT_TRUE(next.FindInterruptedRun()) << "the journal was not found";
    EXPECT_TRUE(next.RecoverInterruptedRun(RecordingCallback)) << "error " << GetLastError();
    ExpectAsBefore(before);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, SCRATCH_PARENT_KEY)) << "the scratch key was left";
    EXPECT_TRUE(next.m_journal.m_records.empty()) << "what was undone stays in the journal";
}

// The run's kept names are its own: a product file that takes the name a
// kept file went to moves that kept file aside again, and only the kept
// files go once the run is complete, also when its end is finished by the
// next start. Undone instead, each name gets back what it held. Either way
// the journal is gone once the run that wrote it is.
TEST_F(Rollback, AProductFileUnderAKeptNameIsNeverTakenForAKeptFile)
{
    std::string journal = m_dest / "..\\rollback-kept.jnl";
    for (bool bComplete : {false, true}) {
        SCOPED_TRACE(bComplete ? "finished by the next start" : "undone by the next start");
        DeleteFileA(journal.c_str());
        ASSERT_TRUE(WriteFileText(m_dest / "A.dll", "A before the run"));
        Snapshot before = TakeSnapshot();
        std::string keptA, keptOriginal;
        {
            CSetupMngr run;
            ASSERT_TRUE(run.m_journal.Create(journal.c_str())) << "error " << GetLastError();
            keptA = KeepAside(run, m_dest / "A.dll");
            ASSERT_TRUE(WriteFileText(m_dest / "A.dll", "A of the run"));
            keptOriginal = KeepAside(run, keptA);
            ASSERT_TRUE(WriteFileText(keptA, "a product file under a kept name"));
            if (bComplete)
                Journal(run, JOURNAL_COMPLETE, "");
        }
        CSetupMngr next;
        next.m_strJournalPath = journal.c_str();
        ASSERT_TRUE(next.RecoverInterruptedRun(RecordingCallback)) << "error " << GetLastError();
        if (bComplete) {
            EXPECT_EQ("A of the run", ReadFileText(m_dest / "A.dll"));
            EXPECT_EQ("a product file under a kept name", ReadFileText(keptA)) << "a product file was deleted";
            EXPECT_FALSE(Exists(keptOriginal)) << "the kept original was left";
        } else {
            ExpectAsBefore(before);
        }
        EXPECT_FALSE(Exists(journal));
        DeleteFileA((m_dest / "A.dll").c_str());
        DeleteFileA(keptA.c_str());
    }
}

// The journal reads back as it was written, whatever its names hold, the
// wide names and bytes of a registration's change among them; a record
// voided or replaced is gone, and a last line the run did not finish
// writing ends the journal.
// The after-install hook runs once the run is complete, its temporary files
// journaled: a run ended during the hook is finished by the next start, the
// hook's temporary file deleted with the kept original, the installed file
// left as the run wrote it.
TEST_F(Rollback, TheAfterInstallTemporaryFileGoesAtTheNextStart)
{
    std::string journal = m_dest / "..\\rollback-hook.jnl";
    DeleteFileA(journal.c_str());
    std::string form = m_dest / "Form1.frm";
    ASSERT_TRUE(WriteFileText(form, "before the run"));
    std::string kept, temp;
    {
        CSetupMngr run;
        ASSERT_TRUE(run.m_journal.Create(journal.c_str())) << "error " << GetLastError();
        kept = KeepAside(run, form);
        ASSERT_TRUE(WriteFileText(form, "installed"));
        Journal(run, JOURNAL_COMPLETE, "");
        temp = static_cast<const char*>(run.NewFileBeside(form.c_str()));
        ASSERT_TRUE(Exists(temp)) << "no temporary file was made, error " << GetLastError();
    }
    CSetupMngr next;
    next.m_strJournalPath = journal.c_str();
    ASSERT_TRUE(next.FindInterruptedRun()) << "the journal went before the after-install hook was done";
    EXPECT_TRUE(next.RecoverInterruptedRun(RecordingCallback)) << "error " << GetLastError();
    EXPECT_EQ("installed", ReadFileText(form));
    EXPECT_FALSE(Exists(temp)) << "the hook's temporary file was left";
    EXPECT_FALSE(Exists(kept)) << "the kept original was left";
    EXPECT_FALSE(Exists(journal)) << "the journal outlived the finished run";
}

TEST_F(Rollback, TheJournalReadsBackWhatWasWritten)
{
    std::string path = m_dest / "..\\rollback-read.jnl";
    DeleteFileA(path.c_str());
    CJournal journal;
    ASSERT_TRUE(journal.Create(path.c_str())) << "error " << GetLastError();
    CJournalRecord key;
    key.m_op = JOURNAL_REGISTRY_KEY;
    key.m_hRoot = HKEY_CLASSES_ROOT;
    key.m_strPath = "odd\tname %41\r\nend";
    key.m_bExisted = TRUE;
    key.m_dwValue = 0xFFFFFFFF;
    key.m_data = {0, 1, 0xFE, 0xFF, '\t', '\n'};
    CJournalRecord item;
    item.m_op = JOURNAL_PROGRAM_ITEM;
    item.m_strPath = "Group";
    item.m_strKept = "Caption";
    ASSERT_TRUE(journal.Add(key));
    ASSERT_TRUE(journal.Add(item));
    ASSERT_TRUE(journal.Void());
    ASSERT_TRUE(journal.Add(item));
    CJournalRecord count;
    count.m_op = JOURNAL_SHARED_COUNT;
    count.m_strPath = "C:\\lib.dll";
    ASSERT_TRUE(journal.Replace(count));
    CJournalRecord value;
    value.m_op = JOURNAL_REGISTRY_VALUE;
    value.m_hRoot = HKEY_USERS;
    value.m_strPath = count.m_strPath;
    const std::wstring valueKey = L".DEFAULT\\Software\\\x0394\x03B9\x03B1";
    const CRegValueCopy former = {L"\x03C1\x03BF", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}};
    StoreRegValueCopy(valueKey, former, value.m_data);
    ASSERT_TRUE(journal.Add(value));
    std::vector<BYTE> written;
    ASSERT_EQ(0u, ReadFileBytes(path.c_str(), written));
    ASSERT_TRUE(WriteFileText(path + ".torn", std::string(written.begin(), written.end()) + "S\tC:\\torn.dll\t\t"));

    CJournal read;
    ASSERT_TRUE(read.Load(path.c_str())) << "error " << GetLastError();
    ASSERT_EQ(3u, read.m_records.size());
    const CJournalRecord& r = read.m_records[0];
    EXPECT_EQ(JOURNAL_REGISTRY_KEY, r.m_op);
    EXPECT_EQ(HKEY_CLASSES_ROOT, r.m_hRoot);
    EXPECT_STREQ(key.m_strPath, r.m_strPath);
    EXPECT_TRUE(r.m_bExisted);
    EXPECT_EQ(0xFFFFFFFFu, r.m_dwValue);
    EXPECT_EQ(key.m_data, r.m_data);
    EXPECT_EQ(JOURNAL_SHARED_COUNT, read.m_records[1].m_op) << "the replaced record is not the one read";
    EXPECT_EQ(HKEY_USERS, read.m_records[2].m_hRoot);
    std::wstring readKey;
    CRegValueCopy readFormer;
    ASSERT_TRUE(LoadRegValueCopy(read.m_records[2].m_data, readKey, readFormer));
    EXPECT_TRUE(readKey == valueKey && readFormer.m_strName == former.m_strName
                && readFormer.m_dwType == former.m_dwType && readFormer.m_data == former.m_data)
        << "the registration's change does not read back as written";
    ASSERT_TRUE(read.Load((path + ".torn").c_str()));
    EXPECT_EQ(3u, read.m_records.size()) << "a torn last line was read as a record";
    ASSERT_TRUE(journal.Rewrite(std::vector<CJournalRecord>()));
    EXPECT_FALSE(Exists(path)) << "an empty journal is removed";
    DeleteFileA((path + ".torn").c_str());
}

// Keys with one of their two values, as an interrupted run or another
// program leaves them: the update goes on, and the rollback gives back the
// keys as they were, the missing values still missing.
TEST_F(Rollback, HalfWrittenKeysDoNotStopTheUpdateAndComeBackAsTheyWere)
{
    WriteText(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path", "D:\\Old");
    WriteText(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, "DisplayName", "Tilewright 1.0");
    Snapshot before = TakeSnapshot();
    SimulateCopy(true);
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "a missing former value failed the update, error " << GetLastError();
    ASSERT_EQ(m_dest / MAIN_EXE, QueryValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, nullptr).Text());
    EXPECT_TRUE(m_mngr.Rollback()) << "error " << GetLastError();

    ExpectAsBefore(before);
}

TEST_F(Rollback, DocumentTypeAndExtensionThatExistedGetBackWhatTheyHeld)
{
    WriteText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, nullptr, "Old Resource");
    WriteText(HKEY_CLASSES_ROOT, DOC_TYPE_KEY + "\\shell\\edit\\command", nullptr, "oldedit.exe \"%1\"");
    const BYTE flags[3] = {1, 2, 3};
    WriteValue(HKEY_CLASSES_ROOT, DOC_TYPE_KEY, "EditFlags", REG_BINARY, flags, sizeof flags);
    WriteText(HKEY_CLASSES_ROOT, EXT_KEY, nullptr, "Other.Document");
    WriteText(HKEY_CLASSES_ROOT, EXT_KEY + "\\ShellNew", "FileName", "template.tlrb");
    Snapshot before = TakeSnapshot();
    SimulateCopy(true);
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ASSERT_EQ(DOC_TYPE_KEY, QueryValue(HKEY_CLASSES_ROOT, EXT_KEY, nullptr).Text());
    EXPECT_TRUE(m_mngr.Rollback()) << "error " << GetLastError();

    ExpectAsBefore(before);
    EXPECT_EQ("Other.Document", QueryValue(HKEY_CLASSES_ROOT, EXT_KEY, nullptr).Text())
        << "the extension points at its former class again";
}

// Keys an earlier installation or another program filled with what the
// setup never writes itself: names and text outside the ANSI code page, an
// expandable string and a multi-string, a value far longer than the text
// the setup reads, a string without its terminating zero. The run
// overwrites some of them; each comes back with its type and its very
// bytes, and a subkey the run did not touch is not written at all.
TEST_F(Rollback, KeysKeptWholeComeBackByteForByte)
{
    const std::wstring greek = L"\x0394\x03B9\x03B1\x03B4\x03C1\x03BF\x03BC\x03AE";
    const std::wstring cjk = L"\x5730\x56FE\x5DE5\x5177";
    const std::wstring zero(1, 0);
    const std::wstring uninstall = Wide(UNINSTALL_KEY);
    const std::wstring untouched = Wide(DOC_TYPE_KEY) + L"\\shell\\" + greek + L"\\command";
    WriteTextW(HKEY_LOCAL_MACHINE, uninstall, L"DisplayName", REG_SZ, L"Tilewright " + cjk + zero);
    const std::wstring longCommand = L"\"D:\\Old\\Uninst.exe\" /log=" + std::wstring(40000, L'x');
    WriteTextW(HKEY_LOCAL_MACHINE, uninstall, L"UninstallString", REG_SZ, longCommand + zero);
    WriteTextW(HKEY_LOCAL_MACHINE, uninstall, greek.c_str(), REG_SZ, cjk + zero);
    WriteTextW(HKEY_LOCAL_MACHINE, Wide(APP_PATHS_KEY), L"Path", REG_EXPAND_SZ,
               L"%ProgramFiles%\\" + greek + zero);
    WriteTextW(HKEY_CLASSES_ROOT, Wide(DOC_TYPE_KEY), nullptr, REG_SZ, L"Old " + cjk + zero);
    WriteTextW(HKEY_CLASSES_ROOT, Wide(DOC_TYPE_KEY), L"Aliases", REG_MULTI_SZ,
               std::wstring(L"one\0", 4) + cjk + zero + zero);
    WriteTextW(HKEY_CLASSES_ROOT, untouched, nullptr, REG_EXPAND_SZ, L"%SystemRoot%\\edit.exe \"%1\"" + zero);
    // Without its zero, and an odd number of bytes.
    WriteValueW(HKEY_CLASSES_ROOT, Wide(EXT_KEY), nullptr, REG_SZ, L"Other.Document", 28);
    WriteValueW(HKEY_CLASSES_ROOT, Wide(EXT_KEY), L"Content Type", REG_SZ, L"text", 5);
    Snapshot before = TakeSnapshot();
    ULONGLONG ullUntouched = LastWriteTime(HKEY_CLASSES_ROOT, untouched);
    ASSERT_NE(0u, ullUntouched) << "the untouched subkey cannot be read";

    SimulateCopy(true);
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "a kept value the text helpers cannot read failed the update, error "
                                       << GetLastError();
    ASSERT_EQ(static_cast<DWORD>(REG_SZ), QueryValue(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, "Path").dwType)
        << "the run should have overwritten the expandable path";
    ASSERT_EQ(DOC_TYPE_KEY, QueryValue(HKEY_CLASSES_ROOT, EXT_KEY, nullptr).Text());
    // Time enough for a write to show in the untouched key's time.
    Sleep(50);
    EXPECT_TRUE(m_mngr.Rollback()) << "error " << GetLastError();

    ExpectAsBefore(before);
    EXPECT_EQ(ullUntouched, LastWriteTime(HKEY_CLASSES_ROOT, untouched))
        << "a subkey the run did not touch was written again";
}

// Each count gets back exactly what it held: one raised from 2 is 2 again,
// one raised from 0 is 0 again, one the run created goes.
TEST_F(Rollback, SharedCountsComeBackExactly)
{
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "unused.dll").c_str(), 0);
    Snapshot before = TakeSnapshot();
    SimulateCopy(true, {{"unused.dll", FILE_SHARED}});
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    ASSERT_EQ(1u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "unused.dll").c_str()).Dword());
    m_mngr.Rollback();

    ExpectAsBefore(before);
    CRegValue zero = QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "unused.dll").c_str());
    EXPECT_TRUE(zero.bPresent && zero.Dword() == 0) << "a count of 0 before the run is not 0 after its rollback";
}

// Ended after its record but before the raise, a run left the count as it
// was: its undo must not lower it.
TEST_F(Rollback, ACountNeverRaisedIsLeftAsItWas)
{
    CJournalRecord record;
    record.m_op = JOURNAL_SHARED_COUNT;
    record.m_strPath = (m_sys / "counted.dll").c_str();
    record.m_bExisted = TRUE;
    record.m_dwValue = 3;
    ASSERT_TRUE(m_mngr.m_journal.Add(record));
    EXPECT_TRUE(m_mngr.Rollback());
    EXPECT_EQ(2u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "counted.dll").c_str()).Dword())
        << "a count the run never raised was lowered";
}

TEST_F(Rollback, CountChangedMeanwhileIsLoweredOrLeft)
{
    SimulateCopy(true);
    ASSERT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "new.dll").c_str(), 0);
    DeleteRegValue(HKEY_LOCAL_MACHINE, SHARED_KEY.c_str(), (m_sys / "counted.dll").c_str());
    m_mngr.Rollback();
    EXPECT_EQ(0u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "new.dll").c_str()).Dword())
        << "a count of 0 is not wrapped round";
    EXPECT_FALSE(QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, (m_sys / "counted.dll").c_str()).bPresent)
        << "a count that can no longer be read is left alone";
}

// ---------------------------------------------------------------------------
// Recognising an earlier installation

class ExistingInstallation : public ::testing::Test {
protected:
    ExistingInstallation() : m_dir("Tilewright Earlier") {}

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.IsMade());
        Calls().clear();
        memcpy(m_mngr.m_ident, IDENT, sizeof IDENT);
    }

    void PutUninstaller(const char* pszPayload)
    {
        std::string strSource = BuildPath("tools\\payload\\") + pszPayload;
        ASSERT_TRUE(CopyFileA(strSource.c_str(), (m_dir / "Uninst.exe").c_str(), FALSE))
            << "cannot copy " << strSource;
    }

    // A "\Setup.inf" saved by an engine whose product word is dwProduct.
    void PutSetupInfo(DWORD dwProduct, const std::string& strDir)
    {
        CSetupMngr earlier;
        earlier.m_pfnCallback = RecordingCallback;
        memcpy(earlier.m_ident, IDENT, sizeof IDENT);
        memcpy(earlier.m_ident + 4, &dwProduct, sizeof dwProduct);
        earlier.m_ident[0] = 0x77;
        earlier.m_strDestDir = strDir.c_str();
        earlier.m_strProductName = "Tilewright 1.0";
        CTopDirs top = AddTopDirs(earlier);
        AddFile(top.pSys, "C:\\windows\\system32\\tilew32.ocx", FILE_SHARED | FILE_REGISTER);
        AddFile(top.pApp, strDir + "\\Mapsmith.exe", FILE_PROGRAM_ITEM);
        ASSERT_TRUE(earlier.SaveInstallInfo()) << "cannot write the earlier installation's information";
    }

    DWORD OwnProduct() const
    {
        DWORD dw;
        memcpy(&dw, IDENT + 4, sizeof dw);
        return dw;
    }

    BOOL Check() { return m_mngr.CheckExistingInstallation(m_dir.Path().c_str()); }

    CScratchDir m_dir;
    CSetupMngr m_mngr;
};

TEST_F(ExistingInstallation, EmptyDirectoryIsFree)
{
    EXPECT_TRUE(Check());
    EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall);
}

TEST_F(ExistingInstallation, EarlierInstallationOfThisProductIsKept)
{
    PutUninstaller("payload_uninst.exe");
    PutSetupInfo(OwnProduct(), m_dir.Path());
    EXPECT_TRUE(Check());
    ASSERT_NE(nullptr, m_mngr.m_pPrevInstall) << "the earlier installation should be kept";
    const CSetupMngr& prev = *m_mngr.m_pPrevInstall;
    EXPECT_STREQ("Tilewright 1.0", prev.m_strProductName);
    EXPECT_EQ(0x77, prev.m_ident[0]) << "the whole header is read into the kept object";
    ASSERT_EQ(2, prev.m_root.children.GetCount());
    POSITION pos = prev.m_root.children.GetHeadPosition();
    prev.m_root.children.GetNext(pos);
    const CDirNode* pSys = prev.m_root.children.GetNext(pos);
    ASSERT_EQ(1, pSys->files.GetCount());
    EXPECT_STREQ("C:\\windows\\system32\\tilew32.ocx", pSys->files.GetAt(pSys->files.GetHeadPosition())->m_strPath);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ExistingInstallation, EitherFileAloneCountsWhenItMatches)
{
    PutUninstaller("payload_uninst.exe");
    EXPECT_TRUE(Check()) << "only this setup's uninstaller";
    EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall);
    DeleteFileA((m_dir / "Uninst.exe").c_str());
    PutSetupInfo(OwnProduct(), m_dir.Path());
    EXPECT_TRUE(Check()) << "only the information of this product";
    EXPECT_NE(nullptr, m_mngr.m_pPrevInstall);
}

TEST_F(ExistingInstallation, AnotherProductsInformationIsAnotherApplication)
{
    PutUninstaller("payload_uninst.exe");
    PutSetupInfo(OwnProduct() ^ 1, m_dir.Path());
    EXPECT_FALSE(Check());
    EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall) << "another product's information is not kept";
}

TEST_F(ExistingInstallation, OtherUninstallersAreAnotherApplication)
{
    PutSetupInfo(OwnProduct(), m_dir.Path());
    PutUninstaller("payload_uninst_other.exe");
    EXPECT_FALSE(Check()) << "\"Uninstall\" is not \"UNINSTALL\"";
    PutUninstaller("payload_noversion.dll");
    EXPECT_FALSE(Check()) << "an uninstaller without version strings";
    ASSERT_TRUE(WriteFileText(m_dir / "Uninst.exe", "not a program"));
    EXPECT_FALSE(Check());
    EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall);
}

TEST_F(ExistingInstallation, DamagedInformationIsRefusedWithoutCrash)
{
    PutUninstaller("payload_uninst.exe");
    PutSetupInfo(OwnProduct(), m_dir.Path());
    std::string strWhole = ReadFileText(m_dir / "Setup.inf");
    ASSERT_GT(strWhole.size(), 40u);
    for (size_t nLength : {strWhole.size() - 1, strWhole.size() / 2, size_t(30), size_t(28), size_t(10),
                           size_t(0)}) {
        ASSERT_TRUE(WriteFileText(m_dir / "Setup.inf", strWhole.substr(0, nLength)));
        EXPECT_FALSE(Check()) << "a Setup.inf cut to " << nLength << " bytes";
        EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall) << "a half-read earlier installation is kept";
    }
    std::string strHostile = strWhole.substr(0, 28) + std::string(8, '\xFF') + strWhole.substr(36);
    ASSERT_TRUE(WriteFileText(m_dir / "Setup.inf", strHostile));
    EXPECT_FALSE(Check()) << "a Setup.inf with a hostile record";
    ASSERT_TRUE(WriteFileText(m_dir / "Setup.inf", "XXXX" + strWhole.substr(4)));
    EXPECT_FALSE(Check()) << "a Setup.inf with another magic number";
}

TEST_F(ExistingInstallation, AnotherDirectoryForgetsTheEarlierInstallation)
{
    PutUninstaller("payload_uninst.exe");
    PutSetupInfo(OwnProduct(), m_dir.Path());
    ASSERT_TRUE(Check());
    ASSERT_NE(nullptr, m_mngr.m_pPrevInstall);
    CScratchDir other("Tilewright Elsewhere");
    EXPECT_TRUE(m_mngr.CheckExistingInstallation(other.Path().c_str()));
    EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall)
        << "the information of a directory no longer chosen must not stay";

    ASSERT_TRUE(Check());
    ASSERT_NE(nullptr, m_mngr.m_pPrevInstall);
    m_mngr.ClearPrevInstall();
    EXPECT_EQ(nullptr, m_mngr.m_pPrevInstall);
}

TEST_F(ExistingInstallation, SharedFilesOfTheEarlierInstallationAreNotCountedAgain)
{
    CScratchDir sys("rollback-earlier-system");
    std::string strKnown = sys / "known.dll";
    std::string strNew = sys / "newer.dll";
    CSetupMngr earlier;
    memcpy(earlier.m_ident, IDENT, sizeof IDENT);
    earlier.m_strDestDir = m_dir.Path().c_str();
    AddFile(AddTopDirs(earlier).pSys, strKnown, FILE_SHARED);
    ASSERT_TRUE(earlier.SaveInstallInfo());
    PutUninstaller("payload_uninst.exe");
    ASSERT_TRUE(Check());

    m_mngr.m_strMainExe = MAIN_EXE;
    m_mngr.m_strDocExt = DOC_EXT;
    m_mngr.m_strProductName = PRODUCT;
    m_mngr.m_strDestDir = m_dir.Path().c_str();
    CTopDirs top = AddTopDirs(m_mngr);
    AddFile(top.pSys, strKnown, FILE_SHARED);
    AddFile(top.pSys, strNew, FILE_SHARED);
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, strKnown.c_str(), 1);
    WriteDword(HKEY_LOCAL_MACHINE, SHARED_KEY, strNew.c_str(), 1);
    EXPECT_TRUE(m_mngr.UpdateSystem()) << "error " << GetLastError();
    EXPECT_EQ(1u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, strKnown.c_str()).Dword());
    EXPECT_EQ(2u, QueryValue(HKEY_LOCAL_MACHINE, SHARED_KEY, strNew.c_str()).Dword());

    for (const std::string& strPath : {strKnown, strNew})
        DeleteRegValue(HKEY_LOCAL_MACHINE, SHARED_KEY.c_str(), strPath.c_str());
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, APP_PATHS_KEY.c_str());
    DeleteRegKeyTree(HKEY_LOCAL_MACHINE, UNINSTALL_KEY.c_str());
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, DOC_TYPE_KEY.c_str());
    DeleteRegKeyTree(HKEY_CLASSES_ROOT, EXT_KEY.c_str());
}

}
