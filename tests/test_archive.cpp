// Setup data archive: the bytes of "\Setup.dat" and "\Setup.inf" as the
// install information writes and reads them, checked against archives
// written by hand; hostile archives; the CMemStatus record; the layout
// helpers of the data volumes "\Data.dat".
#include "model/DataVolume.h"
#include "model/InstallMngr.h"
#include "model/MemStatus.h"
#include "model/TrackedAlloc.h"

#include <gtest/gtest.h>


#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

const BYTE HEADER[12] = {0x23, 0x75, 0x04, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
const BYTE IDENT[16] = {0x10, 0x11, 0x12, 0x13, 0x54, 0x49, 0x4C, 0x45,
                        0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F};
const size_t BODY_OFFSET = 28;

// Builds archives byte by byte, independently of the archive writer.
class CBytes {
public:
    CBytes& Byte(BYTE b)
    {
        m_bytes.push_back(b);
        return *this;
    }
    CBytes& Word(WORD w) { return Byte(static_cast<BYTE>(w)).Byte(static_cast<BYTE>(w >> 8)); }
    CBytes& Dword(DWORD dw) { return Word(static_cast<WORD>(dw)).Word(static_cast<WORD>(dw >> 16)); }
    CBytes& Raw(const void* p, size_t n)
    {
        const BYTE* pb = static_cast<const BYTE*>(p);
        m_bytes.insert(m_bytes.end(), pb, pb + n);
        return *this;
    }
    CBytes& Fill(size_t n, BYTE b)
    {
        m_bytes.insert(m_bytes.end(), n, b);
        return *this;
    }
    // A text of fewer than 255 bytes with its one-byte prefix.
    CBytes& Text(const std::string& s) { return Byte(static_cast<BYTE>(s.size())).Raw(s.data(), s.size()); }
    CBytes& Header(const BYTE* pIdent = IDENT) { return Raw(HEADER, sizeof HEADER).Raw(pIdent, 16); }
    // A file record: name, flags, size, 52-byte version record.
    CBytes& File(const std::string& name, DWORD dwFlags, DWORD dwSize, BYTE bVersionFill = 0)
    {
        return Text(name).Dword(dwFlags).Dword(dwSize).Fill(52, bVersionFill);
    }
    // The body after the root record, with every field zero or empty.
    CBytes& EmptyFields()
    {
        return Byte(0).Word(0).Fill(20, 0).Byte(0).Byte(0).Byte(0).Dword(0).Byte(0);
    }

    Bytes m_bytes;
};

std::string TempPath(const char* pszName)
{
    char szDir[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, szDir);
    EXPECT_TRUE(n > 0 && n < MAX_PATH) << "GetTempPathA failed: " << GetLastError();
    return std::string(szDir) + "test_archive-" + std::to_string(GetCurrentProcessId()) + "-" + pszName;
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    CFile f;
    f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    if (!bytes.empty())
        f.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    f.Close();
}

Bytes ReadBytes(const std::string& path)
{
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    Bytes bytes(f.GetLength());
    if (!bytes.empty())
        f.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// A scratch file removed at the end of the test.
class CScratch {
public:
    explicit CScratch(const char* pszName) : m_path(TempPath(pszName)) {}
    ~CScratch() { DeleteFileA(m_path.c_str()); }
    const char* Path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

// One scratch file, kept open, that archive after archive is written to
// and read from the way the loader reads: header, then the body when the
// header is accepted. Exceptions of the body reach the caller.
class CArchiveFile {
public:
    CArchiveFile() : m_scratch("load.dat") { m_file.Open(m_scratch.Path(), CFile::modeCreate | CFile::modeReadWrite); }
    ~CArchiveFile() { m_file.Abort(); }

    BOOL Load(const Bytes& bytes, CInstallMngr& info)
    {
        m_file.SeekToBegin();
        if (!bytes.empty())
            m_file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        m_file.SetLength(static_cast<DWORD>(bytes.size()));
        m_file.SeekToBegin();
        CArchive ar(&m_file, CArchive::load);
        if (!info.ReadHeader(ar))
            return FALSE;
        info.Serialize(ar);
        return TRUE;
    }

private:
    CScratch m_scratch;
    CFile m_file;
};

Bytes StoreArchive(CObject& object)
{
    CScratch file("store.dat");
    {
        CFile f;
        f.Open(file.Path(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&f, CArchive::store);
        object.Serialize(ar);
        ar.Close();
        f.Close();
    }
    return ReadBytes(file.Path());
}

// What a load ends in: "ok", "refused" (header), or the exception's kind
// and cause.
template <typename Load>
std::string Outcome(Load load)
{
    try {
        return load() ? "ok" : "refused";
    } catch (CArchiveException& e) {
        return "archive:" + std::to_string(e.m_cause);
    } catch (CFileException& e) {
        return "file:" + std::to_string(e.m_cause);
    }
}

std::string LoadOutcome(CArchiveFile& file, const Bytes& bytes, CInstallMngr& info)
{
    return Outcome([&] { return file.Load(bytes, info); });
}

std::string LoadOutcome(const Bytes& bytes, CInstallMngr& info)
{
    CArchiveFile file;
    return LoadOutcome(file, bytes, info);
}

const std::string END_OF_DATA = "archive:" + std::to_string(CArchiveException::endOfFile);
const std::string REFUSED_RECORD = "archive:" + std::to_string(CArchiveException::genericException);

CDirNode* AddDir(CDirNode* pParent, const char* pszName)
{
    CDirNode* pNode = new CDirNode(pParent);
    pNode->dir = new CInstallDir;
    pNode->dir->SetPath(pszName);
    pParent->children.AddTail(pNode);
    return pNode;
}

CInstalledFile* AddFile(CDirNode* pParent, const char* pszName, DWORD dwSize, DWORD dwFlags)
{
    CInstalledFile* pFile = new CInstalledFile;
    pFile->SetPath(pszName);
    pFile->m_dwSize = dwSize;
    pFile->m_dwFlags = dwFlags;
    BYTE* pVersion = reinterpret_cast<BYTE*>(&pFile->m_version);
    for (size_t i = 0; i < sizeof pFile->m_version; ++i)
        pVersion[i] = static_cast<BYTE>(dwSize + i);
    pParent->files.AddTail(pFile);
    return pFile;
}

// An install information with every stored field set and a tree of the
// delivered shape.
void FillSample(CInstallMngr& info)
{
    CDirNode* pApp = AddDir(&info.m_root, "Applikation");
    CDirNode* pVB = AddDir(pApp, "VB");
    CDirNode* pJoust = AddDir(pVB, "Joust");
    AddFile(pJoust, "Form1.frm", 1200, 0);
    AddFile(pJoust, "Joust.tlr", 345, 0);
    AddDir(pApp, "Empty");
    AddFile(pApp, "Mapsmith.exe", 250000, FILE_PROGRAM_ITEM);
    AddFile(pApp, "Mapsmith.hlp", 0, FILE_PROGRAM_ITEM);
    CDirNode* pSys = AddDir(&info.m_root, "WinSys");
    AddFile(pSys, "tilew32.ocx", 90000, FILE_REGISTER | FILE_SHARED);
    AddFile(pSys, "tilehelp.dll", 7000, FILE_REGISTER_ABSENT | FILE_SHARED);
    info.m_nDiskType = 1;
    info.m_wExtra = 0xBEEF;
    info.m_dwAppBytes = 251545;
    info.m_dwSysBytes = 97000;
    info.m_dwSpare = 0x01020304;
    info.m_dwOtherBytes = 4096;
    info.m_dwReserveBytes = 65536;
    info.m_strDestDir = "\\Tilewright";
    info.m_strProductName = "Tilewright 2.0";
    info.m_strProgramFolder = "Tilewright";
    info.m_strTitle = "Welcome to Tilewright";
    info.SetReadMeText("Read me first.\r\nSecond line.");
    memcpy(info.m_ident, IDENT, sizeof IDENT);
}

// The tree as text, with every stored field of every record.
std::string DescribeNode(const CDirNode& node)
{
    std::string s = node.dir ? "[" + std::string(node.dir->m_strPath) + "]" : "[-]";
    s += "{";
    for (POSITION pos = node.children.GetHeadPosition(); pos;)
        s += DescribeNode(*node.children.GetNext(pos));
    for (POSITION pos = node.files.GetHeadPosition(); pos;) {
        const CInstalledFile* pFile = node.files.GetNext(pos);
        s += "(" + std::string(pFile->m_strPath) + " f" + std::to_string(pFile->m_dwFlags) + " s" +
             std::to_string(pFile->m_dwSize) + " v";
        const BYTE* pVersion = reinterpret_cast<const BYTE*>(&pFile->m_version);
        for (size_t i = 0; i < sizeof pFile->m_version; ++i)
            s += std::to_string(pVersion[i]) + ".";
        s += ")";
    }
    return s + "}";
}

void ExpectSameStoredFields(const CInstallMngr& a, const CInstallMngr& b)
{
    EXPECT_EQ(DescribeNode(a.m_root), DescribeNode(b.m_root));
    EXPECT_EQ(a.m_nDiskType, b.m_nDiskType);
    EXPECT_EQ(a.m_wExtra, b.m_wExtra);
    EXPECT_EQ(a.m_dwAppBytes, b.m_dwAppBytes);
    EXPECT_EQ(a.m_dwSysBytes, b.m_dwSysBytes);
    EXPECT_EQ(a.m_dwSpare, b.m_dwSpare);
    EXPECT_EQ(a.m_dwOtherBytes, b.m_dwOtherBytes);
    EXPECT_EQ(a.m_dwReserveBytes, b.m_dwReserveBytes);
    EXPECT_STREQ(a.m_strDestDir, b.m_strDestDir);
    EXPECT_STREQ(a.m_strProductName, b.m_strProductName);
    EXPECT_STREQ(a.m_strProgramFolder, b.m_strProgramFolder);
    EXPECT_STREQ(a.m_strTitle, b.m_strTitle);
    EXPECT_EQ(a.m_nReadMeLen, b.m_nReadMeLen);
    if (a.m_pszReadMe && b.m_pszReadMe)
        EXPECT_EQ(0, memcmp(a.m_pszReadMe, b.m_pszReadMe, static_cast<size_t>(a.m_nReadMeLen) + 1));
    else
        EXPECT_EQ(a.m_pszReadMe == nullptr, b.m_pszReadMe == nullptr);
    EXPECT_EQ(0, memcmp(a.m_ident, b.m_ident, sizeof a.m_ident));
}

TEST(ArchiveRoundTrip, SameFieldsAndSameBytes)
{
    CInstallMngr original;
    FillSample(original);
    Bytes first = StoreArchive(original);

    CInstallMngr loaded;
    ASSERT_EQ("ok", LoadOutcome(first, loaded));
    ExpectSameStoredFields(original, loaded);
    EXPECT_STREQ("Mapsmith.exe", loaded.m_strMainExe) << "every reading names the main program";

    Bytes second = StoreArchive(loaded);
    EXPECT_EQ(first, second) << "writing what was read should give the same bytes";
}

TEST(ArchiveRoundTrip, WriterMatchesAHandWrittenArchive)
{
    CInstallMngr info;
    CDirNode* pApp = AddDir(&info.m_root, "Applikation");
    CInstalledFile* pFile = AddFile(pApp, "a.exe", 5, FILE_PROGRAM_ITEM);
    memset(&pFile->m_version, 0, sizeof pFile->m_version);
    pFile->m_version.dwSignature = 0xFEEF04BD;
    AddDir(&info.m_root, "WinSys");
    info.m_nDiskType = 0x1FF;
    info.m_wExtra = 0x1234;
    info.m_dwAppBytes = 5;
    info.m_dwSysBytes = 0;
    info.m_dwSpare = 7;
    info.m_dwOtherBytes = 8;
    info.m_dwReserveBytes = 9;
    info.m_strDestDir = "\\TW";
    info.m_strProductName = "TW";
    info.m_strProgramFolder = "F";
    info.m_strTitle = "Hi";
    info.SetReadMeText("abc");
    memcpy(info.m_ident, IDENT, sizeof IDENT);

    CBytes expected;
    expected.Header()
        .Byte(0).Dword(2)                                    // root: no record, two children
        .Byte(1).Text("Applikation").Dword(0).Dword(1)       // Applikation: one file
        .Byte(1).Text("a.exe").Dword(FILE_PROGRAM_ITEM).Dword(5)
        .Byte(0xBD).Byte(0x04).Byte(0xEF).Byte(0xFE).Fill(48, 0)
        .Byte(1).Text("WinSys").Dword(0).Dword(0)            // WinSys: empty
        .Dword(0)                                            // root: no files
        .Byte(0xFF).Word(0x1234)                             // disk type (low byte), extra
        .Dword(5).Dword(0).Dword(7).Dword(8).Dword(9)
        .Text("\\TW").Text("TW").Text("F")
        .Dword(3).Text("Hi").Raw("abc", 3);
    EXPECT_EQ(expected.m_bytes, StoreArchive(info));

    CInstallMngr loaded;
    ASSERT_EQ("ok", LoadOutcome(expected.m_bytes, loaded));
    EXPECT_EQ(0xFFu, loaded.m_nDiskType) << "only the low byte of the disk type is stored";
    ASSERT_NE(nullptr, loaded.m_pszReadMe);
    EXPECT_STREQ("abc", loaded.m_pszReadMe) << "the read-me gets its terminating zero";
    const CDirNode* pLoadedApp = loaded.m_root.children.GetAt(loaded.m_root.children.GetHeadPosition());
    const CInstalledFile* pLoadedFile = pLoadedApp->files.GetAt(pLoadedApp->files.GetHeadPosition());
    EXPECT_EQ(0xFEEF04BDu, pLoadedFile->m_version.dwSignature) << "the version record is read as raw bytes";
}

TEST(ArchiveRoundTrip, SetupEditWritesExactlyTheInstallMngrRecord)
{
    CInstallMngr info;
    FillSample(info);
    CSetupEdit edit;
    FillSample(edit);
    edit.m_strEdit1 = "not stored";
    edit.m_strEdit2 = "neither";
    EXPECT_EQ(StoreArchive(info), StoreArchive(edit));
}

TEST(ArchiveRoundTrip, ReadingReplacesTheTree)
{
    CInstallMngr info;
    FillSample(info);
    CBytes bytes;
    bytes.Header().Byte(0).Dword(0).Dword(0).EmptyFields();
    ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info));
    EXPECT_EQ("[-]{}", DescribeNode(info.m_root)) << "the old tree should be cleared before reading";
    EXPECT_EQ(0, info.m_nReadMeLen);
    EXPECT_EQ(nullptr, info.m_pszReadMe) << "the old read-me should be gone";
}

TEST(ArchiveLayout, EmptyRootBytesAfterHeaderAndIdent)
{
    CInstallMngr info;
    Bytes bytes = StoreArchive(info);
    CBytes expected;
    const BYTE zeroIdent[16] = {};
    expected.Header(zeroIdent).Byte(0).Dword(0).Dword(0).EmptyFields();
    EXPECT_EQ(expected.m_bytes, bytes);
    ASSERT_GE(bytes.size(), BODY_OFFSET + 9);
    const BYTE emptyRoot[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(emptyRoot, &bytes[BODY_OFFSET], 9)) << "00, 00 00 00 00, 00 00 00 00 follow the header";

    CInstallMngr loaded;
    ASSERT_EQ("ok", LoadOutcome(expected.m_bytes, loaded));
    CObject* pItem = nullptr;
    EXPECT_EQ(ITEM_END, loaded.GetFirstItem(pItem));
}

// The offset of the product name in an archive whose tree is an empty root
// and whose destination is empty.
const size_t PRODUCT_NAME_OFFSET = BODY_OFFSET + 9 + 1 + 2 + 20 + 1;

TEST(ArchiveLayout, StringPrefixesAsWritten)
{
    struct {
        size_t nLength;
        Bytes prefix;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        CInstallMngr info;
        info.m_strProductName = std::string(c.nLength, 'p').c_str();
        Bytes bytes = StoreArchive(info);
        ASSERT_GE(bytes.size(), PRODUCT_NAME_OFFSET + c.prefix.size() + c.nLength);
        Bytes prefix(bytes.begin() + PRODUCT_NAME_OFFSET, bytes.begin() + PRODUCT_NAME_OFFSET + c.prefix.size());
        EXPECT_EQ(c.prefix, prefix) << "prefix of a string of " << c.nLength << " bytes";
        size_t nText = PRODUCT_NAME_OFFSET + c.prefix.size();
        EXPECT_EQ(std::string(c.nLength, 'p'), std::string(bytes.begin() + static_cast<long>(nText),
                                                           bytes.begin() + static_cast<long>(nText + c.nLength)))
            << "the text follows its prefix";
        EXPECT_EQ(0x00, bytes[nText + c.nLength]) << "the empty program folder follows the text";
    }
}

TEST(ArchiveLayout, StringPrefixesAsRead)
{
    struct {
        Bytes prefix;
        size_t nLength;
    } cases[] = {
        {{0xFE}, 254},
        {{0xFF, 0xFF, 0x00}, 255},
        {{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}, 65534},
        {{0xFF, 0x05, 0x00}, 5},                          // a word prefix for a short text
        {{0xFF, 0xFF, 0xFF, 0x03, 0x00, 0x00, 0x00}, 3},  // a dword prefix for a short text
    };
    for (const auto& c : cases) {
        CBytes bytes;
        bytes.Header().Byte(0).Dword(0).Dword(0).Byte(0).Word(0).Fill(20, 0).Byte(0);
        bytes.Raw(c.prefix.data(), c.prefix.size()).Fill(c.nLength, 'q');
        bytes.Byte(0).Dword(0).Byte(0);
        CInstallMngr info;
        ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info)) << "prefix of " << c.nLength;
        EXPECT_EQ(static_cast<int>(c.nLength), info.m_strProductName.GetLength());
        EXPECT_EQ(std::string(c.nLength, 'q'), std::string(info.m_strProductName));
        EXPECT_TRUE(info.m_strProgramFolder.IsEmpty()) << "the next field should start after the text";
    }
}

TEST(ArchiveLayout, SixteenBitStringReadsAsAnsi)
{
    CBytes bytes;
    bytes.Header().Byte(1);
    bytes.Byte(0xFF).Byte(0xFE).Byte(0xFF).Byte(0x03).Raw("W\0i\0n\0", 6);   // the root's name
    bytes.Dword(0).Dword(0).Byte(0).Word(0).Fill(20, 0).Byte(0).Byte(0).Byte(0).Dword(0);
    bytes.Byte(0xFF).Byte(0xFE).Byte(0xFF).Byte(0x03).Raw("a\0b\0c\0", 6);   // the title
    CInstallMngr info;
    ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info));
    ASSERT_NE(nullptr, info.m_root.dir);
    EXPECT_STREQ("Win", info.m_root.dir->m_strPath);
    EXPECT_STREQ("abc", info.m_strTitle);
    EXPECT_EQ(3, info.m_strTitle.GetLength());
}

TEST(ArchiveLayout, EmptyFileEntryIsSkipped)
{
    CBytes bytes;
    bytes.Header().Byte(0).Dword(1);
    bytes.Byte(1).Text("Applikation").Dword(0).Dword(4);
    bytes.Byte(0);
    bytes.Byte(1).File("one.dll", FILE_SHARED, 10, 0x11);
    bytes.Byte(0);
    bytes.Byte(1).File("two.dll", 0, 20, 0x22);
    bytes.Dword(0).EmptyFields();
    CInstallMngr info;
    ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info));
    ASSERT_EQ(1, info.m_root.children.GetCount());
    const CDirNode* pApp = info.m_root.children.GetAt(info.m_root.children.GetHeadPosition());
    EXPECT_EQ(2, pApp->files.GetCount()) << "two of the four stored entries are empty";
    std::string version11, version22;
    for (int i = 0; i < 52; ++i) {
        version11 += "17.";
        version22 += "34.";
    }
    EXPECT_EQ("[-]{[Applikation]{(one.dll f8 s10 v" + version11 + ")(two.dll f0 s20 v" + version22 + ")}}",
              DescribeNode(info.m_root));
}

TEST(ArchiveLayout, NegativeCountsMeanNone)
{
    CBytes bytes;
    bytes.Header().Byte(0).Dword(0xFFFFFFFF).Dword(0x80000000);
    bytes.Byte(7).Word(0x0102).Dword(1).Dword(2).Dword(3).Dword(4).Dword(5);
    bytes.Text("\\D").Text("P").Text("G").Dword(0).Text("T");
    CInstallMngr info;
    ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info));
    EXPECT_TRUE(info.m_root.children.IsEmpty()) << "a child count of 0xFFFFFFFF reads as no children";
    EXPECT_TRUE(info.m_root.files.IsEmpty());
    EXPECT_EQ(7u, info.m_nDiskType) << "the fields after the counts should be read in step";
    EXPECT_EQ(0x0102, info.m_wExtra);
    EXPECT_EQ(5u, info.m_dwReserveBytes);
    EXPECT_STREQ("T", info.m_strTitle);
}

TEST(ArchiveLayout, ZeroReadMeLengthHasNoBlock)
{
    CBytes bytes;
    bytes.Header().Byte(0).Dword(0).Dword(0).EmptyFields();
    CInstallMngr info;
    info.SetReadMeText("old");
    int nBlocks = TrackedBlockCount();
    ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info)) << "the archive may end with the title";
    EXPECT_EQ(0, info.m_nReadMeLen);
    EXPECT_EQ(nullptr, info.m_pszReadMe);
    EXPECT_EQ(nBlocks - 1, TrackedBlockCount());

    CInstallMngr empty;
    Bytes written = StoreArchive(empty);
    EXPECT_EQ(0x00, written.back()) << "an empty title ends the archive when there is no read-me";
}

TEST(ArchiveHeader, OddDwordsAreAccepted)
{
    CBytes bytes;
    bytes.Raw(HEADER, 4).Dword(0xDEADBEEF).Dword(0x12345678).Raw(IDENT, 16);
    bytes.Byte(0).Dword(0).Dword(0).EmptyFields();
    CInstallMngr info;
    ASSERT_EQ("ok", LoadOutcome(bytes.m_bytes, info));
    EXPECT_EQ(0, memcmp(IDENT, info.m_ident, 16)) << "the identification block follows the header";
    Bytes written = StoreArchive(info);
    EXPECT_EQ(0, memcmp(HEADER, written.data(), sizeof HEADER)) << "the writer always writes 1 and 0";
    EXPECT_EQ(0, memcmp(IDENT, written.data() + 12, 16)) << "the identification block goes back unchanged";
}

TEST(ArchiveHeader, BadMagicIsRefused)
{
    for (size_t i = 0; i < 4; ++i) {
        CBytes bytes;
        bytes.Header().Byte(0).Dword(0).Dword(0).EmptyFields();
        bytes.m_bytes[i] ^= 0x40;
        CInstallMngr info;
        EXPECT_EQ("refused", LoadOutcome(bytes.m_bytes, info)) << "magic byte " << i << " changed";
    }
    CBytes reversed;
    reversed.Byte(0x03).Byte(0x04).Byte(0x75).Byte(0x23).Fill(24, 0).Byte(0).Dword(0).Dword(0).EmptyFields();
    CInstallMngr info;
    EXPECT_EQ("refused", LoadOutcome(reversed.m_bytes, info)) << "the magic is little-endian";
}

TEST(ArchiveHeader, ShortHeadersAreRefused)
{
    CBytes full;
    full.Header();
    for (size_t n : {0u, 1u, 4u, 11u, 12u, 13u, 20u, 27u}) {
        Bytes bytes(full.m_bytes.begin(), full.m_bytes.begin() + static_cast<long>(n));
        CInstallMngr info;
        EXPECT_EQ("refused", LoadOutcome(bytes, info)) << "a file of " << n << " bytes";
    }
    CInstallMngr info;
    EXPECT_EQ(END_OF_DATA, LoadOutcome(full.m_bytes, info))
        << "a complete header with no body is accepted, and the body then ends at once";
}

// The sample archive and the offset of its read-me block.
Bytes SampleArchive(size_t& nReadMeOffset)
{
    CInstallMngr info;
    FillSample(info);
    Bytes bytes = StoreArchive(info);
    nReadMeOffset = bytes.size() - static_cast<size_t>(info.m_nReadMeLen);
    return bytes;
}

TEST(ArchiveTruncation, CutInsideTheTreeOrFieldsIsEndOfData)
{
    size_t nReadMe = 0;
    Bytes whole = SampleArchive(nReadMe);
    CArchiveFile file;
    for (size_t n = BODY_OFFSET; n < nReadMe; ++n) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<long>(n));
        CInstallMngr info;
        EXPECT_EQ(END_OF_DATA, LoadOutcome(file, cut, info)) << "archive cut after " << n << " of " << whole.size() << " bytes";
    }
}

TEST(ArchiveTruncation, CutInsideTheReadMeLoads)
{
    size_t nReadMe = 0;
    Bytes whole = SampleArchive(nReadMe);
    int nBlocks = TrackedBlockCount();
    CArchiveFile file;
    for (size_t n = nReadMe; n <= whole.size(); ++n) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<long>(n));
        CInstallMngr info;
        ASSERT_EQ("ok", LoadOutcome(file, cut, info)) << "archive cut after " << n << " bytes";
        int nPresent = static_cast<int>(n - nReadMe);
        EXPECT_EQ(nPresent, info.m_nReadMeLen) << "the length kept is the length that was there";
        if (nPresent == 0) {
            EXPECT_EQ(nullptr, info.m_pszReadMe);
        } else {
            ASSERT_NE(nullptr, info.m_pszReadMe);
            EXPECT_EQ(0, memcmp(&whole[nReadMe], info.m_pszReadMe, static_cast<size_t>(nPresent)));
            EXPECT_EQ('\0', info.m_pszReadMe[nPresent]);
        }
        EXPECT_EQ(2, info.m_root.children.GetCount()) << "the tree is complete";
    }
    EXPECT_EQ(nBlocks, TrackedBlockCount()) << "no read-me buffer outlives its object";
}

// An archive of the given root record followed by empty fields.
Bytes TreeThenFields(const Bytes& tree)
{
    CBytes bytes;
    bytes.Header().Raw(tree.data(), tree.size()).EmptyFields();
    return bytes.m_bytes;
}

TEST(HostileArchive, HugeChildCountEndsAtTheEndOfData)
{
    CBytes tree;
    tree.Byte(0).Dword(0x7FFFFFFF);
    for (int i = 0; i < 1000; ++i)
        tree.Byte(0).Dword(0).Dword(0);
    CInstallMngr info;
    EXPECT_EQ(END_OF_DATA, LoadOutcome(TreeThenFields(tree.m_bytes), info));
}

TEST(HostileArchive, HugeFileCountEndsAtTheEndOfData)
{
    CBytes tree;
    tree.Byte(0).Dword(0).Dword(0x7FFFFFFF).Fill(100000, 0);
    CInstallMngr info;
    EXPECT_EQ(END_OF_DATA, LoadOutcome(TreeThenFields(tree.m_bytes), info));
}

TEST(HostileArchive, StringLengthsPastTheEnd)
{
    const Bytes prefixes[] = {
        {0xFE, 'a', 'b'},
        {0xFF, 0xFD, 0xFF, 'a'},
        {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F, 'a'},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0},
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0},
    };
    for (const Bytes& prefix : prefixes) {
        CBytes tree;
        tree.Byte(1).Raw(prefix.data(), prefix.size());
        CInstallMngr info;
        EXPECT_EQ(END_OF_DATA, LoadOutcome(TreeThenFields(tree.m_bytes), info))
            << "a name whose length prefix starts " << std::hex << int(prefix[0]) << " " << int(prefix[1]);
    }
}

// In a file of more than 2 GB (sparse: nothing is written past the archive)
// a length of 2^31 or more passes the end-of-data check; it must still be
// refused before anything is allocated for it.
TEST(HostileArchive, StringLengthsBeyondWhatAStringHoldsInAHugeFile)
{
    const Bytes prefixes[] = {
        {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80, 'a'},
        {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xBF, 'a'},
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40, 'a', 0},
    };
    CScratch huge("huge.dat");
    for (const Bytes& prefix : prefixes) {
        CBytes tree;
        tree.Byte(1).Raw(prefix.data(), prefix.size());
        WriteBytes(huge.Path(), TreeThenFields(tree.m_bytes));
        HANDLE hFile = CreateFileA(huge.Path(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, hFile) << "error " << GetLastError();
        LARGE_INTEGER size;
        size.QuadPart = 3ll << 30;
        BOOL bExtended = SetFilePointerEx(hFile, size, nullptr, FILE_BEGIN) && SetEndOfFile(hFile);
        CloseHandle(hFile);
        ASSERT_TRUE(bExtended) << "extending to 3 GB, error " << GetLastError();
        CInstallMngr info;
        std::string outcome = Outcome([&] {
            CFile file;
            file.Open(huge.Path(), CFile::modeRead);
            CArchive ar(&file, CArchive::load);
            info.ReadHeader(ar);
            info.Serialize(ar);
            return true;
        });
        size_t nLength = prefix.back() == 0 ? 6 : 3;
        EXPECT_EQ(REFUSED_RECORD, outcome) << "a name of length 0x" << std::hex << int(prefix[nLength + 3])
                                           << int(prefix[nLength + 2]) << int(prefix[nLength + 1]) << int(prefix[nLength]);
    }
}

// A chain of nodes each holding one child, nLevels below the root.
Bytes NestedTree(size_t nLevels)
{
    CBytes tree;
    for (size_t i = 0; i < nLevels; ++i)
        tree.Byte(0).Dword(1);
    tree.Byte(0).Dword(0).Dword(0);
    for (size_t i = 0; i < nLevels; ++i)
        tree.Dword(0);
    return tree.m_bytes;
}

TEST(HostileArchive, NestingUpToTheLimitLoads)
{
    CInstallMngr info;
    ASSERT_EQ("ok", LoadOutcome(TreeThenFields(NestedTree(260)), info)) << "260 levels below the root are allowed";
    int nDepth = 0;
    for (const CDirNode* pNode = &info.m_root; !pNode->children.IsEmpty();
         pNode = pNode->children.GetAt(pNode->children.GetHeadPosition()))
        ++nDepth;
    EXPECT_EQ(260, nDepth);
}

TEST(HostileArchive, DeeperNestingIsRefused)
{
    CInstallMngr info;
    EXPECT_EQ(REFUSED_RECORD, LoadOutcome(TreeThenFields(NestedTree(261)), info));
    EXPECT_TRUE(info.m_root.children.GetCount() <= 1);
}

TEST(HostileArchive, MegabyteOfNestedNodesNeitherCrashesNorOverflows)
{
    CBytes tree;
    while (tree.m_bytes.size() < 1024 * 1024)
        tree.Byte(0).Dword(1);
    CInstallMngr info;
    EXPECT_EQ(REFUSED_RECORD, LoadOutcome(TreeThenFields(tree.m_bytes), info));
    CInstallMngr again;
    EXPECT_EQ(REFUSED_RECORD, LoadOutcome(TreeThenFields(tree.m_bytes), again))
        << "a second reader sees the same";
}

Bytes ArchiveWithReadMe(DWORD dwStoredLength, size_t nPresent)
{
    CBytes bytes;
    bytes.Header().Byte(0).Dword(0).Dword(0).Byte(0).Word(0).Fill(20, 0).Text("").Text("").Text("");
    bytes.Dword(dwStoredLength).Text("T");
    for (size_t i = 0; i < nPresent; ++i)
        bytes.Byte(static_cast<BYTE>('a' + i % 26));
    return bytes.m_bytes;
}

TEST(HostileArchive, NegativeReadMeLengthIsRefused)
{
    for (DWORD dwLength : {0xFFFFFFFFu, 0x80000000u, 0xFFFFFF00u}) {
        CInstallMngr info;
        int nBlocks = TrackedBlockCount();
        EXPECT_EQ(REFUSED_RECORD, LoadOutcome(ArchiveWithReadMe(dwLength, 10), info)) << std::hex << dwLength;
        EXPECT_EQ(0, info.m_nReadMeLen);
        EXPECT_EQ(nullptr, info.m_pszReadMe);
        EXPECT_EQ(nBlocks, TrackedBlockCount()) << "no buffer is taken for a refused length";
    }
}

TEST(HostileArchive, HugeReadMeLengthTakesWhatTheFileHolds)
{
    CInstallMngr info;
    int nBlocks = TrackedBlockCount();
    DWORD dwBytes = TrackedByteTotal();
    ASSERT_EQ("ok", LoadOutcome(ArchiveWithReadMe(0x7FFFFFFF, 10), info));
    EXPECT_EQ(10, info.m_nReadMeLen);
    ASSERT_NE(nullptr, info.m_pszReadMe);
    EXPECT_STREQ("abcdefghij", info.m_pszReadMe);
    EXPECT_EQ(nBlocks + 1, TrackedBlockCount());
    EXPECT_EQ(dwBytes + 11, TrackedByteTotal()) << "the buffer is sized by the bytes the file holds";

    CInstallMngr none;
    ASSERT_EQ("ok", LoadOutcome(ArchiveWithReadMe(0x7FFFFFFF, 0), none));
    EXPECT_EQ(0, none.m_nReadMeLen);
    EXPECT_EQ(nullptr, none.m_pszReadMe);
}

// Walks the whole tree; false when the walk does not end.
bool WalkEnds(CInstallTree& tree)
{
    CObject* pItem = nullptr;
    int nItems = 0;
    for (int n = tree.GetFirstItem(pItem); n != ITEM_END; n = tree.GetNextItem(pItem))
        if (++nItems > 10000000)
            return false;
    return true;
}

TEST(HostileArchive, RandomMutationsOnlyLoadOrThrowFrameworkExceptions)
{
    size_t nReadMe = 0;
    const Bytes whole = SampleArchive(nReadMe);
    std::mt19937 random(19950824);
    const BYTE specials[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
    int nLoaded = 0, nThrown = 0, nRefused = 0;
    int nBlocks = TrackedBlockCount();
    CArchiveFile file;

    for (int nRound = 0; nRound < 10000; ++nRound) {
        Bytes bytes = whole;
        int nEdits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < nEdits && !bytes.empty(); ++e) {
            size_t at = random() % bytes.size();
            switch (random() % 6) {
            case 0:
                bytes[at] = static_cast<BYTE>(random());
                break;
            case 1:
                bytes[at] = specials[random() % sizeof specials];
                break;
            case 2:
                bytes.resize(at);
                break;
            case 3:
                bytes.insert(bytes.begin() + static_cast<long>(at), 1 + random() % 8, static_cast<BYTE>(random()));
                break;
            case 4:
                bytes.erase(bytes.begin() + static_cast<long>(at),
                            bytes.begin() + static_cast<long>(std::min(bytes.size(), at + 1 + random() % 16)));
                break;
            default: {
                const DWORD counts[] = {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x0000FFFF};
                DWORD dw = counts[random() % 4];
                for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
                    bytes[at + i] = static_cast<BYTE>(dw >> (8 * i));
                break;
            }
            }
        }
        if (random() % 3 == 0 && bytes.size() >= BODY_OFFSET)
            memcpy(bytes.data(), HEADER, 4);

        CInstallMngr info;
        try {
            if (!file.Load(bytes, info)) {
                ++nRefused;
                continue;
            }
            ++nLoaded;
            ASSERT_EQ(info.m_pszReadMe == nullptr, info.m_nReadMeLen == 0) << "round " << nRound;
            ASSERT_LE(static_cast<size_t>(info.m_nReadMeLen), bytes.size()) << "round " << nRound;
            ASSERT_TRUE(WalkEnds(info)) << "round " << nRound;
        } catch (CArchiveException&) {
            ++nThrown;
        } catch (CFileException&) {
            ++nThrown;
        } catch (...) {
            FAIL() << "round " << nRound << " ended in an exception that is not the framework's";
        }
    }
    EXPECT_GT(nLoaded, 100) << "the mutations should leave many archives loadable";
    EXPECT_GT(nThrown, 100) << "and make many fail";
    EXPECT_GT(nRefused, 10);
    EXPECT_EQ(nBlocks, TrackedBlockCount()) << "no tracked buffer is left behind";
}

TEST(MemStatusRecord, DefaultTableOfFiftyStrings)
{
    CMemStatus status;
    CBytes expected;
    expected.Word(50).Fill(50, 0).Byte(0).Word(0);
    EXPECT_EQ(expected.m_bytes, StoreArchive(status));
}

TEST(MemStatusRecord, StringsTextAndNumber)
{
    CMemStatus status;
    status.m_strings.RemoveAll();
    status.m_strings.Add("a");
    status.m_strings.Add("bc");
    status.m_strText = "t";
    status.m_wNumber = 0x1234;
    CBytes expected;
    expected.Word(2).Text("a").Text("bc").Text("t").Word(0x1234);
    EXPECT_EQ(expected.m_bytes, StoreArchive(status));
}

TEST(MemStatusRecord, LargeCountTakesTheDwordForm)
{
    CMemStatus status;
    status.m_strings.SetSize(0xFFFF);
    Bytes bytes = StoreArchive(status);
    CBytes expected;
    expected.Word(0xFFFF).Dword(0xFFFF).Fill(0xFFFF, 0).Byte(0).Word(0);
    EXPECT_EQ(expected.m_bytes, bytes);

    status.m_strings.SetSize(0xFFFE);
    Bytes below = StoreArchive(status);
    ASSERT_GE(below.size(), 2u);
    EXPECT_EQ(0xFE, below[0]);
    EXPECT_EQ(0xFF, below[1]) << "0xFFFE strings still fit the word form";
    EXPECT_EQ(2u + 0xFFFE + 3, below.size());
}

void LoadMemStatus(const Bytes& bytes, CMemStatus& status)
{
    CScratch file("memstatus.dat");
    WriteBytes(file.Path(), bytes);
    CFile f;
    f.Open(file.Path(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    status.Serialize(ar);
}

TEST(MemStatusRecord, ReadsBothCountForms)
{
    CBytes dwordForm;
    dwordForm.Word(0xFFFF).Dword(2).Text("x").Text("").Text("hi").Word(7);
    CMemStatus status;
    LoadMemStatus(dwordForm.m_bytes, status);
    ASSERT_EQ(2, status.m_strings.GetSize()) << "the table holds what was read, not 50";
    EXPECT_STREQ("x", status.m_strings[0]);
    EXPECT_STREQ("", status.m_strings[1]);
    EXPECT_STREQ("hi", status.m_strText);
    EXPECT_EQ(7, status.m_wNumber);

    CBytes wordForm;
    wordForm.Word(1).Text("only").Text("").Word(0xFFFF);
    CMemStatus other;
    LoadMemStatus(wordForm.m_bytes, other);
    ASSERT_EQ(1, other.m_strings.GetSize());
    EXPECT_STREQ("only", other.m_strings[0]);
    EXPECT_EQ(0xFFFF, other.m_wNumber);
}

TEST(MemStatusRecord, HugeCountEndsAtTheEndOfData)
{
    CBytes bytes;
    bytes.Word(0xFFFF).Dword(0xFFFFFFFF).Fill(1000, 0);
    CMemStatus status;
    try {
        LoadMemStatus(bytes.m_bytes, status);
        FAIL() << "a count far beyond the data should not load";
    } catch (CArchiveException& e) {
        EXPECT_EQ(CArchiveException::endOfFile, e.m_cause);
    }
}

TEST(DataVolumeLayout, CapacitiesPerDiskType)
{
    EXPECT_EQ(1199998u, DataVolumeCapacity(0));
    EXPECT_EQ(1439998u, DataVolumeCapacity(1));
    EXPECT_EQ(0u, DataVolumeCapacity(2)) << "no other type defines a capacity";
    EXPECT_EQ(0u, DataVolumeCapacity(255));
    EXPECT_EQ(2u, DATAVOLUME_HEADER_SIZE);
    EXPECT_EQ(1200000u, DataVolumeCapacity(0) + DATAVOLUME_HEADER_SIZE);
    EXPECT_EQ(1440000u, DataVolumeCapacity(1) + DATAVOLUME_HEADER_SIZE);
}

TEST(DataVolumeLayout, VolumeCounts)
{
    EXPECT_EQ(1u, DataVolumeCount(0, 0)) << "even no data takes one volume";
    EXPECT_EQ(1u, DataVolumeCount(1199998, 0));
    EXPECT_EQ(2u, DataVolumeCount(1199999, 0));
    EXPECT_EQ(2u, DataVolumeCount(2 * 1199998ull, 0)) << "data ending at a volume's end leave no empty volume";
    EXPECT_EQ(3u, DataVolumeCount(2 * 1439998ull + 1, 1));
    EXPECT_EQ(1u, DataVolumeCount(100000000, 7)) << "a type without a capacity holds all data in one volume";
    EXPECT_EQ(3580u, DataVolumeCount(0xFFFFFFFFull, 0));
}

TEST(DataVolumeLayout, IndexIsTwoLittleEndianBytes)
{
    CScratch file("volume.dat");
    {
        CFile f;
        f.Open(file.Path(), CFile::modeCreate | CFile::modeWrite);
        WriteDataVolumeIndex(f, 0x0103);
        f.Close();
    }
    EXPECT_EQ(Bytes({0x03, 0x01}), ReadBytes(file.Path()));

    WriteBytes(file.Path(), {0x02, 0x00, 0xAA});
    CFile f;
    f.Open(file.Path(), CFile::modeRead);
    WORD wIndex = 0xFFFF;
    EXPECT_TRUE(ReadDataVolumeIndex(f, wIndex));
    EXPECT_EQ(2, wIndex);
    f.Close();

    WriteBytes(file.Path(), {0x02});
    f.Open(file.Path(), CFile::modeRead);
    EXPECT_FALSE(ReadDataVolumeIndex(f, wIndex)) << "a volume of one byte has no index";
}

}  // namespace
