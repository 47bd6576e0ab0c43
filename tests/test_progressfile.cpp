// Block copies with progress reports between real files.
#include "platform/ProgressFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// What the progress function saw, and on which call it answers 0
// (counted from 1; 0 = never).
std::vector<DWORD> g_progressCalls;
size_t g_nStopAtCall = 0;

int RecordProgress(DWORD dwBytes)
{
    g_progressCalls.push_back(dwBytes);
    return g_progressCalls.size() == g_nStopAtCall ? 0 : 1;
}

std::vector<BYTE> Pattern(size_t nBytes, BYTE bSeed)
{
    std::vector<BYTE> bytes(nBytes);
    for (size_t i = 0; i < nBytes; ++i)
        bytes[i] = static_cast<BYTE>((i + bSeed) % 251);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes)
{
    CFile f;
    f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    f.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    f.Close();
}

std::vector<BYTE> ReadBytes(const std::string& path)
{
    CFile f;
    f.Open(path.c_str(), CFile::modeRead);
    std::vector<BYTE> bytes(f.GetLength());
    if (!bytes.empty())
        f.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// A source and a destination file in the temporary directory, removed
// afterwards; the destination starts empty.
class ProgressFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        DWORD dwLength = GetTempPathA(MAX_PATH, szTemp);
        ASSERT_TRUE(dwLength > 0 && dwLength < MAX_PATH) << "no temporary directory";
        std::string prefix = std::string(szTemp) + "progress-" + std::to_string(GetCurrentProcessId());
        m_srcPath = prefix + "-src.bin";
        m_dstPath = prefix + "-dst.bin";
        WriteBytes(m_dstPath, {});
        g_progressCalls.clear();
        g_nStopAtCall = 0;
    }

    void TearDown() override
    {
        m_src.Abort();
        m_dst.Abort();
        EXPECT_TRUE(DeleteFileA(m_srcPath.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND);
        EXPECT_TRUE(DeleteFileA(m_dstPath.c_str())) << m_dstPath << " was not removed";
    }

    // Writes the source and opens both files; the destination for writing
    // without emptying it.
    void Open(const std::vector<BYTE>& source)
    {
        WriteBytes(m_srcPath, source);
        m_src.Open(m_srcPath.c_str(), CFile::modeRead);
        m_dst.Open(m_dstPath.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        m_dst.m_pfnProgress = RecordProgress;
    }

    std::vector<BYTE> Destination()
    {
        m_dst.Close();
        return ReadBytes(m_dstPath);
    }

    std::string m_srcPath;
    std::string m_dstPath;
    CFile m_src;
    CProgressFile m_dst;
};

TEST(ProgressFile, StartsWithoutProgressFunction)
{
    CProgressFile file;
    EXPECT_EQ(nullptr, file.m_pfnProgress);
    EXPECT_EQ(10000u, CProgressFile::COPY_BLOCK_SIZE);
}

TEST_F(ProgressFileTest, ThreePassesForTwentyFiveThousandBytes)
{
    std::vector<BYTE> source = Pattern(25000, 1);
    Open(source);
    EXPECT_TRUE(m_dst.CopyBlock(0, 25000, m_src, 0));
    EXPECT_EQ((std::vector<DWORD>{10000, 10000, 5000}), g_progressCalls)
        << "one report per block of at most 10000 bytes";
    EXPECT_EQ(source, Destination());
}

TEST_F(ProgressFileTest, StopInTheSecondPassKeepsWhatWasWritten)
{
    std::vector<BYTE> source = Pattern(25000, 2);
    Open(source);
    g_nStopAtCall = 2;
    EXPECT_FALSE(m_dst.CopyBlock(0, 25000, m_src, 0));
    EXPECT_EQ((std::vector<DWORD>{10000, 10000}), g_progressCalls) << "no pass after the stop";
    std::vector<BYTE> written = Destination();
    ASSERT_EQ(20000u, written.size()) << "the two blocks written before the stop stay";
    EXPECT_TRUE(std::equal(written.begin(), written.end(), source.begin()));
}

TEST_F(ProgressFileTest, ZeroCountMakesNoPass)
{
    Open(Pattern(500, 3));
    EXPECT_TRUE(m_dst.CopyBlock(0, 0, m_src, 0));
    EXPECT_TRUE(g_progressCalls.empty());
    EXPECT_TRUE(Destination().empty());
}

TEST_F(ProgressFileTest, PassesBeyondAShortSourceMoveNothing)
{
    std::vector<BYTE> source = Pattern(15000, 4);
    Open(source);
    EXPECT_TRUE(m_dst.CopyBlock(0, 25000, m_src, 0));
    EXPECT_EQ((std::vector<DWORD>{10000, 5000, 0}), g_progressCalls)
        << "the pass after the source's end still reports, with 0";
    EXPECT_EQ(source, Destination());
}

TEST_F(ProgressFileTest, OffsetsInBothFiles)
{
    WriteBytes(m_dstPath, std::vector<BYTE>(200, 0xEE));
    std::vector<BYTE> source = Pattern(10000, 5);
    Open(source);
    EXPECT_TRUE(m_dst.CopyBlock(100, 3000, m_src, 5000));
    EXPECT_EQ((std::vector<DWORD>{3000}), g_progressCalls);
    std::vector<BYTE> written = Destination();
    ASSERT_EQ(3100u, written.size());
    EXPECT_EQ(std::vector<BYTE>(100, 0xEE), std::vector<BYTE>(written.begin(), written.begin() + 100))
        << "bytes before the destination offset stay";
    EXPECT_TRUE(std::equal(written.begin() + 100, written.end(), source.begin() + 5000));
}

TEST_F(ProgressFileTest, SourceOffsetPastTheEndCopiesNothing)
{
    Open(Pattern(1000, 6));
    EXPECT_TRUE(m_dst.CopyBlock(0, 100, m_src, 5000));
    EXPECT_EQ((std::vector<DWORD>{0}), g_progressCalls);
    EXPECT_TRUE(Destination().empty());
}

TEST_F(ProgressFileTest, CountNearFourGigabytesStillMakesPasses)
{
    // Rounding up by adding 9999 first would wrap to no pass at all.
    std::vector<BYTE> source = Pattern(15000, 7);
    Open(source);
    g_nStopAtCall = 3;
    EXPECT_FALSE(m_dst.CopyBlock(0, 0xFFFFFFFFu, m_src, 0));
    EXPECT_EQ((std::vector<DWORD>{10000, 5000, 0}), g_progressCalls);
    EXPECT_EQ(source, Destination());
}

TEST_F(ProgressFileTest, CopiesWithoutProgressFunction)
{
    std::vector<BYTE> source = Pattern(12345, 8);
    Open(source);
    m_dst.m_pfnProgress = nullptr;
    EXPECT_TRUE(m_dst.CopyBlock(0, 12345, m_src, 0));
    EXPECT_EQ(source, Destination());
}

TEST_F(ProgressFileTest, CopyFromGivesTheSourceLength)
{
    WriteBytes(m_dstPath, std::vector<BYTE>(30000, 0xEE));
    std::vector<BYTE> source = Pattern(25000, 9);
    Open(source);
    EXPECT_TRUE(m_dst.CopyFrom(m_src));
    EXPECT_EQ((std::vector<DWORD>{10000, 10000, 5000}), g_progressCalls);
    EXPECT_EQ(source, Destination()) << "a longer destination is cut to the source's length";
}

TEST_F(ProgressFileTest, CopyFromReportsAStop)
{
    std::vector<BYTE> source = Pattern(25000, 10);
    Open(source);
    g_nStopAtCall = 1;
    EXPECT_FALSE(m_dst.CopyFrom(m_src));
    EXPECT_EQ(1u, g_progressCalls.size());
}

TEST_F(ProgressFileTest, ReadErrorsReachTheCaller)
{
    WriteBytes(m_srcPath, Pattern(100, 11));
    CFile writeOnly;
    writeOnly.Open(m_srcPath.c_str(), CFile::modeWrite | CFile::modeNoTruncate | CFile::modeCreate);
    m_dst.Open(m_dstPath.c_str(), CFile::modeWrite);
    try {
        m_dst.CopyBlock(0, 100, writeOnly, 0);
        ADD_FAILURE() << "reading a source opened for writing only must throw";
    } catch (const CFileException& e) {
        EXPECT_NE(static_cast<int>(CFileException::none), e.m_cause);
        EXPECT_STREQ(m_srcPath.c_str(), e.m_strFileName) << "the exception names the failing file";
    }
}

TEST_F(ProgressFileTest, WriteErrorsReachTheCaller)
{
    WriteBytes(m_srcPath, Pattern(100, 12));
    m_src.Open(m_srcPath.c_str(), CFile::modeRead);
    CProgressFile readOnly;
    readOnly.Open(m_dstPath.c_str(), CFile::modeRead);
    try {
        readOnly.CopyBlock(0, 100, m_src, 0);
        ADD_FAILURE() << "writing a destination opened for reading only must throw";
    } catch (const CFileException& e) {
        EXPECT_STREQ(m_dstPath.c_str(), e.m_strFileName) << "the exception names the failing file";
    }
}

}
