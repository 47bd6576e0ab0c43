// Install-information model: the tree and its walk, clearing, the defaults
// and small operations of CInstallMngr, progress reports, tracked buffers
// and the registered classes.
#include "engine/SetupMngr.h"
#include "model/InstallMngr.h"
#include "model/MemStatus.h"
#include "model/TrackedAlloc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Appends a child directory named pszName (null: a node without a
// directory record) to pParent.
CDirNode* AddDir(CDirNode* pParent, const char* pszName)
{
    CDirNode* pNode = new CDirNode(pParent);
    if (pszName) {
        pNode->dir = new CInstallDir;
        pNode->dir->SetPath(pszName);
    }
    pParent->children.AddTail(pNode);
    return pNode;
}

CInstalledFile* AddFile(CDirNode* pParent, const char* pszName)
{
    CInstalledFile* pFile = new CInstalledFile;
    pFile->SetPath(pszName);
    pParent->files.AddTail(pFile);
    return pFile;
}

// The walk as text: "+name" entering, "-name" returning to (the parent's
// name; "-root" for the root, whose record is null), a file by its name.
std::string Walk(CInstallTree& tree)
{
    std::string trace;
    CObject* pItem = nullptr;
    for (int n = tree.GetFirstItem(pItem); n != ITEM_END; n = tree.GetNextItem(pItem)) {
        if (!trace.empty())
            trace += ' ';
        switch (n) {
        case ITEM_ENTER_DIR:
            trace += "+";
            trace += pItem ? static_cast<const char*>(static_cast<CInstallDir*>(pItem)->m_strPath) : "?";
            break;
        case ITEM_LEAVE_DIR:
            trace += "-";
            trace += pItem ? static_cast<const char*>(static_cast<CInstallDir*>(pItem)->m_strPath) : "root";
            break;
        case ITEM_FILE:
            trace += static_cast<const char*>(static_cast<CInstalledFile*>(pItem)->m_strPath);
            break;
        default:
            return trace + " <bad item " + std::to_string(n) + ">";
        }
        if (trace.size() > 100000)
            return trace + " <walk does not end>";
    }
    return trace;
}

TEST(TreeWalk, EmptyRootEndsAtOnce)
{
    CInstallTree tree;
    CObject* pItem = reinterpret_cast<CObject*>(&tree);
    EXPECT_EQ(ITEM_END, tree.GetFirstItem(pItem)) << "a root with no children and no files yields nothing";
    EXPECT_EQ(ITEM_END, tree.GetNextItem(pItem)) << "the walk stays at its end";
}

TEST(TreeWalk, TwoSubdirectoriesAndAFile)
{
    CInstallTree tree;
    CDirNode* pTop = AddDir(&tree.m_root, "Top");
    CDirNode* pA = AddDir(pTop, "A");
    AddFile(pA, "a1");
    AddDir(pA, "A1");
    AddFile(pTop, "t1");
    CDirNode* pB = AddDir(pTop, "B");
    AddFile(pB, "b1");
    EXPECT_EQ("+Top +A +A1 -A a1 -Top +B b1 -Top t1 -root", Walk(tree))
        << "subdirectories with their subtrees come before a directory's own files";
}

TEST(TreeWalk, DeepChain)
{
    CInstallTree tree;
    CDirNode* pNode = &tree.m_root;
    std::string expectedDown, expectedUp;
    for (int i = 0; i < 200; ++i) {
        std::string name = "d" + std::to_string(i);
        pNode = AddDir(pNode, name.c_str());
        expectedDown += (i ? " +" : "+") + name;
        expectedUp = (i ? " -d" + std::to_string(i - 1) : std::string(" -root")) + expectedUp;
    }
    AddFile(pNode, "leaf");
    EXPECT_EQ(expectedDown + " leaf" + expectedUp, Walk(tree));
}

TEST(TreeWalk, FilesOnlyAtTheRoot)
{
    CInstallTree tree;
    AddFile(&tree.m_root, "one");
    AddFile(&tree.m_root, "two");
    AddFile(&tree.m_root, "three");
    EXPECT_EQ("one two three", Walk(tree)) << "root files come in list order, with no leave item";
}

TEST(TreeWalk, DirectoriesOnly)
{
    CInstallTree tree;
    CDirNode* pApp = AddDir(&tree.m_root, "Applikation");
    AddDir(pApp, "Empty");
    AddDir(&tree.m_root, "WinSys");
    EXPECT_EQ("+Applikation +Empty -Applikation -root +WinSys -root", Walk(tree))
        << "empty directories are entered and left too";
}

TEST(TreeWalk, LeavingGivesTheParentsRecordEvenWhenNull)
{
    CInstallTree tree;
    CDirNode* pNoName = AddDir(&tree.m_root, nullptr);
    CDirNode* pInner = AddDir(pNoName, "Inner");
    AddFile(pInner, "f");

    CObject* pItem = nullptr;
    ASSERT_EQ(ITEM_ENTER_DIR, tree.GetFirstItem(pItem));
    EXPECT_EQ(nullptr, pItem) << "a node without a directory record is entered with a null item";
    ASSERT_EQ(ITEM_ENTER_DIR, tree.GetNextItem(pItem));
    EXPECT_EQ(pInner->dir, pItem);
    ASSERT_EQ(ITEM_FILE, tree.GetNextItem(pItem));
    pItem = reinterpret_cast<CObject*>(&tree);
    ASSERT_EQ(ITEM_LEAVE_DIR, tree.GetNextItem(pItem));
    EXPECT_EQ(nullptr, pItem) << "leaving Inner returns to the unnamed parent's null record";
    EXPECT_EQ(pNoName, tree.m_pEnumNode);
    pItem = reinterpret_cast<CObject*>(&tree);
    ASSERT_EQ(ITEM_LEAVE_DIR, tree.GetNextItem(pItem));
    EXPECT_EQ(nullptr, pItem) << "the root carries no record";
    EXPECT_EQ(ITEM_END, tree.GetNextItem(pItem));
}

TEST(TreeWalk, LeavingGivesTheParentsDirectoryObject)
{
    CInstallTree tree;
    CDirNode* pApp = AddDir(&tree.m_root, "Applikation");
    AddDir(pApp, "VB");
    CObject* pItem = nullptr;
    ASSERT_EQ(ITEM_ENTER_DIR, tree.GetFirstItem(pItem));
    ASSERT_EQ(ITEM_ENTER_DIR, tree.GetNextItem(pItem));
    ASSERT_EQ(ITEM_LEAVE_DIR, tree.GetNextItem(pItem));
    EXPECT_EQ(pApp->dir, pItem) << "leaving VB should give Applikation's own CInstallDir object";
}

TEST(TreeWalk, PositionFormGivesListPositions)
{
    CInstallTree tree;
    CDirNode* pApp = AddDir(&tree.m_root, "Applikation");
    CDirNode* pSys = AddDir(&tree.m_root, "WinSys");
    AddFile(pApp, "a");
    CInstalledFile* pB = AddFile(pApp, "b");

    POSITION posApp = tree.m_root.children.GetHeadPosition();
    POSITION posSys = posApp;
    tree.m_root.children.GetNext(posSys);
    POSITION posB = pApp->files.GetHeadPosition();
    pApp->files.GetNext(posB);

    CObject* pItem = nullptr;
    POSITION pos = nullptr;
    ASSERT_EQ(ITEM_ENTER_DIR, tree.GetFirstItem(pItem, pos));
    EXPECT_EQ(posApp, pos) << "entering gives the child's position in its parent's list";
    EXPECT_EQ(pApp, tree.m_root.children.GetAt(pos));
    ASSERT_EQ(ITEM_FILE, tree.GetNextItem(pItem, pos));
    EXPECT_EQ(pApp->files.GetHeadPosition(), pos);
    ASSERT_EQ(ITEM_FILE, tree.GetNextItem(pItem, pos));
    EXPECT_EQ(posB, pos) << "a file's position is its place in its directory's list";
    EXPECT_EQ(pB, pItem);
    ASSERT_EQ(ITEM_LEAVE_DIR, tree.GetNextItem(pItem, pos));
    ASSERT_EQ(ITEM_ENTER_DIR, tree.GetNextItem(pItem, pos));
    EXPECT_EQ(posSys, pos);
    EXPECT_EQ(pSys, tree.m_root.children.GetAt(pos));
    EXPECT_EQ(pSys->dir, pItem);
}

TEST(TreeWalk, RestartsFromTheTop)
{
    CInstallTree tree;
    CDirNode* pApp = AddDir(&tree.m_root, "Applikation");
    AddFile(pApp, "x");
    CObject* pItem = nullptr;
    tree.GetFirstItem(pItem);
    tree.GetNextItem(pItem);
    EXPECT_EQ("+Applikation x -root", Walk(tree)) << "GetFirstItem after a partial walk starts again";
}

// Records the order in which the tree's objects are destroyed.
std::vector<std::string> g_destroyed;

class CLoggedDir : public CInstallDir {
public:
    explicit CLoggedDir(const char* psz) { SetPath(psz); }
    ~CLoggedDir() override { g_destroyed.push_back(std::string("dir ") + static_cast<const char*>(m_strPath)); }
};

class CLoggedFile : public CInstalledFile {
public:
    explicit CLoggedFile(const char* psz) { SetPath(psz); }
    ~CLoggedFile() override { g_destroyed.push_back(std::string("file ") + static_cast<const char*>(m_strPath)); }
};

CDirNode* AddLoggedDir(CDirNode* pParent, const char* pszName)
{
    CDirNode* pNode = new CDirNode(pParent);
    pNode->dir = new CLoggedDir(pszName);
    pParent->children.AddTail(pNode);
    return pNode;
}

TEST(TreeClear, DeletesDepthFirstAndResetsTheCursors)
{
    g_destroyed.clear();
    CInstallTree tree;
    CDirNode* pApp = AddLoggedDir(&tree.m_root, "App");
    CDirNode* pSub = AddLoggedDir(pApp, "Sub");
    pSub->files.AddTail(new CLoggedFile("s1"));
    pApp->files.AddTail(new CLoggedFile("a1"));
    pApp->files.AddTail(new CLoggedFile("a2"));
    AddLoggedDir(&tree.m_root, "Sys");
    tree.m_root.files.AddTail(new CLoggedFile("r1"));
    tree.m_pCurNode = pSub;
    CObject* pItem = nullptr;
    tree.GetFirstItem(pItem);

    tree.ClearTree();

    std::vector<std::string> expected = {"dir Sub", "file s1", "dir App", "file a1", "file a2",
                                         "dir Sys", "file r1"};
    EXPECT_EQ(expected, g_destroyed) << "children first, then the directory record, then the files";
    EXPECT_EQ(&tree.m_root, tree.m_pCurNode);
    EXPECT_EQ(nullptr, tree.m_pEnumNode);
    EXPECT_EQ(nullptr, tree.m_root.dir);
    EXPECT_TRUE(tree.m_root.children.IsEmpty());
    EXPECT_TRUE(tree.m_root.files.IsEmpty());
    EXPECT_EQ(ITEM_END, tree.GetFirstItem(pItem));
}

TEST(TreeClear, DestructionDeletesEverything)
{
    g_destroyed.clear();
    {
        CInstallMngr info;
        CDirNode* pApp = AddLoggedDir(&info.m_root, "App");
        pApp->files.AddTail(new CLoggedFile("a1"));
    }
    std::vector<std::string> expected = {"dir App", "file a1"};
    EXPECT_EQ(expected, g_destroyed);
}

TEST(InstalledFile, DefaultsAndFileName)
{
    CInstalledFile file;
    EXPECT_TRUE(file.m_strPath.IsEmpty());
    EXPECT_EQ(0u, file.m_dwSize);
    EXPECT_EQ(0u, file.m_dwFlags);
    EXPECT_EQ(52u, sizeof file.m_version);
    const BYTE zero[52] = {};
    EXPECT_EQ(0, memcmp(zero, &file.m_version, sizeof zero)) << "a new record's version is all zero";

    file.SetPath("C:\\Tilewright\\Mapsmith.exe");
    EXPECT_STREQ("Mapsmith.exe", file.GetFileName());
    file.SetPath("Mapsmith.exe");
    EXPECT_STREQ("Mapsmith.exe", file.GetFileName()) << "no backslash: the whole text";
    file.SetPath("C:\\dir\\");
    EXPECT_STREQ("dir\\", file.GetFileName()) << "a trailing backslash is never taken";
    file.SetPath("\\\\x");
    EXPECT_STREQ("\\\\x", file.GetFileName()) << "the first two characters are never taken";
}

TEST(InstallMngr, ConstructionDefaults)
{
    CInstallMngr info;
    EXPECT_EQ(0u, info.m_nDiskType);
    EXPECT_EQ(0, info.m_wExtra);
    EXPECT_TRUE(info.m_drives.IsEmpty());
    EXPECT_EQ(0, info.m_nCurDrive);
    EXPECT_EQ(0, info.m_nWinDrive);
    EXPECT_EQ(0u, info.m_dwAppBytes + info.m_dwSysBytes + info.m_dwSpare + info.m_dwOtherBytes +
                      info.m_dwReserveBytes);
    EXPECT_EQ(0, info.m_nReadMeLen);
    EXPECT_EQ(nullptr, info.m_pszReadMe);
    EXPECT_EQ(nullptr, info.m_pfnCallback);
    EXPECT_EQ(0, info.m_nDepth);
    EXPECT_EQ(3, info.m_nTopIndex) << "the path cursor starts in no top-level directory";
    const BYTE zero[16] = {};
    EXPECT_EQ(0, memcmp(zero, info.m_ident, sizeof zero));
    EXPECT_EQ(&info.m_root, info.m_pCurNode);
    EXPECT_EQ(nullptr, info.m_pEnumNode);
    EXPECT_EQ(0u, info.m_ullBytesDone);
    EXPECT_EQ(0u, info.m_ullBytesTotal);
    EXPECT_FALSE(info.m_dataFile.IsOpen());
    EXPECT_EQ(0, info.m_wDisk);
    EXPECT_EQ(0u, info.m_dwDataLeft);
}

int __cdecl AnsweringCallback(int, INT_PTR, INT_PTR)
{
    return 1;
}

TEST(InstallMngr, ResetZeroesCountsAndKeepsNamesTreeAndCallback)
{
    CInstallMngr info;
    info.m_nDiskType = 7;
    info.m_wExtra = 9;
    info.m_nCurDrive = 2;
    info.m_nWinDrive = 3;
    info.m_dwAppBytes = info.m_dwSysBytes = info.m_dwSpare = info.m_dwOtherBytes = info.m_dwReserveBytes = 5;
    info.SetReadMeText("read me");
    info.m_nDepth = 4;
    info.m_nTopIndex = 1;
    memset(info.m_ident, 0xAB, sizeof info.m_ident);
    info.m_ullBytesDone = info.m_ullBytesTotal = 11;
    info.m_wDisk = 2;
    info.m_dwDataLeft = 99;
    info.m_strProductName = "Tilewright";
    info.m_strCurPath = "C:\\Tilewright";
    info.m_drives.Add(3);
    info.m_groups.Add("StartUp");
    info.m_pfnCallback = AnsweringCallback;
    CDirNode* pApp = AddDir(&info.m_root, "Applikation");
    info.m_pCurNode = pApp;
    int nBlocks = TrackedBlockCount();

    info.Reset();

    EXPECT_EQ(0u, info.m_nDiskType);
    EXPECT_EQ(0, info.m_wExtra);
    EXPECT_EQ(0, info.m_nCurDrive);
    EXPECT_EQ(0, info.m_nWinDrive);
    EXPECT_EQ(0u, info.m_dwAppBytes);
    EXPECT_EQ(0u, info.m_dwSysBytes);
    EXPECT_EQ(0u, info.m_dwSpare);
    EXPECT_EQ(0u, info.m_dwOtherBytes);
    EXPECT_EQ(0u, info.m_dwReserveBytes);
    EXPECT_EQ(0, info.m_nReadMeLen);
    EXPECT_EQ(nullptr, info.m_pszReadMe);
    EXPECT_EQ(nBlocks - 1, TrackedBlockCount()) << "the read-me buffer should be released";
    EXPECT_EQ(0, info.m_nDepth);
    EXPECT_EQ(3, info.m_nTopIndex);
    const BYTE zero[16] = {};
    EXPECT_EQ(0, memcmp(zero, info.m_ident, sizeof zero));
    EXPECT_EQ(0u, info.m_ullBytesDone);
    EXPECT_EQ(0u, info.m_ullBytesTotal);
    EXPECT_EQ(0, info.m_wDisk);
    EXPECT_EQ(0u, info.m_dwDataLeft);

    EXPECT_STREQ("Tilewright", info.m_strProductName);
    EXPECT_STREQ("C:\\Tilewright", info.m_strCurPath);
    EXPECT_EQ(1, info.m_drives.GetSize());
    EXPECT_EQ(1, info.m_groups.GetSize());
    EXPECT_EQ(AnsweringCallback, info.m_pfnCallback);
    EXPECT_EQ(pApp, info.m_pCurNode) << "the cursors stay as they are";
    EXPECT_EQ(1, info.m_root.children.GetCount()) << "the tree stays as it is";
}

TEST(InstallMngr, ReadMeText)
{
    CInstallMngr info;
    int nBlocks = TrackedBlockCount();
    DWORD dwBytes = TrackedByteTotal();

    info.SetReadMeText("Welcome");
    ASSERT_NE(nullptr, info.m_pszReadMe);
    EXPECT_STREQ("Welcome", info.m_pszReadMe);
    EXPECT_EQ(7, info.m_nReadMeLen);
    EXPECT_EQ(nBlocks + 1, TrackedBlockCount());
    EXPECT_EQ(dwBytes + 8, TrackedByteTotal()) << "length + 1 bytes come from the tracked table";

    info.SetReadMeText("Another text");
    EXPECT_STREQ("Another text", info.m_pszReadMe);
    EXPECT_EQ(12, info.m_nReadMeLen);
    EXPECT_EQ(nBlocks + 1, TrackedBlockCount()) << "the old buffer should be released";
    EXPECT_EQ(dwBytes + 13, TrackedByteTotal());

    info.SetReadMeText("");
    EXPECT_EQ(nullptr, info.m_pszReadMe) << "an empty text leaves no buffer";
    EXPECT_EQ(0, info.m_nReadMeLen);
    EXPECT_EQ(nBlocks, TrackedBlockCount());

    info.SetReadMeText("x");
    info.SetReadMeText(nullptr);
    EXPECT_EQ(nullptr, info.m_pszReadMe);
    EXPECT_EQ(0, info.m_nReadMeLen);
    EXPECT_EQ(nBlocks, TrackedBlockCount());
    EXPECT_EQ(dwBytes, TrackedByteTotal());
}

TEST(InstallMngr, ReadMeBufferIsReleasedWithTheObject)
{
    int nBlocks = TrackedBlockCount();
    {
        CInstallMngr info;
        info.SetReadMeText("text");
        EXPECT_EQ(nBlocks + 1, TrackedBlockCount());
    }
    EXPECT_EQ(nBlocks, TrackedBlockCount());
}

TEST(InstallMngr, DriveLetterAndWizardSetters)
{
    CInstallMngr info;
    info.m_drives.Add(1);
    info.m_drives.Add(3);
    info.m_drives.Add(26);
    EXPECT_EQ('A', info.DriveLetter(0));
    EXPECT_EQ('C', info.DriveLetter(1)) << "drive number 3 is C";
    EXPECT_EQ('Z', info.DriveLetter(2));

    info.SetDestination("D:\\Tilewright");
    info.SetCurDrive(2);
    info.SetProgramFolder("Tilewright");
    EXPECT_STREQ("D:\\Tilewright", info.m_strDestDir);
    EXPECT_EQ(2, info.m_nCurDrive);
    EXPECT_STREQ("Tilewright", info.m_strProgramFolder);
}

CInstallMngr* g_pHookSeen = nullptr;
void RecordingHook(CInstallMngr* pInfo)
{
    g_pHookSeen = pInfo;
}

TEST(InstallMngr, RunPostInstallCallsTheHookWithTheObject)
{
    CInstallMngr info;
    info.m_pfnAfterInstall = RecordingHook;
    g_pHookSeen = nullptr;
    info.RunPostInstall();
    EXPECT_EQ(&info, g_pHookSeen);
}

struct ProgressCall {
    int nType;
    INT_PTR nArg;
    INT_PTR pArg;
};
std::vector<ProgressCall> g_progress;
int g_nProgressAnswer = 1;

int __cdecl ProgressCallback(int nType, INT_PTR nArg, INT_PTR pArg)
{
    g_progress.push_back({nType, nArg, pArg});
    return g_nProgressAnswer;
}

class ReportProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_info.Reset();
        m_info.m_pfnCallback = ProgressCallback;
        g_progress.clear();
        g_nProgressAnswer = 1;
    }
    INT_PTR LastPercent() const { return g_progress.empty() ? -1 : g_progress.back().nArg; }

    CInstallMngr m_info;
};

TEST_F(ReportProgressTest, PercentIsTruncated)
{
    m_info.m_ullBytesTotal = 3;
    EXPECT_EQ(1, ReportProgress(1));
    ASSERT_EQ(1u, g_progress.size());
    EXPECT_EQ(SCB_PROGRESS, g_progress[0].nType);
    EXPECT_EQ(33, g_progress[0].nArg) << "1/3 is 33.3 percent, truncated";
    EXPECT_EQ(0, g_progress[0].pArg);
    ReportProgress(1);
    EXPECT_EQ(66, LastPercent()) << "2/3 is 66.7 percent, truncated, not rounded";
    EXPECT_EQ(2u, m_info.m_ullBytesDone) << "bytes accumulate";
    ReportProgress(1);
    EXPECT_EQ(100, LastPercent());
}

TEST_F(ReportProgressTest, MoreThanTheTotalGoesPastHundred)
{
    m_info.m_ullBytesTotal = 200;
    ReportProgress(500);
    EXPECT_EQ(250, LastPercent());
}

TEST_F(ReportProgressTest, ByteCountsPastFourGigabytesDoNotWrapRound)
{
    m_info.m_ullBytesTotal = 0x180000000ull;
    ReportProgress(0xFFFFFFFF);
    ReportProgress(0x40000001);
    EXPECT_EQ(0x140000000ull, m_info.m_ullBytesDone) << "the bytes done pass 4 GB";
    EXPECT_EQ(83, LastPercent()) << "5 GB of 6 GB";
}

TEST_F(ReportProgressTest, ZeroTotalGivesZero)
{
    m_info.m_ullBytesTotal = 0;
    ReportProgress(12345);
    EXPECT_EQ(0, LastPercent());
    EXPECT_EQ(12345u, m_info.m_ullBytesDone);
}

TEST_F(ReportProgressTest, OnlyTheLowSixteenBitsArePassed)
{
    m_info.m_ullBytesTotal = 1;
    ReportProgress(1000);
    EXPECT_EQ(100000 & 0xFFFF, LastPercent()) << "100000 percent keeps its low 16 bits";
    m_info.m_ullBytesDone = 0;
    ReportProgress(0xFFFFFFFF);
    EXPECT_EQ(static_cast<INT_PTR>(429496729500ull & 0xFFFF), LastPercent())
        << "a percentage beyond the range of an int still keeps its low 16 bits";
}

TEST_F(ReportProgressTest, PassesTheCallbacksZeroBack)
{
    m_info.m_ullBytesTotal = 10;
    g_nProgressAnswer = 0;
    EXPECT_EQ(0, ReportProgress(1)) << "0 from the callback means the user cancelled";
    g_nProgressAnswer = 7;
    EXPECT_EQ(7, ReportProgress(1));
}

TEST_F(ReportProgressTest, ReportsForTheObjectLastReset)
{
    CInstallMngr other;
    other.Reset();
    other.m_pfnCallback = ProgressCallback;
    other.m_ullBytesTotal = 4;
    m_info.m_ullBytesTotal = 1000;
    ReportProgress(1);
    EXPECT_EQ(1u, other.m_ullBytesDone);
    EXPECT_EQ(0u, m_info.m_ullBytesDone) << "only the object last reset counts the bytes";
    EXPECT_EQ(25, LastPercent());
}

TEST(TrackedAlloc, CountsAndTotals)
{
    int nBlocks = TrackedBlockCount();
    DWORD dwBytes = TrackedByteTotal();
    void* p1 = TrackedAlloc(100, "first");
    void* p2 = TrackedAlloc(2500, "a tag that is longer than the fifty characters a record keeps");
    ASSERT_NE(nullptr, p1);
    ASSERT_NE(nullptr, p2);
    memset(p1, 0x11, 100);
    memset(p2, 0x22, 2500);
    EXPECT_EQ(nBlocks + 2, TrackedBlockCount());
    EXPECT_EQ(dwBytes + 2600, TrackedByteTotal());

    TrackedFree(nullptr);
    int nUnknown = 0;
    TrackedFree(&nUnknown);
    TrackedFree(static_cast<BYTE*>(p1) + 1);
    EXPECT_EQ(nBlocks + 2, TrackedBlockCount()) << "null and unknown addresses are ignored";
    EXPECT_EQ(dwBytes + 2600, TrackedByteTotal());

    TrackedFree(p1);
    EXPECT_EQ(nBlocks + 1, TrackedBlockCount());
    EXPECT_EQ(dwBytes + 2500, TrackedByteTotal());
    TrackedFree(p1);
    EXPECT_EQ(nBlocks + 1, TrackedBlockCount()) << "a block freed twice is unknown the second time";
    TrackedFree(p2);
    EXPECT_EQ(nBlocks, TrackedBlockCount());
    EXPECT_EQ(dwBytes, TrackedByteTotal());
}

TEST(TrackedAlloc, ManyBlocksSpanSeveralPools)
{
    int nBlocks = TrackedBlockCount();
    DWORD dwBytes = TrackedByteTotal();
    std::vector<void*> blocks;
    for (int i = 0; i < 350; ++i) {
        void* p = TrackedAlloc(static_cast<DWORD>(i + 1), "pool");
        ASSERT_NE(nullptr, p) << "block " << i;
        static_cast<BYTE*>(p)[i] = static_cast<BYTE>(i);
        blocks.push_back(p);
    }
    EXPECT_EQ(nBlocks + 350, TrackedBlockCount());
    EXPECT_EQ(dwBytes + 350u * 351u / 2u, TrackedByteTotal());
    for (size_t i = 0; i < blocks.size(); i += 2)
        TrackedFree(blocks[i]);
    EXPECT_EQ(nBlocks + 175, TrackedBlockCount());
    void* pReused = TrackedAlloc(10, "reuse");
    EXPECT_NE(nullptr, pReused) << "a freed slot should be reused";
    TrackedFree(pReused);
    for (size_t i = 1; i < blocks.size(); i += 2) {
        EXPECT_EQ(static_cast<BYTE>(i), static_cast<BYTE*>(blocks[i])[i]) << "block " << i << " was disturbed";
        TrackedFree(blocks[i]);
    }
    EXPECT_EQ(nBlocks, TrackedBlockCount());
    EXPECT_EQ(dwBytes, TrackedByteTotal());
}

TEST(TrackedAlloc, TermFreesWhatIsLeftAndTheTableStaysUsable)
{
    TrackedAlloc(64, "left over");
    TrackedAlloc(32, "left over");
    TrackedTerm();
    EXPECT_EQ(0, TrackedBlockCount());
    EXPECT_EQ(0u, TrackedByteTotal());
    void* p = TrackedAlloc(16, "after");
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(1, TrackedBlockCount());
    TrackedFree(p);
    EXPECT_EQ(0, TrackedBlockCount());
}

void ExpectClass(const CRuntimeClass* pClass, const char* pszName, UINT nVersion)
{
    ASSERT_NE(nullptr, pClass);
    EXPECT_STREQ(pszName, pClass->m_lpszClassName);
    EXPECT_EQ(nVersion, pClass->m_wSchema) << pszName;
    ASSERT_NE(nullptr, pClass->m_pBaseClass) << pszName;
    EXPECT_STREQ("CObject", pClass->m_pBaseClass->m_lpszClassName) << pszName << " should name the root class as its base";
    CObject* pObject = pClass->CreateObject();
    ASSERT_NE(nullptr, pObject) << pszName << " should be creatable";
    EXPECT_EQ(pClass, pObject->GetRuntimeClass()) << pszName;
    EXPECT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CObject)));
    delete pObject;
}

TEST(RegisteredClasses, NamesVersionsAndBases)
{
    ExpectClass(RUNTIME_CLASS(CInstallDir), "CInstallDir", 0);
    ExpectClass(RUNTIME_CLASS(CInstalledFile), "CInstalledFile", 2);
    ExpectClass(RUNTIME_CLASS(CInstallMngr), "CInstallMngr", 1);
    ExpectClass(RUNTIME_CLASS(CSetupEdit), "CSetupEdit", 1);
    ExpectClass(RUNTIME_CLASS(CMemStatus), "CMemStatus", 0);
}

TEST(RegisteredClasses, SetupEditIsAnInstallMngrWithTwoEmptyTexts)
{
    CSetupEdit edit;
    EXPECT_TRUE(edit.m_strEdit1.IsEmpty());
    EXPECT_TRUE(edit.m_strEdit2.IsEmpty());
    CInstallMngr* pInfo = &edit;
    EXPECT_STREQ("CSetupEdit", pInfo->GetRuntimeClass()->m_lpszClassName);
    EXPECT_FALSE(edit.IsKindOf(RUNTIME_CLASS(CInstallMngr)))
        << "the registration names the root class as the base, not CInstallMngr";
}

class CLocalEngine : public CInstallMngr {
public:
    int m_nOwnState = 0;
};

TEST(RegisteredClasses, DerivedEnginesReportInstallMngr)
{
    CLocalEngine local;
    EXPECT_STREQ("CInstallMngr", local.GetRuntimeClass()->m_lpszClassName);
    EXPECT_TRUE(local.IsKindOf(RUNTIME_CLASS(CInstallMngr)));
    CSetupMngr engine;
    EXPECT_STREQ("CInstallMngr", engine.GetRuntimeClass()->m_lpszClassName);
}

TEST(MemStatus, DefaultsAndLiveCount)
{
    int nLive = CMemStatus::GetLiveCount();
    {
        CMemStatus status;
        EXPECT_EQ(nLive + 1, CMemStatus::GetLiveCount());
        EXPECT_EQ(50, status.m_strings.GetSize()) << "the table starts with 50 empty strings";
        for (int i = 0; i < status.m_strings.GetSize(); ++i)
            EXPECT_TRUE(status.m_strings[i].IsEmpty()) << "string " << i;
        EXPECT_TRUE(status.m_strText.IsEmpty());
        EXPECT_EQ(0, status.m_wNumber);
        CMemStatus second;
        EXPECT_EQ(nLive + 2, CMemStatus::GetLiveCount());
    }
    EXPECT_EQ(nLive, CMemStatus::GetLiveCount());
}

}  // namespace
