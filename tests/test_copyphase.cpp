// The copy phase on real files: each case builds its own medium (a tree made
// in code, "\Data.dat" volumes split at the disk type's capacity, the
// uninstaller) in a folder of its own, installs into folders of its own and
// answers the engine's callback as a user would, swapping the volume in the
// source folder at each disk prompt. Message boxes that the engine shows
// itself are answered by a driver thread of this process.
#include "AccessRights.h"
#include "ChildProcess.h"
#include "EngineTestKit.h"
#include "TestPaths.h"

#include "engine/SetupMngr.h"
#include "framework/CWinApp.h"
#include "model/DataVolume.h"
#include "platform/FileUtil.h"
#include "tools/guidriver/GuiDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

class CTestApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
} theTestApp;

typedef std::vector<BYTE> Bytes;

const DWORD CAP0 = 1199998;
const DWORD CAP1 = 1439998;
const DWORD BOX_WAIT_MS = 10000;
const DWORD UNINSTALLER_SIZE = 25000;
// A disk asked for this often in a row is declined, so no case can loop.
const int MAX_ASKS_PER_DISK = 4;

// ---------------------------------------------------------------------------
// Files and folders

Bytes Pattern(DWORD dwSize, DWORD dwSeed)
{
    Bytes bytes(dwSize);
    DWORD x = dwSeed * 2654435761u + 1;
    for (DWORD i = 0; i < dwSize; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<BYTE>(x >> 16);
    }
    return bytes;
}

bool WriteBytes(const std::string& path, const Bytes& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD dwWritten = 0;
    BOOL bOk = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
    CloseHandle(h);
    return bOk && dwWritten == bytes.size();
}

bool ReadBytes(const std::string& path, Bytes& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bytes.assign(GetFileSize(h, nullptr), 0);
    DWORD dwRead = 0;
    BOOL bOk = bytes.empty() || ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &dwRead, nullptr);
    CloseHandle(h);
    return bOk && dwRead == bytes.size();
}

Bytes FileBytes(const std::string& path)
{
    Bytes bytes;
    EXPECT_TRUE(ReadBytes(path, bytes)) << "cannot read " << path;
    return bytes;
}

using kit::Exists;
using kit::RemoveTree;

std::string PayloadPath(const char* pszName)
{
    return BuildPath("tools\\payload\\") + pszName;
}

VS_FIXEDFILEINFO FixedInfoOf(const std::string& path)
{
    VS_FIXEDFILEINFO info = {};
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    Bytes block(dwSize);
    void* pValue = nullptr;
    UINT nLength = 0;
    if (dwSize && GetFileVersionInfoA(path.c_str(), 0, dwSize, block.data()) &&
        VerQueryValueA(block.data(), "\\", &pValue, &nLength) && nLength >= sizeof info)
        memcpy(&info, pValue, sizeof info);
    return info;
}

// ---------------------------------------------------------------------------
// The user at the other end of the callback

struct Call {
    int nType;
    INT_PTR nArg;
    INT_PTR pArg;
    std::string text;
};

std::string TextOf(INT_PTR pString)
{
    return static_cast<const char*>(*reinterpret_cast<const CString*>(pString));
}

class CScriptedUser {
public:
    std::vector<Call> m_calls;
    // Answer to a disk prompt; by default the asked volume is put in.
    std::function<int(WORD wDisk, int nAsk)> m_onInsertDisk;
    int m_nReadOnlyAnswer = SCBR_OVERWRITE;
    std::string m_strQuitAtStatus;
    // Quits at the given progress report counted from the status text.
    std::string m_strProgressFrom;
    int m_nQuitAtProgress = 0;

    int Answer(int nType, INT_PTR nArg, INT_PTR pArg)
    {
        Call call = {nType, nArg, pArg, std::string()};
        if (nType == SCB_STATUSTEXT || nType == SCB_READONLY || nType == SCB_LOG)
            call.text = TextOf(nArg);
        if (nType == SCB_ERROR && (nArg == SCBE_FILEINUSE || nArg == SCBE_CREATEDIR))
            call.text = TextOf(pArg);
        m_calls.push_back(call);
        switch (nType) {
        case SCB_STATUSTEXT:
            m_bCounting = !m_strProgressFrom.empty() && call.text == m_strProgressFrom;
            m_nProgress = 0;
            return call.text == m_strQuitAtStatus ? 0 : 1;
        case SCB_PROGRESS:
            return m_bCounting && ++m_nProgress == m_nQuitAtProgress ? 0 : 1;
        case SCB_READONLY:
            return m_nReadOnlyAnswer;
        case SCB_INSERTDISK: {
            WORD wDisk = static_cast<WORD>(nArg);
            int nAsk = ++m_asks[wDisk];
            if (nAsk > MAX_ASKS_PER_DISK || !m_onInsertDisk)
                return 0;
            return m_onInsertDisk(wDisk, nAsk);
        }
        default:
            return 1;
        }
    }

    std::vector<Call> Of(int nType) const
    {
        std::vector<Call> result;
        for (const Call& c : m_calls)
            if (c.nType == nType)
                result.push_back(c);
        return result;
    }
    std::vector<std::string> StatusTexts() const
    {
        std::vector<std::string> texts;
        for (const Call& c : Of(SCB_STATUSTEXT))
            texts.push_back(c.text);
        return texts;
    }
    bool Logged(const std::string& line) const
    {
        for (const Call& c : Of(SCB_LOG))
            if (c.text == line)
                return true;
        return false;
    }
    std::vector<WORD> DisksAsked() const
    {
        std::vector<WORD> disks;
        for (const Call& c : Of(SCB_INSERTDISK))
            disks.push_back(static_cast<WORD>(c.nArg));
        return disks;
    }

private:
    std::map<WORD, int> m_asks;
    bool m_bCounting = false;
    int m_nProgress = 0;
};

CScriptedUser* g_pUser = nullptr;

int __cdecl TestCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    return g_pUser ? g_pUser->Answer(nType, nArg, pArg) : 1;
}

// ---------------------------------------------------------------------------
// Message boxes of this process, answered by a driver thread

struct SeenBox {
    std::string text;
    UINT nIcon = 0;
    bool bFound = false;
};

std::future<SeenBox> AnswerBox()
{
    return std::async(std::launch::async, []() {
        SeenBox box;
        HWND hBox = WaitForMessageBox(GetCurrentProcessId(), "Setup", BOX_WAIT_MS);
        if (hBox) {
            box.bFound = true;
            box.text = static_cast<const char*>(GetMessageBoxText(hBox));
            box.nIcon = GetMessageBoxIcon(hBox);
            PressButton(hBox, IDOK);
            WaitForWindowGone(hBox, BOX_WAIT_MS);
        }
        return box;
    });
}

bool NoBoxAppears()
{
    return WaitForMessageBox(GetCurrentProcessId(), "Setup", 300) == nullptr;
}

// Another process holding a file open with no sharing while it lives.
class CHeldFile {
public:
    explicit CHeldFile(const std::string& path)
    {
        std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
        std::string ready = "copyphase_ready_" + tag, release = "copyphase_release_" + tag;
        m_hReady = CreateEventA(nullptr, TRUE, FALSE, ready.c_str());
        m_hRelease = CreateEventA(nullptr, TRUE, FALSE, release.c_str());
        m_bHeld = m_hReady && m_hRelease &&
                  m_child.Start(PayloadPath("payload_holdfile.exe"), "\"" + path + "\" " + ready + " " + release + " 30000") &&
                  WaitForSingleObject(m_hReady, 10000) == WAIT_OBJECT_0;
    }
    CHeldFile(const CHeldFile&) = delete;
    CHeldFile& operator=(const CHeldFile&) = delete;
    ~CHeldFile()
    {
        if (m_hRelease)
            SetEvent(m_hRelease);
        m_child.WaitForExit(10000);
        if (m_hReady)
            CloseHandle(m_hReady);
        if (m_hRelease)
            CloseHandle(m_hRelease);
    }
    bool m_bHeld = false;

private:
    HANDLE m_hReady = nullptr;
    HANDLE m_hRelease = nullptr;
    CChildProcess m_child;
};

// ---------------------------------------------------------------------------
// The fixture: a medium, a destination and a system folder of the case's own

class CopyPhase : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* pInfo = ::testing::UnitTest::GetInstance()->current_test_info();
        m_base = std::string("C:\\copyphase_") + pInfo->name();
        RemoveTree(m_base);
        ASSERT_TRUE(CreateDirectoryA(m_base.c_str(), nullptr)) << "cannot create " << m_base;
        m_src = m_base + "\\src";
        m_vols = m_base + "\\vols";
        m_dest = m_base + "\\dest\\Tilewright";
        m_sys = m_base + "\\sys";
        for (const std::string& dir : {m_src, m_vols, m_base + "\\dest", m_sys})
            ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << "cannot create " << dir;

        m_engine.Reset();
        g_pUser = &m_user;
        m_engine.m_pfnCallback = TestCallback;
        m_engine.m_strSourceDir = m_src.c_str();
        m_engine.m_strDestDir = m_dest.c_str();
        m_engine.m_strSystemDir = m_sys.c_str();
        m_pApp = AddDir(&m_engine.m_root, "Applikation");
        m_pSys = AddDir(&m_engine.m_root, "WinSys");
        m_uninstaller = Pattern(UNINSTALLER_SIZE, 999);
        ASSERT_TRUE(WriteBytes(m_src + "\\_Uninst.ex_", m_uninstaller));
        m_user.m_onInsertDisk = [this](WORD wDisk, int) { return PutVolume(wDisk) ? 1 : 0; };
    }

    void TearDown() override
    {
        g_pUser = nullptr;
        m_engine.m_dataFile.Abort();
        RemoveTree(m_base);
    }

    CDirNode* AddDir(CDirNode* pParent, const char* pszName)
    {
        CDirNode* pNode = new CDirNode(pParent);
        pNode->dir = new CInstallDir;
        pNode->dir->SetPath(pszName);
        pParent->children.AddTail(pNode);
        return pNode;
    }

    // A file record whose data in the stream are the given bytes.
    CInstalledFile* AddFile(CDirNode* pNode, const char* pszName, const Bytes& bytes,
                            const VS_FIXEDFILEINFO* pVersion = nullptr)
    {
        CInstalledFile* pFile = new CInstalledFile;
        pFile->SetPath(pszName);
        pFile->m_dwSize = static_cast<DWORD>(bytes.size());
        if (pVersion)
            pFile->m_version = *pVersion;
        pNode->files.AddTail(pFile);
        m_content[pFile] = bytes;
        return pFile;
    }

    CInstalledFile* AddPattern(CDirNode* pNode, const char* pszName, DWORD dwSize)
    {
        return AddFile(pNode, pszName, Pattern(dwSize, static_cast<DWORD>(m_content.size()) + 1));
    }

    // The stream in the walk's order, split into volumes at the capacity;
    // the first one is put into the source folder.
    void WriteMedium(DWORD nDiskType)
    {
        m_engine.m_nDiskType = nDiskType;
        Bytes stream;
        CObject* pItem = nullptr;
        for (int n = m_engine.GetFirstItem(pItem); n != ITEM_END; n = m_engine.GetNextItem(pItem))
            if (n == ITEM_FILE) {
                const Bytes& bytes = m_content[static_cast<CInstalledFile*>(pItem)];
                stream.insert(stream.end(), bytes.begin(), bytes.end());
            }
        m_engine.m_dwAppBytes = static_cast<DWORD>(stream.size()) + UNINSTALLER_SIZE;
        DWORD dwCapacity = DataVolumeCapacity(nDiskType);
        DWORD nVolumes = DataVolumeCount(stream.size(), nDiskType);
        for (DWORD k = 0; k < nVolumes; ++k) {
            size_t nStart = dwCapacity ? size_t(k) * dwCapacity : 0;
            size_t nEnd = dwCapacity ? std::min<size_t>(stream.size(), nStart + dwCapacity) : stream.size();
            WriteVolume(k, static_cast<WORD>(k), Bytes(stream.begin() + nStart, stream.begin() + nEnd));
        }
        m_nVolumes = nVolumes;
        ASSERT_TRUE(PutVolume(0));
    }

    void WriteVolume(DWORD k, WORD wIndex, const Bytes& data)
    {
        Bytes volume = {static_cast<BYTE>(wIndex), static_cast<BYTE>(wIndex >> 8)};
        volume.insert(volume.end(), data.begin(), data.end());
        ASSERT_TRUE(WriteBytes(VolumePath(k), volume));
    }

    std::string VolumePath(DWORD k) const { return m_vols + "\\" + std::to_string(k) + ".dat"; }
    std::string DataDat() const { return m_src + "\\Data.dat"; }

    bool PutVolume(DWORD k) { return CopyFileA(VolumePath(k).c_str(), DataDat().c_str(), FALSE) != 0; }

    // Cuts the saved volume by dwBytes from its end.
    void TruncateVolume(DWORD k, DWORD dwBytes)
    {
        Bytes volume = FileBytes(VolumePath(k));
        volume.resize(volume.size() - dwBytes);
        ASSERT_TRUE(WriteBytes(VolumePath(k), volume));
    }

    void ExpectInstalled(const CInstalledFile* pFile, const std::string& path)
    {
        EXPECT_STREQ(path.c_str(), pFile->m_strPath) << "the record does not hold the installed path";
        Bytes bytes;
        ASSERT_TRUE(ReadBytes(path, bytes)) << path << " was not installed";
        EXPECT_TRUE(bytes == m_content.at(pFile)) << path << " does not hold the bytes of its data (" << bytes.size()
                                                  << " bytes, expected " << m_content.at(pFile).size() << ")";
    }

    // The tree's files the journal records as new, in install order.
    std::vector<std::string> NewFiles()
    {
        std::vector<std::string> files;
        for (const CJournalRecord& record : m_engine.m_journal.m_records)
            if (record.m_op == JOURNAL_NEW_FILE && GetFileNameFromPath(record.m_strPath) != "Uninst.exe")
                files.push_back(static_cast<const char*>(record.m_strPath));
        return files;
    }

    static std::vector<std::string> PathsOf(std::initializer_list<const CInstalledFile*> files)
    {
        std::vector<std::string> paths;
        for (const CInstalledFile* pFile : files)
            paths.push_back(static_cast<const char*>(pFile->m_strPath));
        return paths;
    }

    // The files a replacement moved aside, as the journal lists them: each
    // one's home and bytes.
    std::map<std::string, Bytes> KeptFiles()
    {
        std::map<std::string, Bytes> kept;
        for (const CJournalRecord& record : m_engine.m_journal.m_records)
            if (record.m_op == JOURNAL_KEPT_FILE && Exists(static_cast<const char*>(record.m_strKept)))
                kept[static_cast<const char*>(record.m_strPath)] = FileBytes(static_cast<const char*>(record.m_strKept));
        return kept;
    }

    BOOL IsRecordedNew(const std::string& path)
    {
        for (const CJournalRecord& record : m_engine.m_journal.m_records)
            if (record.m_op == JOURNAL_NEW_FILE && record.m_strPath == path.c_str())
                return TRUE;
        return FALSE;
    }

    // No temporary file is left beyond the kept files the journal lists.
    void ExpectNoTempFiles()
    {
        std::vector<std::string> left = kit::TempFilesBelow(m_base + "\\dest");
        std::vector<std::string> sysLeft = kit::TempFilesBelow(m_sys);
        left.insert(left.end(), sysLeft.begin(), sysLeft.end());
        for (const CJournalRecord& record : m_engine.m_journal.m_records)
            if (record.m_op == JOURNAL_KEPT_FILE)
                left.erase(std::remove(left.begin(), left.end(), std::string(record.m_strKept)), left.end());
        EXPECT_TRUE(left.empty()) << "temporary file left: " << (left.empty() ? "" : left[0]);
    }

    // A failure the user has been told about leaves no setup code.
    void ExpectNoSetupCode(DWORD dwError)
    {
        EXPECT_NE(0xE0000000u, dwError & 0xFFFFFFF0u) << "unexpected setup code " << std::hex << dwError;
    }

    int LastPercent() const
    {
        std::vector<Call> progress = m_user.Of(SCB_PROGRESS);
        return progress.empty() ? -1 : static_cast<int>(progress.back().nArg);
    }

    CSetupMngr m_engine;
    CScriptedUser m_user;
    CDirNode* m_pApp = nullptr;
    CDirNode* m_pSys = nullptr;
    std::map<const CInstalledFile*, Bytes> m_content;
    Bytes m_uninstaller;
    DWORD m_nVolumes = 0;
    std::string m_base, m_src, m_vols, m_dest, m_sys;
};

// ---------------------------------------------------------------------------
// A whole phase

TEST_F(CopyPhase, OneDiskInstallsEveryFileWithItsBytesAndPath)
{
    CDirNode* pSub = AddDir(m_pApp, "Samples");
    CDirNode* pEmpty = AddDir(pSub, "Empty");
    CInstalledFile* pForm = AddPattern(pSub, "Form.dfm", 23456);
    CInstalledFile* pExe = AddPattern(m_pApp, "Mapsmith.exe", 54321);
    CInstalledFile* pNothing = AddPattern(m_pApp, "Empty.txt", 0);
    CInstalledFile* pLib = AddPattern(m_pSys, "Tiles.dll", 7777);
    WriteMedium(0);

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();

    ExpectInstalled(pForm, m_dest + "\\Samples\\Form.dfm");
    ExpectInstalled(pExe, m_dest + "\\Mapsmith.exe");
    ExpectInstalled(pNothing, m_dest + "\\Empty.txt");
    ExpectInstalled(pLib, m_sys + "\\Tiles.dll");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_dest + "\\Samples\\Empty").c_str()))
        << "an empty directory of the tree is created too";
    EXPECT_STREQ("Empty", pEmpty->dir->m_strPath) << "only the top-level records change their text";
    EXPECT_TRUE(FileBytes(m_dest + "\\Uninst.exe") == m_uninstaller) << "the uninstaller is copied unchanged";
    EXPECT_TRUE(IsRecordedNew(m_dest + "\\Uninst.exe"));
    EXPECT_EQ(PathsOf({pForm, pExe, pNothing, pLib}), NewFiles())
        << "every created file is noted in install order";

    EXPECT_STREQ("Applikation", m_pApp->dir->m_strPath);
    EXPECT_STREQ("WinSys", m_pSys->dir->m_strPath);
    EXPECT_EQ(0, m_engine.m_nDepth) << "the path cursor is back at the root";
    EXPECT_STREQ("", m_engine.m_strCurPath);
    EXPECT_EQ(&m_engine.m_root, m_engine.m_pCurNode);
    EXPECT_FALSE(m_engine.m_dataFile.IsOpen()) << "the data volume stays open after the phase";

    EXPECT_EQ((std::vector<std::string>{"Uninst.exe", "Form.dfm", "Mapsmith.exe", "Empty.txt", "Tiles.dll"}),
              m_user.StatusTexts()) << "one status text per file, the bare file name";
    EXPECT_TRUE(m_user.DisksAsked().empty()) << "the first volume is taken without a question";
    EXPECT_EQ(m_engine.m_dwAppBytes, m_engine.m_ullBytesTotal);
    EXPECT_EQ(m_engine.m_ullBytesTotal, m_engine.m_ullBytesDone) << "every byte counts as done";
    EXPECT_EQ(100, LastPercent());
    // 25,000 + 23,456 + 54,321 + 7,777 bytes in blocks of at most 10,000.
    EXPECT_EQ(3u + 3u + 6u + 1u, m_user.Of(SCB_PROGRESS).size())
        << "one report per block; the empty file makes none";
    ExpectNoTempFiles();
}

// Every name the run makes takes the next number: the files replaced in
// one directory, most of them within one tick, each find their temporary
// and kept names at the first try, all distinct.
TEST_F(CopyPhase, FilesReplacedInOneDirectoryTakeConsecutiveNames)
{
    const size_t FILE_COUNT = 300;
    ASSERT_TRUE(CreateDirectoryA(m_dest.c_str(), nullptr));
    for (size_t i = 0; i < FILE_COUNT; ++i) {
        std::string name = "File" + std::to_string(i) + ".txt";
        ASSERT_TRUE(WriteBytes(m_dest + "\\" + name, Pattern(10, static_cast<DWORD>(i))));
        AddPattern(m_pApp, name.c_str(), 100);
    }
    WriteMedium(0);

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();

    std::vector<unsigned long> numbers;
    std::set<std::string> keptNames;
    for (const CJournalRecord& record : m_engine.m_journal.m_records) {
        if (record.m_op != JOURNAL_KEPT_FILE)
            continue;
        std::string temp = static_cast<const char*>(GetFileNameFromPath(record.m_strTemp));
        numbers.push_back(strtoul(temp.substr(3, 4).c_str(), nullptr, 16));
        keptNames.insert(static_cast<const char*>(record.m_strKept));
    }
    ASSERT_EQ(FILE_COUNT, numbers.size()) << "every target was there and is kept aside";
    EXPECT_EQ(FILE_COUNT, keptNames.size()) << "each kept file has a name of its own";
    size_t nSkips = 0;
    for (size_t i = 1; i < numbers.size(); ++i)
        nSkips += numbers[i] != (numbers[i - 1] + 1) % 0x10000;
    EXPECT_EQ(0u, nSkips) << "names not found at the first try";
}

TEST_F(CopyPhase, SeveralDisksOfTypeZeroContinueTheStreamOnEachVolume)
{
    // Volume 0: A (1,000,000) and the first 199,998 bytes of B; volume 1:
    // the rest of B, the empty C, D ending exactly at the volume's end;
    // volume 2: E.
    CInstalledFile* pA = AddPattern(m_pApp, "A.bin", 1000000);
    CInstalledFile* pB = AddPattern(m_pApp, "B.bin", 500000);
    CInstalledFile* pC = AddPattern(m_pApp, "C.bin", 0);
    CInstalledFile* pD = AddPattern(m_pApp, "D.bin", 2 * CAP0 - 1500000);
    CInstalledFile* pE = AddPattern(m_pApp, "E.bin", 4321);
    WriteMedium(0);
    ASSERT_EQ(3u, m_nVolumes);

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();

    for (CInstalledFile* pFile : {pA, pB, pC, pD, pE})
        ExpectInstalled(pFile, m_dest + "\\" + static_cast<const char*>(pFile->GetFileName()));
    EXPECT_EQ((std::vector<WORD>{1, 2}), m_user.DisksAsked()) << "each following disk is asked for once, in turn";
    for (const Call& c : m_user.Of(SCB_INSERTDISK))
        EXPECT_EQ('C', c.pArg) << "the prompt names the source drive";
    // The prompt for disk 2 comes only once E needs data, after its status text.
    std::vector<int> order;
    for (const Call& c : m_user.m_calls)
        if (c.nType == SCB_INSERTDISK || (c.nType == SCB_STATUSTEXT && c.text == "E.bin"))
            order.push_back(c.nType);
    EXPECT_EQ((std::vector<int>{SCB_INSERTDISK, SCB_STATUSTEXT, SCB_INSERTDISK}), order)
        << "a file ending with its volume must not ask for the next disk at once";
    ExpectNoTempFiles();
}

TEST_F(CopyPhase, TypeOneFileSpanningThreeVolumesAsksForEachDisk)
{
    CInstalledFile* pBig = AddPattern(m_pApp, "Big.bin", 2 * CAP1 + 12345);
    WriteMedium(1);
    ASSERT_EQ(3u, m_nVolumes);

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    ExpectInstalled(pBig, m_dest + "\\Big.bin");
    EXPECT_EQ((std::vector<WORD>{1, 2}), m_user.DisksAsked());
    EXPECT_EQ(100, LastPercent());
}

TEST_F(CopyPhase, DecliningTheDiskFailsWithCopyErrorAndKeepsNoPartialFile)
{
    CInstalledFile* pFirst = AddPattern(m_pApp, "First.bin", 100000);
    CInstalledFile* pSpans = AddPattern(m_pApp, "Spans.bin", CAP0);
    WriteMedium(0);
    m_user.m_onInsertDisk = [](WORD, int) { return 0; };

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    EXPECT_EQ((std::vector<WORD>{1}), m_user.DisksAsked());
    EXPECT_FALSE(Exists(m_dest + "\\Spans.bin")) << "a file whose data are missing must not appear";
    // The file being written was journaled before its temporary file was made.
    EXPECT_EQ(PathsOf({pFirst, pSpans}), NewFiles());
    EXPECT_FALSE(m_engine.m_dataFile.IsOpen());
    ExpectNoTempFiles();
}

TEST_F(CopyPhase, AVolumeOfAnotherDiskBringsThePromptAgain)
{
    CInstalledFile* pA = AddPattern(m_pApp, "A.bin", CAP0 + 5000);
    CInstalledFile* pB = AddPattern(m_pApp, "B.bin", CAP0);
    WriteMedium(0);
    ASSERT_EQ(3u, m_nVolumes);
    // Disk 3 first, then the right one.
    m_user.m_onInsertDisk = [this](WORD wDisk, int nAsk) { return PutVolume(nAsk == 1 ? 2 : wDisk) ? 1 : 0; };

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    ExpectInstalled(pA, m_dest + "\\A.bin");
    ExpectInstalled(pB, m_dest + "\\B.bin");
    EXPECT_EQ((std::vector<WORD>{1, 1, 2}), m_user.DisksAsked());
}

TEST_F(CopyPhase, AShortNonLastVolumeCountsAsTheWrongDisk)
{
    CInstalledFile* pA = AddPattern(m_pApp, "A.bin", CAP0 + 100);
    CInstalledFile* pB = AddPattern(m_pApp, "B.bin", CAP0);
    WriteMedium(0);
    ASSERT_EQ(3u, m_nVolumes);
    // A copy of disk 2 that lost its last bytes would shift B's data.
    Bytes good = FileBytes(VolumePath(1));
    TruncateVolume(1, 10);
    m_user.m_onInsertDisk = [this, good](WORD wDisk, int nAsk) {
        if (wDisk == 1 && nAsk == 2)
            WriteBytes(VolumePath(1), good);
        return PutVolume(wDisk) ? 1 : 0;
    };

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    EXPECT_EQ((std::vector<WORD>{1, 1, 2}), m_user.DisksAsked());
    ExpectInstalled(pA, m_dest + "\\A.bin");
    ExpectInstalled(pB, m_dest + "\\B.bin");
}

TEST_F(CopyPhase, ATruncatedLastVolumeIsAskedForAgainAndDecliningFails)
{
    AddPattern(m_pApp, "A.bin", CAP0 + 50000);
    WriteMedium(0);
    TruncateVolume(1, 1);

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    EXPECT_EQ(std::vector<WORD>(MAX_ASKS_PER_DISK + 1, 1), m_user.DisksAsked())
        << "the short volume is refused at every look";
    EXPECT_FALSE(Exists(m_dest + "\\A.bin"));
    ExpectNoTempFiles();
}

TEST_F(CopyPhase, AFirstVolumeWithoutItsHeaderIsTheWrongDisk)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    ASSERT_TRUE(WriteBytes(DataDat(), Bytes{0}));
    m_user.m_onInsertDisk = [](WORD, int) { return 0; };

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    EXPECT_EQ((std::vector<WORD>{0}), m_user.DisksAsked()) << "the first disk is asked for";
}

TEST_F(CopyPhase, AVolumeThatCannotBeReadIsReportedAndFails)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    CHeldFile held(DataDat());
    ASSERT_TRUE(held.m_bHeld) << "payload_holdfile did not take the volume";
    auto box = AnswerBox();

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    SeenBox seen = box.get();
    ASSERT_TRUE(seen.bFound) << "no message for a volume held by another program";
    EXPECT_EQ("Can't access to the file " + DataDat() +
                  ".\r\nIt is used by Windows.\r\nClose all Windows-applications and restart the Setup.",
              seen.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), seen.nIcon);
    EXPECT_TRUE(m_user.DisksAsked().empty());
    EXPECT_FALSE(Exists(m_dest + "\\A.bin"));
}

TEST_F(CopyPhase, ADataStreamBeyondAllDiskNumbersIsRefused)
{
    for (int i = 0; i < 20; ++i) {
        CInstalledFile* pFile = new CInstalledFile;
        pFile->SetPath(("Huge" + std::to_string(i) + ".bin").c_str());
        pFile->m_dwSize = 0xFFFFFFFF;
        m_pApp->files.AddTail(pFile);
    }
    WriteMedium(0);

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ARITHMETIC_OVERFLOW), GetLastError());
    ASSERT_EQ(1u, m_user.Of(SCB_ERROR).size()) << "the refusal is told to the user";
    EXPECT_EQ(SCBE_GENERAL, m_user.Of(SCB_ERROR)[0].nArg);
    EXPECT_TRUE(m_user.DisksAsked().empty());
    EXPECT_FALSE(Exists(m_dest + "\\Huge0.bin"));
}

TEST_F(CopyPhase, AOneVolumeStreamTooLargeToSeekIsRefused)
{
    CInstalledFile* pFile = new CInstalledFile;
    pFile->SetPath("Huge.bin");
    pFile->m_dwSize = 0x80000000;
    m_pApp->files.AddTail(pFile);
    WriteMedium(2);

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ARITHMETIC_OVERFLOW), GetLastError());
    EXPECT_FALSE(Exists(m_dest + "\\Huge.bin"));
}

// ---------------------------------------------------------------------------
// Existing targets

class CopyPhaseVersions : public CopyPhase {
protected:
    CInstalledFile* AddPayload(CDirNode* pNode, const char* pszName, const char* pszPayload)
    {
        std::string path = PayloadPath(pszPayload);
        VS_FIXEDFILEINFO version = FixedInfoOf(path);
        return AddFile(pNode, pszName, FileBytes(path), &version);
    }
    void PlaceExisting(const std::string& path, const char* pszPayload)
    {
        ASSERT_TRUE(CreateDirectoryA(m_dest.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_TRUE(CopyFileA(PayloadPath(pszPayload).c_str(), path.c_str(), FALSE)) << path;
    }
};

TEST_F(CopyPhaseVersions, NewerAndEqualTargetsAreKeptOlderOnesReplaced)
{
    CInstalledFile* pNewer = AddPayload(m_pApp, "Newer.dll", "payload_ver_1_0_0_2.dll");
    CInstalledFile* pEqual = AddPayload(m_pApp, "Equal.dll", "payload_ver_1_0_0_2.dll");
    CInstalledFile* pOlder = AddPayload(m_pApp, "Older.dll", "payload_ver_1_0_0_2.dll");
    CInstalledFile* pBare = AddPayload(m_pApp, "Bare.dll", "payload_ver_1_0_0_2.dll");
    CInstalledFile* pAfter = AddPattern(m_pApp, "After.bin", 33333);
    WriteMedium(0);
    PlaceExisting(m_dest + "\\Newer.dll", "payload_ver_2_0_0_0.dll");
    PlaceExisting(m_dest + "\\Equal.dll", "payload_ver_1_0_0_2.dll");
    PlaceExisting(m_dest + "\\Older.dll", "payload_ver_1_0_0_1.dll");
    PlaceExisting(m_dest + "\\Bare.dll", "payload_noversion.dll");

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();

    EXPECT_TRUE(FileBytes(m_dest + "\\Newer.dll") == FileBytes(PayloadPath("payload_ver_2_0_0_0.dll")))
        << "a newer installed file is kept";
    EXPECT_STREQ((m_dest + "\\Newer.dll").c_str(), pNewer->m_strPath) << "a kept file still records its path";
    EXPECT_STREQ((m_dest + "\\Equal.dll").c_str(), pEqual->m_strPath);
    ExpectInstalled(pOlder, m_dest + "\\Older.dll");
    ExpectInstalled(pBare, m_dest + "\\Bare.dll");
    ExpectInstalled(pAfter, m_dest + "\\After.bin");
    EXPECT_EQ(PathsOf({pAfter}), NewFiles()) << "kept and replaced files are not new";
    EXPECT_EQ(m_engine.m_ullBytesTotal, m_engine.m_ullBytesDone) << "skipped data count as done";
    EXPECT_TRUE(m_user.Of(SCB_READONLY).empty());
    EXPECT_EQ((std::map<std::string, Bytes>{{m_dest + "\\Older.dll", FileBytes(PayloadPath("payload_ver_1_0_0_1.dll"))},
                                            {m_dest + "\\Bare.dll", FileBytes(PayloadPath("payload_noversion.dll"))}}),
              KeptFiles())
        << "each replaced file is kept aside whole, and only those";
    ExpectNoTempFiles();
}

TEST_F(CopyPhaseVersions, ASkippedFileEndingWithTheLastVolumeAsksForNoFurtherDisk)
{
    CInstalledFile* pFirst = AddPattern(m_pApp, "First.bin", CAP0 - 1000);
    CInstalledFile* pKept = AddPayload(m_pApp, "Kept.dll", "payload_ver_1_0_0_1.dll");
    m_content[pKept] = Pattern(CAP0 + 1000, 77);
    pKept->m_dwSize = CAP0 + 1000;
    WriteMedium(0);
    ASSERT_EQ(2u, m_nVolumes) << "the last volume is exactly full";
    PlaceExisting(m_dest + "\\Kept.dll", "payload_ver_2_0_0_0.dll");

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    EXPECT_EQ((std::vector<WORD>{1}), m_user.DisksAsked()) << "a disk that does not exist was asked for";
    ExpectInstalled(pFirst, m_dest + "\\First.bin");
}

TEST_F(CopyPhaseVersions, AFileAfterASkippedSpanningOneGetsItsOwnBytes)
{
    AddPattern(m_pApp, "First.bin", CAP0 - 1000);
    CInstalledFile* pKept = AddPayload(m_pApp, "Kept.dll", "payload_ver_1_0_0_1.dll");
    m_content[pKept] = Pattern(3000, 78);
    pKept->m_dwSize = 3000;
    CInstalledFile* pLast = AddPattern(m_pApp, "Last.bin", 5000);
    WriteMedium(0);
    PlaceExisting(m_dest + "\\Kept.dll", "payload_ver_2_0_0_0.dll");

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    ExpectInstalled(pLast, m_dest + "\\Last.bin");
    EXPECT_EQ((std::vector<WORD>{1}), m_user.DisksAsked());
}

TEST_F(CopyPhaseVersions, AnOlderTargetInUseStopsWithTheInUseMessage)
{
    AddPayload(m_pApp, "Busy.dll", "payload_ver_1_0_0_2.dll");
    AddPattern(m_pApp, "Later.bin", 100);
    WriteMedium(0);
    std::string target = m_dest + "\\Busy.dll";
    PlaceExisting(target, "payload_ver_1_0_0_1.dll");
    {
        CHeldFile held(target);
        ASSERT_TRUE(held.m_bHeld) << "payload_holdfile did not take the target";
        EXPECT_FALSE(m_engine.CopyFiles());
        ExpectNoSetupCode(GetLastError());
    }
    std::vector<Call> errors = m_user.Of(SCB_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(SCBE_FILEINUSE, errors[0].nArg);
    EXPECT_EQ(target, errors[0].text);
    EXPECT_TRUE(FileBytes(target) == FileBytes(PayloadPath("payload_ver_1_0_0_1.dll"))) << "the target was touched";
    EXPECT_FALSE(Exists(m_dest + "\\Later.bin")) << "nothing is copied after the first failing file";
    ExpectNoTempFiles();
}

TEST_F(CopyPhaseVersions, AReadOnlyTargetIsReplacedSkippedOrQuitByTheAnswer)
{
    struct Case {
        int nAnswer;
        bool bResult;
        bool bReplaced;
    } cases[] = {{SCBR_OVERWRITE, true, true}, {SCBR_SKIP, true, false}, {SCBR_QUIT, false, false}};
    CInstalledFile* pLocked = AddPayload(m_pApp, "Locked.dll", "payload_ver_1_0_0_2.dll");
    CInstalledFile* pAfter = AddPattern(m_pApp, "After.bin", 4000);
    WriteMedium(0);
    std::string target = m_dest + "\\Locked.dll";
    Bytes old = FileBytes(PayloadPath("payload_noversion.dll"));

    for (const Case& c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.nAnswer));
        RemoveTree(m_dest);
        PlaceExisting(target, "payload_noversion.dll");
        ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
        m_engine.Reset();
        m_engine.m_nDiskType = 0;
        m_engine.m_dwAppBytes = static_cast<DWORD>(m_content[pLocked].size() + 4000 + UNINSTALLER_SIZE);
        m_engine.m_journal.Rewrite(std::vector<CJournalRecord>());
        m_engine.ChangeDirectory(-2);
        m_pApp->dir->SetPath("Applikation");
        m_pSys->dir->SetPath("WinSys");
        pLocked->SetPath("Locked.dll");
        pAfter->SetPath("After.bin");
        m_user.m_calls.clear();
        m_user.m_nReadOnlyAnswer = c.nAnswer;

        EXPECT_EQ(c.bResult, m_engine.CopyFiles() != FALSE);
        if (!c.bResult)
            ExpectNoSetupCode(GetLastError());
        std::vector<Call> asked = m_user.Of(SCB_READONLY);
        ASSERT_EQ(1u, asked.size()) << "the user is asked once about the read-only file";
        EXPECT_EQ(target, asked[0].text);
        DWORD dwAttr = GetFileAttributesA(target.c_str());
        if (c.bReplaced) {
            ExpectInstalled(pLocked, target);
            EXPECT_FALSE(dwAttr & FILE_ATTRIBUTE_READONLY) << "the new file takes no attribute of the old";
            ASSERT_EQ(1u, KeptFiles().size());
            std::string kept;
            for (const CJournalRecord& record : m_engine.m_journal.m_records)
                if (record.m_op == JOURNAL_KEPT_FILE)
                    kept = static_cast<const char*>(record.m_strKept);
            EXPECT_TRUE(GetFileAttributesA(kept.c_str()) & FILE_ATTRIBUTE_READONLY) << "the kept file stays read-only";
        } else {
            EXPECT_TRUE(FileBytes(target) == old) << "the read-only file was not kept";
            EXPECT_TRUE(dwAttr & FILE_ATTRIBUTE_READONLY);
        }
        if (c.bResult)
            ExpectInstalled(pAfter, m_dest + "\\After.bin");
        else
            EXPECT_FALSE(Exists(m_dest + "\\After.bin"));
        EXPECT_EQ(c.bResult ? PathsOf({pAfter}) : std::vector<std::string>{}, NewFiles());
        ExpectNoTempFiles();

        m_engine.Rollback();
        EXPECT_TRUE(FileBytes(target) == old) << "a rollback gives the read-only file back";
        EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY) << "read-only, as it was";
        EXPECT_TRUE(kit::TempFilesBelow(m_base + "\\dest").empty()) << "the kept file is gone";
        EXPECT_FALSE(Exists(m_dest + "\\After.bin"));
    }
}

TEST_F(CopyPhaseVersions, AReadOnlyUninstallerIsReplacedWithoutAQuestion)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    std::string target = m_dest + "\\Uninst.exe";
    PlaceExisting(target, "payload_uninst.exe");
    ASSERT_TRUE(SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    EXPECT_TRUE(FileBytes(target) == m_uninstaller);
    EXPECT_FALSE(IsRecordedNew(target)) << "an uninstaller that existed is not new";
    EXPECT_TRUE(m_user.Of(SCB_READONLY).empty());
}

// ---------------------------------------------------------------------------
// Cancelling

TEST_F(CopyPhase, QuittingAtTheStatusTextStopsBeforeTheFile)
{
    CInstalledFile* pFirst = AddPattern(m_pApp, "First.bin", 1000);
    AddPattern(m_pApp, "Second.bin", 1000);
    WriteMedium(0);
    m_user.m_strQuitAtStatus = "Second.bin";

    EXPECT_FALSE(m_engine.CopyFiles());
    ExpectNoSetupCode(GetLastError());
    EXPECT_FALSE(Exists(m_dest + "\\Second.bin"));
    EXPECT_EQ(PathsOf({pFirst}), NewFiles());
    ExpectNoTempFiles();
}

TEST_F(CopyPhase, QuittingInsideABlockCopyLeavesNoPartialFile)
{
    CInstalledFile* pFirst = AddPattern(m_pApp, "First.bin", 1000);
    CInstalledFile* pSecond = AddPattern(m_pApp, "Second.bin", 35000);
    WriteMedium(0);
    m_user.m_strProgressFrom = "Second.bin";
    m_user.m_nQuitAtProgress = 2;

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    EXPECT_FALSE(Exists(m_dest + "\\Second.bin")) << "a cancelled file must not appear under its name";
    EXPECT_EQ(PathsOf({pFirst, pSecond}), NewFiles());
    ExpectNoTempFiles();
}

TEST_F(CopyPhaseVersions, QuittingWhileReplacingLeavesTheOldFile)
{
    AddPayload(m_pApp, "Old.dll", "payload_ver_1_0_0_2.dll");
    WriteMedium(0);
    std::string target = m_dest + "\\Old.dll";
    PlaceExisting(target, "payload_noversion.dll");
    m_user.m_strProgressFrom = "Old.dll";
    m_user.m_nQuitAtProgress = 1;

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    EXPECT_TRUE(FileBytes(target) == FileBytes(PayloadPath("payload_noversion.dll")))
        << "the target must stay as it was";
    ExpectNoTempFiles();
}

TEST_F(CopyPhase, QuittingDuringTheUninstallerLeavesNothing)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    m_user.m_strProgressFrom = "Uninst.exe";
    m_user.m_nQuitAtProgress = 2;

    EXPECT_FALSE(m_engine.CopyFiles());
    EXPECT_EQ(SETUP_E_COPY, GetLastError());
    EXPECT_FALSE(Exists(m_dest + "\\Uninst.exe"));
    ExpectNoTempFiles();
}

// ---------------------------------------------------------------------------
// Destinations and sources that fail

TEST_F(CopyPhase, ADestinationBelowAFileCannotBeCreated)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    std::string blocker = m_base + "\\a";
    ASSERT_TRUE(WriteBytes(blocker, Bytes{1, 2, 3}));
    std::string dest = blocker + "\\b";
    m_engine.m_strDestDir = dest.c_str();

    EXPECT_FALSE(m_engine.CopyFiles());
    ExpectNoSetupCode(GetLastError());
    std::vector<Call> errors = m_user.Of(SCB_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(SCBE_CREATEDIR, errors[0].nArg);
    EXPECT_EQ(dest, errors[0].text);
    EXPECT_TRUE(m_user.StatusTexts().empty()) << "nothing is copied";
}

TEST_F(CopyPhase, ADestinationThatIsAFileIsNotTakenForTheDirectory)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    ASSERT_TRUE(WriteBytes(m_dest, Bytes{1, 2, 3}));

    EXPECT_FALSE(m_engine.CopyFiles());
    std::vector<Call> errors = m_user.Of(SCB_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(SCBE_CREATEDIR, errors[0].nArg);
    EXPECT_EQ(m_dest, errors[0].text);
    EXPECT_TRUE(FileBytes(m_dest) == (Bytes{1, 2, 3})) << "the file in the way is left alone";
}

// Below a drive's root a new directory would let every user change what
// administrators later run (see AccessRights.h for what Wine shows).
TEST_F(CopyPhase, ACreatedDestinationIsClosedToUsersAndTheLogSaysSo)
{
    CDirNode* pSub = AddDir(m_pApp, "Samples");
    AddPattern(pSub, "Form.dfm", 100);
    WriteMedium(0);

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();

    for (const std::string& dir : {m_dest, m_dest + "\\Samples"}) {
        CAccessRights rights = AccessRightsOf(dir);
        ASSERT_TRUE(rights.bRead) << dir << ": its descriptor cannot be read, error " << GetLastError();
        EXPECT_FALSE(rights.GrantsUsersWrite())
            << dir << " " << rights.strSddl << ": users may write (" << rights.userWrites[0] << ")";
    }
    CAccessRights dest = AccessRightsOf(m_dest);
    EXPECT_FALSE(dest.bEveryoneListed) << dest.strSddl << ": the destination did not get a program folder's rights";
    EXPECT_TRUE(m_user.Logged("destination created, writable by the system and the administrators only: " + m_dest))
        << "the log does not say how the destination was made";
    ASSERT_FALSE(m_engine.m_journal.m_records.empty());
    EXPECT_EQ(JOURNAL_DIRECTORY, m_engine.m_journal.m_records[0].m_op);
    EXPECT_STREQ(m_dest.c_str(), m_engine.m_journal.m_records[0].m_strPath) << "a rollback would not remove it";
}

TEST_F(CopyPhase, AnExistingDestinationKeepsItsRightsAndTheLogSaysSo)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    ASSERT_TRUE(CreateDirectoryA(m_dest.c_str(), nullptr)) << "error " << GetLastError();
    std::string before = AccessRightsOf(m_dest).strSddl;
    ASSERT_FALSE(before.empty()) << "the descriptor cannot be read, error " << GetLastError();

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();

    EXPECT_EQ(before, AccessRightsOf(m_dest).strSddl) << "the owner's rights were changed";
    EXPECT_TRUE(m_user.Logged("destination existed, its access rights are left as they are: " + m_dest))
        << "the log does not say that the destination was left as it was";
    for (const CJournalRecord& record : m_engine.m_journal.m_records)
        EXPECT_NE(JOURNAL_DIRECTORY, record.m_op) << "a rollback would remove " << record.m_strPath;
}

TEST_F(CopyPhase, ATreeDirectoryThatCannotBeCreatedEndsThePhase)
{
    CDirNode* pSub = AddDir(m_pApp, "Help");
    AddPattern(pSub, "Tiles.hlp", 10);
    WriteMedium(0);
    ASSERT_TRUE(CreateDirectoryA(m_dest.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(m_dest + "\\Help", Bytes{1}));

    EXPECT_FALSE(m_engine.CopyFiles());
    std::vector<Call> errors = m_user.Of(SCB_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(SCBE_CREATEDIR, errors[0].nArg);
    EXPECT_EQ(m_dest + "\\Help", errors[0].text);
    EXPECT_FALSE(m_engine.m_dataFile.IsOpen());
}

TEST_F(CopyPhase, AMissingUninstallerIsReportedByName)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    ASSERT_TRUE(DeleteFileA((m_src + "\\_Uninst.ex_").c_str()));
    auto box = AnswerBox();

    EXPECT_FALSE(m_engine.CopyFiles());
    SeenBox seen = box.get();
    ASSERT_TRUE(seen.bFound);
    EXPECT_EQ("Can't copy the file _Uninst.ex_.\r\nThere has likely occurred an access-violation.", seen.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), seen.nIcon);
    EXPECT_FALSE(Exists(m_dest + "\\Uninst.exe"));
    ExpectNoTempFiles();
}

TEST_F(CopyPhase, AnUninstallerSourcePathTooLongIsRefused)
{
    AddPattern(m_pApp, "A.bin", 10);
    WriteMedium(0);
    m_engine.m_strSourceDir = ("C:\\" + std::string(250, 'x')).c_str();
    auto box = AnswerBox();

    EXPECT_FALSE(m_engine.CopyFiles());
    SeenBox seen = box.get();
    ASSERT_TRUE(seen.bFound);
    EXPECT_EQ("Can't copy the file _Uninst.ex_.\r\nThere has likely occurred an access-violation.", seen.text);
    EXPECT_FALSE(Exists(m_dest + "\\Uninst.exe"));
    ExpectNoTempFiles();
}

// A full destination: a small tmpfs linked as a drive by
// tests/test_copyphase.sh, which names the drive in COPYPHASE_FULL_DRIVE.
TEST_F(CopyPhase, AFullDestinationReportsTheFullDriveAndLeavesNoTempFile)
{
    const char* pszDrive = std::getenv("COPYPHASE_FULL_DRIVE");
    if (!pszDrive || !*pszDrive)
        GTEST_SKIP() << "no small drive: run through tests/test_copyphase.sh (as root, it mounts a 2 MB tmpfs)";
    std::string root = std::string(1, pszDrive[0]) + ":";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((root + "\\").c_str())) << "drive " << root << " missing";
    std::string dest = root + "\\Full";
    RemoveTree(dest);
    m_engine.m_strDestDir = dest.c_str();
    CInstalledFile* pSmall = AddPattern(m_pApp, "Small.bin", 100000);
    CInstalledFile* pLarge = AddPattern(m_pApp, "Large.bin", 3000000);
    WriteMedium(2);

    EXPECT_FALSE(m_engine.CopyFiles());
    std::vector<Call> errors = m_user.Of(SCB_ERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(SCBE_DISKFULL, errors[0].nArg);
    EXPECT_EQ(toupper(pszDrive[0]), toupper(static_cast<int>(errors[0].pArg & 0xFF)));
    EXPECT_FALSE(Exists(dest + "\\Large.bin"));
    EXPECT_EQ(PathsOf({pSmall, pLarge}), NewFiles());
    std::vector<std::string> left = kit::TempFilesBelow(dest);
    EXPECT_TRUE(left.empty()) << "temporary file left: " << (left.empty() ? "" : left[0]);
    EXPECT_FALSE(m_engine.m_dataFile.IsOpen());
    RemoveTree(dest);
}

// ---------------------------------------------------------------------------
// The messages of file errors

TEST_F(CopyPhase, FileErrorsGoToTheirMessages)
{
    CString strPath("C:\\Tilewright\\Mapsmith.exe");
    struct Case {
        int nCause;
        const char* pszName;
        int nSubCode;
        std::string text;
    } cases[] = {
        {CFileException::accessDenied, "D:\\In\\Use.dll", SCBE_FILEINUSE, "D:\\In\\Use.dll"},
        {CFileException::accessDenied, "", SCBE_FILEINUSE, "C:\\Tilewright\\Mapsmith.exe"},
        {CFileException::diskFull, "E:\\Full\\Fil1.tmp", SCBE_DISKFULL, ""},
        {CFileException::genericException, "D:\\x", SCBE_GENERAL, ""},
        {CFileException::endOfFile, "D:\\x", SCBE_GENERAL, ""},
    };
    for (const Case& c : cases) {
        m_user.m_calls.clear();
        CFileException e(c.nCause, 0, c.pszName);
        m_engine.ReportFileError(&e, strPath);
        std::vector<Call> errors = m_user.Of(SCB_ERROR);
        ASSERT_EQ(1u, errors.size()) << "cause " << c.nCause;
        EXPECT_EQ(c.nSubCode, errors[0].nArg) << "cause " << c.nCause;
        if (c.nSubCode == SCBE_FILEINUSE) {
            EXPECT_EQ(c.text, errors[0].text) << "an empty name is the path argument";
        }
        if (c.nSubCode == SCBE_DISKFULL) {
            EXPECT_EQ('E', errors[0].pArg) << "the drive letter of the file";
        }
    }

    m_user.m_calls.clear();
    CArchiveException archive(CArchiveException::endOfFile);
    m_engine.ReportFileError(&archive, strPath);
    m_engine.ReportFileError(nullptr, strPath);
    ASSERT_EQ(2u, m_user.Of(SCB_ERROR).size());
    EXPECT_EQ(SCBE_GENERAL, m_user.Of(SCB_ERROR)[0].nArg);
    EXPECT_EQ(SCBE_GENERAL, m_user.Of(SCB_ERROR)[1].nArg);

    m_user.m_calls.clear();
    CUserException user;
    m_engine.ReportFileError(&user, strPath);
    EXPECT_TRUE(m_user.m_calls.empty()) << "a cancellation already reported is not reported again";
    EXPECT_TRUE(NoBoxAppears());
}

TEST_F(CopyPhase, FileErrorBoxesShowTheNameWithTheStopIcon)
{
    CString strPath("C:\\Tilewright\\Mapsmith.exe");
    struct Case {
        int nCause;
        const char* pszName;
        std::string text;
    } cases[] = {
        {CFileException::fileNotFound, "D:\\Src\\_Uninst.ex_",
         "Can't copy the file _Uninst.ex_.\r\nThere has likely occurred an access-violation."},
        {CFileException::badPath, "", "Can't copy the file Mapsmith.exe.\r\nThere has likely occurred an access-violation."},
        {CFileException::sharingViolation, "D:\\Src\\Data.dat",
         "Can't access to the file D:\\Src\\Data.dat.\r\nIt is used by Windows.\r\n"
         "Close all Windows-applications and restart the Setup."},
    };
    for (const Case& c : cases) {
        auto box = AnswerBox();
        CFileException e(c.nCause, 0, c.pszName);
        m_engine.ReportFileError(&e, strPath);
        SeenBox seen = box.get();
        ASSERT_TRUE(seen.bFound) << "no box for cause " << c.nCause;
        EXPECT_EQ(c.text, seen.text);
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), seen.nIcon);
    }
    EXPECT_TRUE(m_user.m_calls.empty()) << "the boxes are the engine's own, not the callback's";
}

TEST_F(CopyPhase, AFileErrorTextTooLongGetsTheGeneralMessage)
{
    CString strLong(("C:\\" + std::string(380, 'y') + "\\Data.dat").c_str());
    CFileException e(CFileException::sharingViolation, ERROR_SHARING_VIOLATION, strLong);
    m_engine.ReportFileError(&e, strLong);
    EXPECT_TRUE(NoBoxAppears()) << "a text beyond 400 characters must not be shown cut or overflow";
    ASSERT_EQ(1u, m_user.Of(SCB_ERROR).size());
    EXPECT_EQ(SCBE_GENERAL, m_user.Of(SCB_ERROR)[0].nArg);
}

// ---------------------------------------------------------------------------
// The path cursor

TEST_F(CopyPhase, ThePathCursorFollowsTheTree)
{
    AddDir(m_pApp, "Samples");
    m_pApp->dir->SetPath("C:\\Dest");
    m_pSys->dir->SetPath("C:\\Sys");

    EXPECT_EQ(nullptr, m_engine.GetChildNode(2));
    EXPECT_EQ(nullptr, m_engine.GetChildNode(-1));
    m_engine.ChangeDirectory(-1);
    EXPECT_EQ(0, m_engine.m_nDepth) << "leaving the root does nothing";
    EXPECT_EQ(&m_engine.m_root, m_engine.m_pCurNode);

    m_engine.ChangeDirectory(0);
    EXPECT_EQ(0, m_engine.m_nTopIndex);
    EXPECT_STREQ("C:\\Dest", m_engine.m_strCurPath);
    m_engine.ChangeDirectory(0);
    EXPECT_STREQ("C:\\Dest\\Samples", m_engine.m_strCurPath);
    EXPECT_EQ(2, m_engine.m_nDepth);
    m_engine.ChangeDirectory(5);
    EXPECT_EQ(2, m_engine.m_nDepth) << "a child that does not exist is not entered";
    m_engine.ChangeDirectory(-1);
    EXPECT_STREQ("C:\\Dest", m_engine.m_strCurPath);
    EXPECT_EQ(m_pApp, m_engine.m_pCurNode);
    m_engine.ChangeDirectory(-1);
    EXPECT_STREQ("", m_engine.m_strCurPath);
    EXPECT_EQ(3, m_engine.m_nTopIndex);

    m_engine.ChangeDirectory(1);
    EXPECT_EQ(1, m_engine.m_nTopIndex);
    EXPECT_STREQ("C:\\Sys", m_engine.m_strCurPath);
    m_engine.ChangeDirectory(-2);
    EXPECT_EQ(0, m_engine.m_nDepth);
    EXPECT_STREQ("", m_engine.m_strCurPath);
    EXPECT_EQ(3, m_engine.m_nTopIndex);
    EXPECT_EQ(&m_engine.m_root, m_engine.m_pCurNode);
}

TEST_F(CopyPhase, FilesBelowTheSystemDirectoryAreInstalledThere)
{
    CDirNode* pSysSub = AddDir(m_pSys, "Tiles");
    CInstalledFile* pShared = AddPattern(pSysSub, "Shared.dll", 5000);
    WriteMedium(0);

    ASSERT_TRUE(m_engine.CopyFiles()) << "error " << std::hex << GetLastError();
    ExpectInstalled(pShared, m_sys + "\\Tiles\\Shared.dll");
}

}
