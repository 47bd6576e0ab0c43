// The sample-project fix-up on real files: the overlap-safe move, the
// replacement through a temporary file and the after-install hook over both
// sample forms.
#include "TestMedium.h"

#include "framework/CHandle.h"
#include "model/InstallMngr.h"
#include "model/SampleFixup.h"
#include "model/TrackedAlloc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char JOUST_FIND[] = "C:\\PROJEKTE\\Language\\English\\Joust.tlr";
const char ORBIT_FIND[] = "C:\\PROJEKTE\\Language\\English\\Orbit.tlr";

std::vector<BYTE> Pattern(size_t nLength)
{
    std::vector<BYTE> bytes(nLength);
    for (size_t i = 0; i < nLength; ++i)
        bytes[i] = static_cast<BYTE>(i * 7 + i / 251);
    return bytes;
}

// Each move is compared with memmove over the same buffer.
void CheckMove(size_t nBuffer, size_t nDest, size_t nSrc, size_t nCount)
{
    std::vector<BYTE> moved = Pattern(nBuffer);
    std::vector<BYTE> expected = moved;
    memmove(expected.data() + nDest, expected.data() + nSrc, nCount);
    MoveBytes(moved.data() + nDest, moved.data() + nSrc, static_cast<DWORD>(nCount));
    EXPECT_TRUE(moved == expected) << "move of " << nCount << " bytes from " << nSrc << " to " << nDest;
}

TEST(MoveBytes, OverlappingAndSeparateAreasComeOutAsAnOverlapSafeMove)
{
    CheckMove(100, 10, 0, 50);
    CheckMove(100, 0, 10, 50);
    CheckMove(100, 60, 0, 40);
    CheckMove(100, 0, 60, 40);
    CheckMove(100, 5, 5, 50);
    CheckMove(100, 3, 7, 0);
    CheckMove(20000, 1, 0, 19000);
    CheckMove(20000, 0, 1, 19000);
    CheckMove(20000, 4999, 0, 15000);
    CheckMove(20000, 0, 5001, 14999);
    CheckMove(20000, 10000, 0, 10000);
    CheckMove(30000, 0, 12000, 12001);
}

class Fixup : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        GetTempPathA(MAX_PATH, szTemp);
        m_dir = std::string(szTemp) + "fixup_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_nBlocks = TrackedBlockCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(m_nBlocks, TrackedBlockCount()) << "the work buffer must be released";
        for (const std::string& path : m_made)
            DeleteFileA(path.c_str());
        for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it)
            RemoveDirectoryA(it->c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    std::string MakeFile(const std::string& relative, const std::string& content)
    {
        std::string path = m_dir + "\\" + relative;
        WriteBytes(path, std::vector<BYTE>(content.begin(), content.end()));
        m_made.push_back(path);
        return path;
    }
    void MakeDir(const std::string& relative)
    {
        std::string path = m_dir + "\\" + relative;
        CreateDirectoryA(path.c_str(), nullptr);
        m_dirs.push_back(path);
    }
    static std::string Content(const std::string& path)
    {
        std::vector<BYTE> bytes = ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
    // The replacement of the first occurrence, as the file should end up.
    static std::string Replaced(std::string text, const std::string& find, const std::string& replace)
    {
        size_t nAt = text.find(find);
        return nAt == std::string::npos ? text : text.replace(nAt, find.size(), replace);
    }

    std::string m_dir;
    std::vector<std::string> m_made;
    std::vector<std::string> m_dirs;
    int m_nBlocks = 0;
};

TEST_F(Fixup, OnlyTheFirstOccurrenceIsReplaced)
{
    std::string text = std::string("Object = \"") + JOUST_FIND + "\"\r\nAgain = \"" + JOUST_FIND + "\"\r\n";
    std::string path = MakeFile("twice.frm", text);
    EXPECT_TRUE(ReplaceInFile(path.c_str(), JOUST_FIND, "D:\\T\\Joust.tlr"));
    EXPECT_EQ(Replaced(text, JOUST_FIND, "D:\\T\\Joust.tlr"), Content(path));
}

TEST_F(Fixup, TheFileGrowsOrShrinksWithNoStaleBytesLeft)
{
    std::string text = std::string("Begin Form\r\nRes = \"") + JOUST_FIND + "\"\r\nEnd\r\n";
    std::string longer = "C:\\Program Files\\A rather long destination\\Tilewright\\VB\\Joust\\Joust.tlr";
    std::string path = MakeFile("grow.frm", text);
    EXPECT_TRUE(ReplaceInFile(path.c_str(), JOUST_FIND, longer.c_str()));
    EXPECT_EQ(Replaced(text, JOUST_FIND, longer), Content(path)) << "growing";

    path = MakeFile("shrink.frm", text);
    EXPECT_TRUE(ReplaceInFile(path.c_str(), JOUST_FIND, "D:\\J.tlr"));
    EXPECT_EQ(Replaced(text, JOUST_FIND, "D:\\J.tlr"), Content(path)) << "shrinking leaves nothing behind";
}

TEST_F(Fixup, TextAtTheVeryEndIsReplacedAndAnIncompleteOneIsNot)
{
    std::string text = std::string("Res = ") + JOUST_FIND;
    std::string path = MakeFile("end.frm", text);
    EXPECT_TRUE(ReplaceInFile(path.c_str(), JOUST_FIND, "E:\\Joust.tlr"));
    EXPECT_EQ("Res = E:\\Joust.tlr", Content(path));

    std::string cut = std::string("Res = ") + std::string(JOUST_FIND, strlen(JOUST_FIND) - 1);
    path = MakeFile("cut.frm", cut);
    EXPECT_TRUE(ReplaceInFile(path.c_str(), JOUST_FIND, "E:\\Joust.tlr")) << "opened and read, nothing found";
    EXPECT_EQ(cut, Content(path)) << "S-1 bytes at the end are no match";
}

TEST_F(Fixup, ATailLongerThanTheMoveBufferComesOutWhole)
{
    std::string tail;
    for (int i = 0; tail.size() < 12000; ++i)
        tail += "Line " + std::to_string(i) + " of the form's tail\r\n";
    std::string text = std::string("Res = \"") + ORBIT_FIND + "\"\r\n" + tail;
    for (const std::string& replace : {std::string("F:\\x.tlr"), std::string(200, 'L') + "\\Orbit.tlr"}) {
        std::string path = MakeFile("tail" + std::to_string(replace.size()) + ".frm", text);
        EXPECT_TRUE(ReplaceInFile(path.c_str(), ORBIT_FIND, replace.c_str()));
        EXPECT_EQ(Replaced(text, ORBIT_FIND, replace), Content(path)) << "replacement of " << replace.size();
    }
}

TEST_F(Fixup, MissingFileIsRefusedAndAFileWithoutTheTextIsLeftAlone)
{
    EXPECT_FALSE(ReplaceInFile((m_dir + "\\absent.frm").c_str(), JOUST_FIND, "X"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_dir + "\\absent.frm").c_str())) << "nothing is created";
    std::string path = MakeFile("plain.frm", "Begin Form\r\nEnd\r\n");
    EXPECT_TRUE(ReplaceInFile(path.c_str(), JOUST_FIND, "X"));
    EXPECT_EQ("Begin Form\r\nEnd\r\n", Content(path));
}

// A mapped view of the form keeps it from being replaced: the failure must
// not escape as an exception, and the form stays as it was.
TEST_F(Fixup, AWriteErrorOnAnOpenedFormIsCaught)
{
    std::string text = std::string("Res = \"") + JOUST_FIND + "\"\r\n";
    std::string path = MakeFile("mapped.frm", text);
    {
        CFileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_FALSE(file.IsEmpty()) << "error " << GetLastError();
        CKernelHandle mapping(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
        ASSERT_FALSE(mapping.IsEmpty()) << "error " << GetLastError();
        const void* pView = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        ASSERT_NE(nullptr, pView) << "error " << GetLastError();
        BOOL bResult = TRUE;
        EXPECT_NO_THROW(bResult = ReplaceInFile(path.c_str(), JOUST_FIND, "X")) << "no exception may escape";
        EXPECT_FALSE(bResult) << "a failed rewrite is reported";
        UnmapViewOfFile(pView);
    }
    EXPECT_EQ(text, Content(path)) << "the form is left as it was";
}

// Writes to the file until the drive holds no more; false if nothing could
// be written at all.
bool FillDrive(const std::string& path)
{
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    std::vector<BYTE> block(65536, 'f');
    bool bWrote = false;
    for (DWORD dwChunk = 65536; dwChunk > 0; dwChunk /= 2) {
        DWORD dwWritten = 0;
        while (WriteFile(hFile, block.data(), dwChunk, &dwWritten, nullptr) && dwWritten == dwChunk)
            bWrote = true;
    }
    CloseHandle(hFile);
    return bWrote;
}

// A full drive (a small tmpfs that with-small-disk.sh links as the drive
// named in SAMPLEFIXUP_FULL_DRIVE): a form that grows cannot be written,
// and keeps its installed bytes, with no temporary file left.
TEST_F(Fixup, AFullDriveLeavesTheFormWithItsInstalledBytes)
{
    const char* pszDrive = std::getenv("SAMPLEFIXUP_FULL_DRIVE");
    if (!pszDrive || !*pszDrive)
        GTEST_SKIP() << "no small drive: run through with-small-disk.sh (as root, it mounts a 2 MB tmpfs)";
    std::string dir = std::string(1, pszDrive[0]) + ":\\Forms";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir << ": error " << GetLastError();
    std::string text = std::string("Res = \"") + JOUST_FIND + "\"\r\n" + std::string(200000, 'x');
    std::string form = dir + "\\Form1.frm";
    WriteBytes(form, std::vector<BYTE>(text.begin(), text.end()));
    ASSERT_TRUE(FillDrive(dir + "\\filler.bin")) << "the drive should have had room left";

    std::string longer = std::string(8000, 'L') + "\\Joust.tlr";
    EXPECT_FALSE(ReplaceInFile(form.c_str(), JOUST_FIND, longer.c_str())) << "the grown form does not fit";
    EXPECT_TRUE(Content(form) == text) << "the form must keep its installed bytes, not be cut or half written";
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((dir + "\\*").c_str(), &fd);
    for (BOOL b = hFind != INVALID_HANDLE_VALUE; b; b = FindNextFileA(hFind, &fd))
        if (fd.cFileName[0] != '.')
            names.push_back(fd.cFileName);
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"Form1.frm", "filler.bin"}), names) << "no temporary file may stay";
    DeleteFileA((dir + "\\filler.bin").c_str());
    DeleteFileA(form.c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST_F(Fixup, BothSampleFormsPointAtTheInstalledResourceFiles)
{
    for (const char* pszDir : {"VB", "VB\\Joust", "VB\\Orbit"})
        MakeDir(pszDir);
    std::string joust = std::string("VERSION 5.00\r\nObject = \"") + JOUST_FIND + "\"\r\nBegin VB.Form Form1\r\n";
    std::string orbit = std::string("VERSION 5.00\r\nObject = \"") + ORBIT_FIND + "\"\r\nBegin VB.Form Form1\r\n";
    std::string joustPath = MakeFile("VB\\Joust\\Form1.frm", joust);
    std::string orbitPath = MakeFile("VB\\Orbit\\Form1.frm", orbit);
    CInstallMngr info;
    EXPECT_EQ(&FixSampleProjects, info.m_pfnAfterInstall) << "the fix-up is the default after-install hook";
    info.m_strDestDir = m_dir.c_str();
    info.RunPostInstall();
    EXPECT_EQ(Replaced(joust, JOUST_FIND, m_dir + "\\VB\\Joust\\Joust.tlr"), Content(joustPath));
    EXPECT_EQ(Replaced(orbit, ORBIT_FIND, m_dir + "\\VB\\Orbit\\Orbit.tlr"), Content(orbitPath));
}

TEST_F(Fixup, AMissingJoustFormStillLetsTheOrbitFormBeFixed)
{
    for (const char* pszDir : {"VB", "VB\\Orbit"})
        MakeDir(pszDir);
    std::string orbit = std::string("Object = \"") + ORBIT_FIND + "\"\r\n";
    std::string orbitPath = MakeFile("VB\\Orbit\\Form1.frm", orbit);
    CInstallMngr info;
    info.m_strDestDir = m_dir.c_str();
    FixSampleProjects(&info);
    EXPECT_EQ(Replaced(orbit, ORBIT_FIND, m_dir + "\\VB\\Orbit\\Orbit.tlr"), Content(orbitPath));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((m_dir + "\\VB\\Joust").c_str()))
        << "nothing is made for the missing sample";
}

} // namespace
