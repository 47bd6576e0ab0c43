// File-system helpers over the real Wine file system and drives.
#include "AccessRights.h"

#include "model/SetupChoices.h"
#include "platform/FileUtil.h"
#include "platform/SecurityDescriptor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool IsDirectory(const std::string& path)
{
    DWORD dwAttr = GetFileAttributesA(path.c_str());
    return dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path)
{
    DWORD dwAttr = GetFileAttributesA(path.c_str());
    return dwAttr != INVALID_FILE_ATTRIBUTES && !(dwAttr & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFile(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << "cannot create " << path << ", error " << GetLastError();
    CloseHandle(h);
}

// Removes a directory with everything below it; false when anything stays.
bool RemoveTree(const std::string& path)
{
    bool bRemoved = true;
    WIN32_FIND_DATAA data;
    HANDLE hFind = FindFirstFileA((path + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                bRemoved = RemoveTree(child) && bRemoved;
            else
                bRemoved = SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL) &&
                           DeleteFileA(child.c_str()) && bRemoved;
        } while (FindNextFileA(hFind, &data));
        FindClose(hFind);
    }
    return RemoveDirectoryA(path.c_str()) && bRemoved;
}

// A letter no drive of the prefix uses, or 0.
char UnusedDriveLetter()
{
    for (char ch = 'Q'; ch <= 'Y'; ++ch) {
        char szRoot[] = "?:\\";
        szRoot[0] = ch;
        if (GetDriveTypeA(szRoot) == DRIVE_NO_ROOT_DIR)
            return ch;
    }
    return 0;
}

// Every test gets a fresh directory of its own below the temporary
// directory, removed with its contents afterwards.
class FileUtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        DWORD dwLength = GetTempPathA(MAX_PATH, szTemp);
        ASSERT_TRUE(dwLength > 0 && dwLength < MAX_PATH) << "no temporary directory";
        m_dir = std::string(szTemp) + "fileutil-test-" + std::to_string(GetCurrentProcessId());
        RemoveTree(m_dir);
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr))
            << "cannot create " << m_dir << ", error " << GetLastError();
    }

    void TearDown() override { EXPECT_TRUE(RemoveTree(m_dir)) << m_dir << " was not removed"; }

    std::string Path(const char* name) const { return m_dir + "\\" + name; }

    std::string m_dir;
};

TEST(DriveFreeSpace, FourGigabytesAndMoreAreReadWhole)
{
    ULARGE_INTEGER available = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, nullptr, nullptr)) << "error " << GetLastError();
    ASSERT_GT(available.QuadPart, 0xFFFFFFFFull) << "C: has less than 4 GB free; this case needs more";

    ULONGLONG ullResult = 0x1234;
    EXPECT_TRUE(GetDriveFreeSpace(3, ullResult));
    // Other programs write to the disk meanwhile: a gigabyte apart is the same reading.
    EXPECT_GT(ullResult, available.QuadPart - (1ull << 30)) << "free space above 4 GB must be read whole, not cut";
    EXPECT_LT(ullResult, available.QuadPart + (1ull << 30));
}

TEST(DriveFreeSpace, MissingDriveFailsAndLeavesTheOutput)
{
    char chDrive = UnusedDriveLetter();
    ASSERT_NE(0, chDrive) << "every drive letter from Q: to Y: is in use";
    ULONGLONG ullResult = 0x1234;
    SetLastError(0);
    EXPECT_FALSE(GetDriveFreeSpace(DriveLetterToNumber(chDrive), ullResult));
    EXPECT_NE(0u, GetLastError()) << "the system's reason should be in the last-error value";
    EXPECT_EQ(0x1234u, ullResult) << "a failed call must not touch the output";
}

TEST(DrivesOfTypes, FixedDrivesOfThePrefix)
{
    const DWORD types[] = {3, DRIVE_REMOVABLE, DRIVE_FIXED, DRIVE_REMOTE};
    CByteArray drives;
    drives.Add(9);
    ASSERT_TRUE(GetDrivesOfTypes(types, FALSE, drives));
    ASSERT_EQ(2, drives.GetSize()) << "a fresh prefix has the fixed drives C: and Z: only";
    EXPECT_EQ(3, drives[0]);
    EXPECT_EQ(26, drives[1]);
}

TEST(DrivesOfTypes, FloppiesFlagDecidesTheFirstDriveAsked)
{
    // Unused letters report "no root directory": they show which letters
    // were asked at all. The test session links A: as a removable drive.
    const DWORD types[] = {2, DRIVE_NO_ROOT_DIR, DRIVE_REMOVABLE};
    CByteArray drives;
    ASSERT_TRUE(GetDrivesOfTypes(types, FALSE, drives));
    EXPECT_EQ(4, drives[0]) << "without floppies A: and B: are not asked, and C: is fixed";
    ASSERT_TRUE(GetDrivesOfTypes(types, TRUE, drives));
    ASSERT_GE(drives.GetSize(), 2);
    EXPECT_EQ(1, drives[0]);
    EXPECT_EQ(2, drives[1]);
    for (int i = 1; i < drives.GetSize(); ++i)
        EXPECT_LT(drives[i - 1], drives[i]) << "drives must come in ascending order";
}

TEST(DrivesOfTypes, NoMatchEmptiesTheArray)
{
    const DWORD cdrom[] = {1, DRIVE_CDROM};
    const DWORD none[] = {0};
    CByteArray drives;
    drives.Add(3);
    EXPECT_FALSE(GetDrivesOfTypes(cdrom, TRUE, drives));
    EXPECT_TRUE(drives.IsEmpty()) << "earlier contents must be dropped";
    drives.Add(3);
    EXPECT_FALSE(GetDrivesOfTypes(none, TRUE, drives));
    EXPECT_TRUE(drives.IsEmpty());
}

TEST(DriveLetterToNumber, EitherCase)
{
    EXPECT_EQ(1, DriveLetterToNumber('A'));
    EXPECT_EQ(3, DriveLetterToNumber('c'));
    EXPECT_EQ(3, DriveLetterToNumber('C'));
    EXPECT_EQ(26, DriveLetterToNumber('z'));
}

TEST_F(FileUtilTest, CheckFileExistsCodes)
{
    MakeFile(Path("present.txt"));
    EXPECT_EQ(0u, CheckFileExists(Path("present.txt").c_str()));
    EXPECT_EQ(0u, CheckFileExists(Path("*.txt").c_str())) << "wildcards should match";
    EXPECT_EQ(0u, CheckFileExists(m_dir.c_str())) << "a directory is something that exists";
    EXPECT_EQ(2u, CheckFileExists(Path("absent.txt").c_str()));
    EXPECT_EQ(2u, CheckFileExists(Path("*.none").c_str()));
    EXPECT_EQ(3u, CheckFileExists(Path("nodir\\absent.txt").c_str()));
}

TEST_F(FileUtilTest, CheckDirectoryExistsReportsMissingAsPathNotFound)
{
    ASSERT_TRUE(CreateDirectoryA(Path("empty").c_str(), nullptr));
    EXPECT_EQ(0u, CheckDirectoryExists(m_dir.c_str()));
    EXPECT_EQ(0u, CheckDirectoryExists(Path("empty").c_str()))
        << "an empty directory still holds its own entries";

    SetLastError(0);
    EXPECT_EQ(3u, CheckDirectoryExists(Path("missing").c_str()));
    EXPECT_EQ(3u, GetLastError()) << "the code should also be the last-error value";
    EXPECT_EQ(3u, CheckDirectoryExists(Path("missing\\deeper").c_str()));
}

TEST_F(FileUtilTest, CreateDirectoryPathCreatesEveryMissingLevel)
{
    std::string path = Path("a\\b\\c");
    EXPECT_TRUE(CreateDirectoryPath(path.c_str()));
    EXPECT_TRUE(IsDirectory(Path("a")));
    EXPECT_TRUE(IsDirectory(Path("a\\b")));
    EXPECT_TRUE(IsDirectory(path));
    EXPECT_TRUE(CreateDirectoryPath(path.c_str())) << "an existing directory is success";

    // Below an existing level only the missing ones are made, and listed
    // parents first.
    CStringArray created;
    EXPECT_TRUE(CreateDirectoryPath(Path("a\\x\\y").c_str(), created));
    EXPECT_TRUE(IsDirectory(Path("a\\x\\y")));
    EXPECT_TRUE(IsDirectory(path)) << "existing siblings stay";
    ASSERT_EQ(2, created.GetSize()) << "only the two missing levels are new";
    EXPECT_STREQ(Path("a\\x").c_str(), created[0]);
    EXPECT_STREQ(Path("a\\x\\y").c_str(), created[1]);
    EXPECT_TRUE(CreateDirectoryPath(Path("a\\x\\y").c_str(), created));
    EXPECT_EQ(2, created.GetSize()) << "an existing directory is not listed as created";
}

// The descriptor given is the one a program folder has; the new levels are
// read back as the file system keeps them (see AccessRights.h for Wine).
TEST_F(FileUtilTest, CreateDirectoryPathGivesItsDescriptorToTheTopmostNewDirectory)
{
    CSecurityDescriptor protection;
    ASSERT_TRUE(protection.FromString(PROGRAM_FOLDER_SDDL)) << "error " << GetLastError();
    CAccessRights given = AccessRightsOf(protection.Attributes()->lpSecurityDescriptor);
    ASSERT_TRUE(given.bRead) << "the descriptor cannot be read";
    EXPECT_TRUE(given.bProtected) << given.strSddl << ": the rights a drive's root hands down would apply";
    EXPECT_FALSE(given.GrantsUsersWrite()) << given.strSddl << ": users may write";
    EXPECT_FALSE(given.bEveryoneListed) << given.strSddl;

    ASSERT_TRUE(CreateDirectoryA(Path("old").c_str(), nullptr)) << "error " << GetLastError();
    std::string oldRights = AccessRightsOf(Path("old")).strSddl;
    CStringArray created;
    ASSERT_TRUE(CreateDirectoryPath(Path("old\\top\\sub").c_str(), created, protection.Attributes()))
        << "error " << GetLastError();
    ASSERT_EQ(2, created.GetSize());
    for (const std::string& dir : {Path("old\\top"), Path("old\\top\\sub")}) {
        CAccessRights rights = AccessRightsOf(dir);
        ASSERT_TRUE(rights.bRead) << dir << ": its descriptor cannot be read, error " << GetLastError();
        EXPECT_FALSE(rights.GrantsUsersWrite())
            << dir << " " << rights.strSddl << ": users may write (" << rights.userWrites[0] << ")";
    }
    CAccessRights top = AccessRightsOf(Path("old\\top"));
    EXPECT_FALSE(top.bEveryoneListed) << top.strSddl << ": the new directory did not get the descriptor";
    EXPECT_EQ(oldRights, AccessRightsOf(Path("old")).strSddl) << "an existing parent keeps its rights";
}

TEST_F(FileUtilTest, CreateDirectoryPathStopsAtAFileInTheWay)
{
    MakeFile(Path("a"));
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryPath(Path("a\\b\\c").c_str()));
    EXPECT_NE(0u, GetLastError()) << "the reason should be in the last-error value";
    EXPECT_TRUE(IsFile(Path("a"))) << "the file in the way must stay a file";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Path("a\\b").c_str()))
        << "nothing may be created below the failing level";
}

TEST_F(FileUtilTest, CreateDirectoryPathPassesOtherErrorsOn)
{
    std::string path = Path("bad<name");
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryPath(path.c_str()));
    EXPECT_NE(0u, GetLastError());
    EXPECT_NE(3u, GetLastError()) << "an invalid name is not a missing parent";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
}

TEST(PathPrefix, CountsSeparatorsFromZero)
{
    const char* pszPath = "C:\\a\\b\\c";
    EXPECT_STREQ("C:", GetPathPrefix(pszPath, 0));
    EXPECT_STREQ("C:\\a", GetPathPrefix(pszPath, 1));
    EXPECT_STREQ("C:\\a\\b", GetPathPrefix(pszPath, 2));
    EXPECT_STREQ(pszPath, GetPathPrefix(pszPath, 3)) << "all separators counted: the whole path";
    CString first = GetPathPrefix(pszPath, 1);
    CString second = GetPathPrefix(pszPath, 2);
    EXPECT_STREQ("C:\\a", first) << "a later call must not change an earlier result";
    EXPECT_STREQ("C:\\a\\b", second);
}

TEST(PathParts, NameTitleAndDirectory)
{
    EXPECT_STREQ("file.ext", GetFileNameFromPath("C:\\dir\\file.ext"));
    EXPECT_STREQ("dir\\", GetFileNameFromPath("C:\\dir\\")) << "a trailing backslash stays";
    EXPECT_STREQ("file", GetFileNameFromPath("file"));

    EXPECT_STREQ("file", GetFileTitleFromPath("C:\\dir\\file.ext"));
    EXPECT_STREQ("a.b", GetFileTitleFromPath("C:\\a.b.c"));
    EXPECT_STREQ(".profile", GetFileTitleFromPath("C:\\.profile"));
    EXPECT_STREQ("name.", GetFileTitleFromPath("C:\\name."));

    EXPECT_STREQ("C:\\dir", GetDirectoryFromPath("C:\\dir\\file"));
    EXPECT_STREQ("C:", GetDirectoryFromPath("C:\\file"));
    EXPECT_STREQ("", GetDirectoryFromPath("file"));
}

TEST(DestinationPath, AcceptedForms)
{
    EXPECT_TRUE(IsValidDestinationPath("C:"));
    EXPECT_TRUE(IsValidDestinationPath("c:\\x"));
    EXPECT_TRUE(IsValidDestinationPath("C:\\My Programs"));
    EXPECT_TRUE(IsValidDestinationPath("C:\\Dir_1\\Sub"));
    EXPECT_TRUE(IsValidDestinationPath("C:\\Program Files\\Tilewright"));
    std::string longest = "C:\\" + std::string(257, 'x');
    EXPECT_TRUE(IsValidDestinationPath(longest.c_str())) << "260 characters are allowed";
}

TEST(DestinationPath, RefusedForms)
{
    const char* const refused[] = {
        "",           "C",           "C:\\",        "C:\\My  Programs", "C:\\Dir.1",
        "1:\\x",      "C:\\a;b",     "C:\\a#b",     "C:\\a%b",          "C:/a",
        "C:x",        "CC\\x",       "C:\\a\\",     "C:\\a\\\\b",       "C:\\ a",
        "C:\\a\\ b",  "C:\\a-b",     "C:\\a(1)",    "C:\\caf\xe9",      "C:\\a\tb",
    };
    for (const char* psz : refused)
        EXPECT_FALSE(IsValidDestinationPath(psz)) << "\"" << psz << "\" must be refused";
    std::string tooLong = "C:\\" + std::string(258, 'x');
    EXPECT_FALSE(IsValidDestinationPath(tooLong.c_str())) << "261 characters are too many";
}

// Deployment tools write a destination with forward slashes, or with a
// trailing backslash; it is read in the form the destination page makes,
// and the page's rule then judges it.
TEST(DestinationPath, GivenFormsAreReadAsThePageWritesThem)
{
    EXPECT_STREQ("C:\\Tilewright", MakeDestinationPath("C:/Tilewright/"));
    EXPECT_STREQ("C:\\Tile\\wright", MakeDestinationPath(" C:\\Tile/wright\\ "));
    EXPECT_STREQ("C:", MakeDestinationPath("C:\\")) << "the root is the page's \"C:\"";
    EXPECT_STREQ("C:\\a\\", MakeDestinationPath("C:\\a\\\\")) << "only one trailing backslash is dropped";
    EXPECT_FALSE(IsValidDestinationPath(MakeDestinationPath("C:\\a\\\\")));
    EXPECT_STREQ("D:\\Tilewright", MakeDestinationPath('D', " \\Tilewright "));
}

TEST_F(FileUtilTest, TempNameTakesTheFirstFreeNumber)
{
    MakeFile(Path("Fil0.tmp"));
    MakeFile(Path("Fil1.tmp"));
    CString name = MakeTempFileName(m_dir.c_str(), "tmp");
    EXPECT_STREQ(Path("Fil2.tmp").c_str(), name);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(name))
        << "a name with an extension is only chosen, not created";
}

TEST_F(FileUtilTest, TempNameInAMissingDirectoryIsEmpty)
{
    EXPECT_STREQ("", MakeTempFileName(Path("missing").c_str(), "tmp"));
    EXPECT_STREQ("", MakeTempFileName(Path("missing").c_str(), ""));
}

TEST_F(FileUtilTest, TempNameWithoutExtensionIsCreatedByTheSystem)
{
    CString name = MakeTempFileName(m_dir.c_str(), "");
    std::string prefix = Path("Fil");
    ASSERT_EQ(0, strncmp(prefix.c_str(), name, prefix.size())) << "got \"" << name << "\"";
    EXPECT_TRUE(IsFile(static_cast<const char*>(name))) << "the system creates the file";
    CString other = MakeTempFileName(m_dir.c_str(), nullptr);
    EXPECT_NE(name, other) << "the created file makes the next name differ";
}

TEST(TempName, EmptyDirectoryMeansTheTemporaryDirectory)
{
    char szTemp[MAX_PATH];
    DWORD dwLength = GetTempPathA(MAX_PATH, szTemp);
    ASSERT_TRUE(dwLength > 0 && dwLength < MAX_PATH);
    std::string expected = std::string(szTemp) + "Fil";
    CString name = MakeTempFileName("", "setuptest");
    EXPECT_EQ(0, strncmp(expected.c_str(), name, expected.size()))
        << "got \"" << name << "\": one backslash between directory and name";
    EXPECT_STREQ(".setuptest", static_cast<const char*>(name) + name.GetLength() - 10);
}

TEST(TrimBlanks, OnlySpacesCount)
{
    EXPECT_STREQ("", TrimBlanks("   "));
    EXPECT_STREQ("", TrimBlanks(""));
    EXPECT_STREQ("a b", TrimBlanks(" a b "));
    EXPECT_STREQ("x", TrimBlanks("  x"));
    EXPECT_STREQ("x", TrimBlanks("x  "));
    EXPECT_STREQ("\ta\t", TrimBlanks("\ta\t")) << "tabs are not blanks here";
}

TEST(RangeOverlap, IntersectionOrNone)
{
    DWORD dwStart = 7, dwLength = 7;
    EXPECT_TRUE(GetRangeOverlap(dwStart, dwLength, 100, 150, 100));
    EXPECT_EQ(150u, dwStart);
    EXPECT_EQ(50u, dwLength);
    EXPECT_TRUE(GetRangeOverlap(dwStart, dwLength, 150, 100, 100));
    EXPECT_EQ(150u, dwStart);
    EXPECT_EQ(50u, dwLength);
    EXPECT_TRUE(GetRangeOverlap(dwStart, dwLength, 100, 100, 10));
    EXPECT_EQ(100u, dwStart);
    EXPECT_EQ(10u, dwLength);

    dwStart = dwLength = 7;
    EXPECT_FALSE(GetRangeOverlap(dwStart, dwLength, 100, 200, 100));
    EXPECT_FALSE(GetRangeOverlap(dwStart, dwLength, 200, 100, 100));
    EXPECT_FALSE(GetRangeOverlap(dwStart, dwLength, 100, 110, 10)) << "touching is not overlapping";
    EXPECT_EQ(7u, dwStart) << "no overlap leaves the outputs alone";
    EXPECT_EQ(7u, dwLength);
}

TEST(RangeOverlap, RangesEndingAt4GigabytesDoNotWrap)
{
    DWORD dwStart = 0, dwLength = 0;
    EXPECT_TRUE(GetRangeOverlap(dwStart, dwLength, 0xFFFFFF00u, 0xFFFFFF80u, 0x100))
        << "the first range ends at 4 GB, past the second one's start";
    EXPECT_EQ(0xFFFFFF80u, dwStart);
    EXPECT_EQ(0x80u, dwLength);
}

}
