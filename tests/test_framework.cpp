// Framework layer: counted strings, lists, files with their exception causes,
// the archive's encodings and the handles that close themselves, over the
// real Win32 file system and registry.
#include "framework/CArchive.h"
#include "framework/CHandle.h"
#include "framework/CList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::vector<BYTE> ReadAll(const std::string& path)
{
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    std::vector<BYTE> bytes(f.GetLength());
    if (!bytes.empty())
        f.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// 0 when the file can be opened for reading now, else the open's error.
DWORD OpenError(const std::string& path)
{
    CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    return file.IsEmpty() ? GetLastError() : ERROR_SUCCESS;
}

HANDLE CreateUnshared(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
}

void WriteAll(const std::string& path, const std::vector<BYTE>& bytes)
{
    CFile f;
    f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    f.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    f.Close();
}

TEST(CString, FirstWordPointsToTheCharacters)
{
    CString s("Mapsmith");
    const char* const* ppsz = reinterpret_cast<const char* const*>(&s);
    EXPECT_STREQ("Mapsmith", *ppsz);
    EXPECT_EQ(sizeof(void*), sizeof(CString));
}

TEST(CString, CopiesShareUntilWritten)
{
    CString a("abc");
    CString b(a);
    EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b)) << "a copy should share the buffer";
    b.SetAt(0, 'x');
    EXPECT_STREQ("abc", a);
    EXPECT_STREQ("xbc", b);
}

TEST(CString, SlicingSearchAndFormat)
{
    CString s("C:\\dir\\file.ext");
    EXPECT_STREQ("C:\\", s.Left(3));
    EXPECT_STREQ("file.ext", s.Mid(7));
    EXPECT_STREQ("ext", s.Right(3));
    EXPECT_EQ(6, s.ReverseFind('\\'));
    EXPECT_EQ(3, s.Find("dir"));
    EXPECT_EQ(-1, s.Find('?'));
    EXPECT_EQ(0, s.CompareNoCase("c:\\DIR\\FILE.EXT"));
    CString f;
    f.Format("Insert the disk %u in %c: !", 3u, 'A');
    EXPECT_STREQ("Insert the disk 3 in A: !", f);
    CString g;
    char* p = g.GetBuffer(10);
    lstrcpyA(p, "12345");
    g.ReleaseBuffer();
    EXPECT_EQ(5, g.GetLength());
    EXPECT_TRUE(CString().IsEmpty());
}

TEST(CPtrList, KeepsOrderAcrossCellBlocks)
{
    CTypedPtrList<int> list;
    int values[25];
    for (int i = 0; i < 25; ++i) {
        values[i] = i;
        list.AddTail(&values[i]);
    }
    ASSERT_EQ(25, list.GetCount());
    int expected = 0;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        EXPECT_EQ(expected++, *list.GetNext(pos));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(nullptr, list.GetHeadPosition());
}

TEST(CFile, MissingFileThrowsWithCauseAndName)
{
    std::string path = TempPath("no-such-file.bin");
    DeleteFileA(path.c_str());
    CFile f;
    try {
        f.Open(path.c_str(), CFile::modeRead);
        FAIL() << "opening a missing file should throw";
    } catch (CFileException& e) {
        EXPECT_EQ(CFileException::fileNotFound, e.m_cause);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, e.m_lOsError);
        EXPECT_STREQ(path.c_str(), e.m_strFileName);
    }
}

// A name already taken refuses a new file, and the file keeps its bytes.
TEST(CFile, CreateNewRefusesAnExistingFile)
{
    std::string path = TempPath("create-new.bin");
    DeleteFileA(path.c_str());
    CFile f;
    f.Open(path.c_str(), CFile::modeCreateNew | CFile::modeWrite);
    f.Write("ab", 2);
    f.Close();
    try {
        f.Open(path.c_str(), CFile::modeCreateNew | CFile::modeWrite);
        FAIL() << "a second new file of the same name should throw";
    } catch (CFileException& e) {
        EXPECT_EQ(ERROR_FILE_EXISTS, e.m_lOsError);
    }
    EXPECT_EQ((std::vector<BYTE>{'a', 'b'}), ReadAll(path)) << "the existing file was touched";
    DeleteFileA(path.c_str());
}

TEST(CFile, CauseMapping)
{
    EXPECT_EQ(CFileException::badPath, CFileException::OsErrorToException(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(CFileException::accessDenied, CFileException::OsErrorToException(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CFileException::sharingViolation, CFileException::OsErrorToException(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CFileException::diskFull, CFileException::OsErrorToException(ERROR_DISK_FULL));
    EXPECT_EQ(CFileException::genericException, CFileException::OsErrorToException(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(CFile, SharingViolationWhileHeldOpen)
{
    std::string path = TempPath("held-open.bin");
    WriteAll(path, {1, 2, 3});
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CFile f;
    try {
        f.Open(path.c_str(), CFile::modeReadWrite);
        ADD_FAILURE() << "a file held without sharing should not open";
    } catch (CFileException& e) {
        EXPECT_EQ(CFileException::sharingViolation, e.m_cause);
    }
    CloseHandle(h);
    DeleteFileA(path.c_str());
}

TEST(CFile, StatusKeepsTimesWhenReadOnlyIsCleared)
{
    std::string path = TempPath("status.bin");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteAll(path, {1});
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), status));
    EXPECT_TRUE(status.m_attribute & FILE_ATTRIBUTE_READONLY);
    status.m_attribute &= ~FILE_ATTRIBUTE_READONLY;
    CFile::SetStatus(path.c_str(), status);
    CFileStatus after;
    ASSERT_TRUE(CFile::GetStatus(path.c_str(), after));
    EXPECT_FALSE(after.m_attribute & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(after.m_attribute & FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(status.m_mtime.dwLowDateTime, after.m_mtime.dwLowDateTime);
    EXPECT_EQ(status.m_mtime.dwHighDateTime, after.m_mtime.dwHighDateTime);
    CFile::Remove(path.c_str());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
}

TEST(CArchive, StringPrefixesAtTheirBoundaries)
{
    std::string path = TempPath("prefix.bin");
    {
        CFile f;
        f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&f, CArchive::store);
        ar << CString() << CString(std::string(254, 'a').c_str()) << CString(std::string(255, 'b').c_str())
           << CString(std::string(65534, 'c').c_str());
        ar.Close();
    }
    std::vector<BYTE> bytes = ReadAll(path);
    ASSERT_EQ(1u + 1 + 254 + 3 + 255 + 7 + 65534, bytes.size());
    EXPECT_EQ(0x00, bytes[0]);
    EXPECT_EQ(0xFE, bytes[1]);
    const BYTE p255[] = {0xFF, 0xFF, 0x00};
    EXPECT_EQ(0, memcmp(p255, &bytes[256], 3)) << "255 bytes need the word prefix FF FF 00";
    const BYTE p65534[] = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00};
    EXPECT_EQ(0, memcmp(p65534, &bytes[256 + 3 + 255], 7)) << "65534 bytes need the dword prefix";

    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    CString s0, s1, s2, s3;
    ar >> s0 >> s1 >> s2 >> s3;
    EXPECT_EQ(0, s0.GetLength());
    EXPECT_EQ(254, s1.GetLength());
    EXPECT_EQ(255, s2.GetLength());
    EXPECT_EQ(65534, s3.GetLength());
    EXPECT_EQ('c', s3[65533]);
}

TEST(CArchive, SixteenBitStringIsConverted)
{
    std::string path = TempPath("wide.bin");
    WriteAll(path, {0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0, 'c', 0});
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    CString s;
    ar >> s;
    EXPECT_STREQ("abc", s);
}

TEST(CArchive, ShortReadsThrowEndOfFileButRawReadsDoNot)
{
    std::string path = TempPath("short.bin");
    WriteAll(path, {0x07, 'a', 'b', 0x01, 0x02, 0x03});
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    try {
        CString s;
        ar >> s;
        FAIL() << "a string longer than the rest of the file should not load";
    } catch (CArchiveException& e) {
        EXPECT_EQ(CArchiveException::endOfFile, e.m_cause);
    }
    BYTE raw[16] = {};
    EXPECT_EQ(5u, ar.Read(raw, sizeof raw)) << "a raw read returns what there is";
    DWORD dw;
    EXPECT_THROW(ar >> dw, CArchiveException);
}

TEST(CArchive, HugeStringLengthIsRefusedWithoutAllocating)
{
    std::string path = TempPath("huge.bin");
    WriteAll(path, {0xFF, 0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0xFF, 'x'});
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    CString s;
    EXPECT_THROW(ar >> s, CArchiveException);
}

TEST(CArchive, LongChainOfWideMarkersEndsAtEndOfFile)
{
    std::string path = TempPath("markers.bin");
    std::vector<BYTE> bytes;
    for (int i = 0; i < 200000; ++i) {
        bytes.push_back(0xFF);
        bytes.push_back(0xFE);
        bytes.push_back(0xFF);
    }
    WriteAll(path, bytes);
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    CArchive ar(&f, CArchive::load);
    CString s;
    EXPECT_THROW(ar >> s, CArchiveException);
}

TEST(CArchive, CountsAndIntegersAreLittleEndian)
{
    std::string path = TempPath("count.bin");
    {
        CFile f;
        f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&f, CArchive::store);
        ar.WriteCount(3);
        ar.WriteCount(0x12345);
        ar << static_cast<WORD>(0xBEEF) << static_cast<DWORD>(0x01020304);
        ar.Close();
    }
    std::vector<BYTE> expected = {0x03, 0x00, 0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00,
                                  0xEF, 0xBE, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(expected, ReadAll(path));
}

TEST(CHandle, AManagedFileIsClosedWhenItGoes)
{
    std::string path = TempPath("handle-managed.bin");
    {
        CFileHandle file(CreateUnshared(path));
        ASSERT_FALSE(file.IsEmpty()) << "cannot create " << path << ": error " << GetLastError();
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), OpenError(path))
            << "a file opened without sharing must be held";
    }
    EXPECT_EQ(0u, OpenError(path)) << "the file is still held after its handle went";
    EXPECT_TRUE(DeleteFileA(path.c_str())) << path << ": error " << GetLastError();
}

TEST(CHandle, DetachLeavesTheHandleOpen)
{
    std::string path = TempPath("handle-detached.bin");
    HANDLE hDetached = INVALID_HANDLE_VALUE;
    {
        CFileHandle file(CreateUnshared(path));
        ASSERT_FALSE(file.IsEmpty()) << "cannot create " << path << ": error " << GetLastError();
        hDetached = file.Detach();
        EXPECT_TRUE(file.IsEmpty()) << "a detached object holds no handle";
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), OpenError(path)) << "the detached handle was closed";
    EXPECT_TRUE(CloseHandle(hDetached)) << "error " << GetLastError();
    EXPECT_EQ(0u, OpenError(path)) << "the file is still held";
    EXPECT_TRUE(DeleteFileA(path.c_str())) << path << ": error " << GetLastError();
}

TEST(CHandle, CloseOfAnEmptyHandleIsTrue)
{
    CKernelHandle none;
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_TRUE(none.Close()) << "no handle to close is no failure";
    std::string missing = TempPath("handle-no-such-dir\\none.bin");
    CFileHandle noFile(CreateFileA(missing.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(noFile.IsEmpty()) << "a failed open leaves the file handle empty";
    EXPECT_TRUE(noFile.Close());
}

TEST(CHandle, CloseClosesTheHandleAndEmptiesTheObject)
{
    CKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_FALSE(event.IsEmpty()) << "CreateEventA: error " << GetLastError();
    HANDLE hEvent = event;
    EXPECT_TRUE(event.Close()) << "CloseHandle: error " << GetLastError();
    EXPECT_TRUE(event.IsEmpty());
    DWORD dwFlags = 0;
    EXPECT_FALSE(GetHandleInformation(hEvent, &dwFlags)) << "the event is still open";
    EXPECT_TRUE(event.Close()) << "a second close has nothing to close";
}

TEST(CHandle, AnUnmanagedHandleIsLeftToItsOwner)
{
    CKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_FALSE(event.IsEmpty()) << "CreateEventA: error " << GetLastError();
    {
        CHandleT<CKernelHandleTraits, false> borrowed(event);
        EXPECT_FALSE(borrowed.IsEmpty());
    }
    EXPECT_TRUE(SetEvent(event)) << "the borrowed handle was closed: error " << GetLastError();
}

TEST(CHandle, ARegistryKeyIsClosedWhenItGoes)
{
    const char szKey[] = "Software\\SetupTestsFrameworkHandle";
    HKEY hKey = nullptr;
    {
        CRegKey key;
        LONG lResult = RegCreateKeyExA(HKEY_CURRENT_USER, szKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                       nullptr);
        ASSERT_EQ(ERROR_SUCCESS, lResult) << "cannot create HKCU\\" << szKey;
        DWORD dwValue = 7;
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                                                sizeof dwValue))
            << "the key does not work through the object";
        hKey = key;
    }
    DWORD dwType = REG_NONE;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(hKey, "v", nullptr, &dwType, nullptr, nullptr))
        << "the key is still open";
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, szKey)) << "cannot delete HKCU\\" << szKey;
}

TEST(CHandle, AFindHandleIsClosedWithFindClose)
{
    std::string dir = TempPath("handle-find");
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        << dir << ": error " << GetLastError();
    WIN32_FIND_DATAA fd;
    CFindHandle none(FindFirstFileA((dir + "\\*.none").c_str(), &fd));
    EXPECT_TRUE(none.IsEmpty()) << "a search that finds nothing leaves the find handle empty";
    CFindHandle found(FindFirstFileA((dir + "\\*").c_str(), &fd));
    ASSERT_FALSE(found.IsEmpty()) << "FindFirstFileA: error " << GetLastError();
    EXPECT_TRUE(found.Close()) << "FindClose: error " << GetLastError();
    EXPECT_TRUE(found.IsEmpty());
    EXPECT_TRUE(RemoveDirectoryA(dir.c_str())) << dir << ": error " << GetLastError();
}

}  // namespace
