// The destination page's space checks against the prefix's real drives:
// C: and Z: both report 4 GB and more, which reads as 0xFFFFFFFF bytes, so
// exact limits can be set from that figure; Q: has no root and cannot be read.
#include "engine/SetupMngr.h"
#include "platform/FileUtil.h"

#include <gtest/gtest.h>

namespace {

const BYTE DRIVE_C = 3;
const BYTE DRIVE_Q = 17;
const BYTE DRIVE_Z = 26;
const DWORD SATURATED = 0xFFFFFFFF;

class SpaceCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(GetDriveFreeSpace(DRIVE_C, m_dwFreeC));
        ASSERT_EQ(SATURATED, m_dwFreeC) << "the exact limits need 4 GB free on C:";
        m_engine.m_drives.Add(DRIVE_C);
        m_engine.m_drives.Add(DRIVE_Z);
        m_engine.m_nWinDrive = DRIVE_C;
        m_engine.m_dwAppBytes = 3000000;
        m_engine.m_dwSysBytes = 400000;
    }

    // Checks and tells the outcome with the code left behind.
    ::testing::AssertionResult Enough()
    {
        SetLastError(0);
        if (m_engine.EnoughSpace())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "not enough space, last error 0x" << std::hex << GetLastError();
    }

    CSetupMngr m_engine;
    DWORD m_dwFreeC = 0;
};

TEST_F(SpaceCheck, FreeSpaceCurReadsTheSelectedDrive)
{
    DWORD dwFree = 0;
    EXPECT_TRUE(m_engine.FreeSpaceCur(dwFree));
    EXPECT_EQ(m_dwFreeC, dwFree);
    m_engine.SetCurDrive(1);
    DWORD dwFreeZ = 0;
    ASSERT_TRUE(GetDriveFreeSpace(DRIVE_Z, dwFreeZ));
    EXPECT_TRUE(m_engine.FreeSpaceCur(dwFree));
    EXPECT_EQ(dwFreeZ, dwFree);
}

TEST_F(SpaceCheck, FreeSpaceCurRefusesAnUnreadableDriveAndABadIndex)
{
    DWORD dwFree = 1234;
    m_engine.m_drives.SetAt(0, DRIVE_Q);
    EXPECT_FALSE(m_engine.FreeSpaceCur(dwFree)) << "Q: has no root";
    EXPECT_EQ(1234u, dwFree) << "a failed query leaves the figure alone";
    m_engine.SetCurDrive(2);
    SetLastError(0);
    EXPECT_FALSE(m_engine.FreeSpaceCur(dwFree)) << "an index past the drive list";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DRIVE), GetLastError());
    m_engine.SetCurDrive(-1);
    EXPECT_FALSE(m_engine.FreeSpaceCur(dwFree));
    EXPECT_EQ(1234u, dwFree);
}

TEST_F(SpaceCheck, WindowsDriveNeedsReserveApplicationAndSystemBytes)
{
    m_engine.m_dwReserveBytes = SATURATED - m_engine.m_dwAppBytes - m_engine.m_dwSysBytes;
    m_engine.m_dwOtherBytes = SATURATED;
    EXPECT_TRUE(Enough()) << "free space exactly the sum passes; other bytes are not counted";
    m_engine.m_dwReserveBytes += 1;
    SetLastError(0);
    EXPECT_FALSE(m_engine.EnoughSpace()) << "one byte short";
    EXPECT_EQ(SETUP_W_DISK_SPACE, GetLastError());
}

TEST_F(SpaceCheck, OtherDriveNeedsReserveAndApplicationBytesThere)
{
    DWORD dwFreeZ = 0;
    ASSERT_TRUE(GetDriveFreeSpace(DRIVE_Z, dwFreeZ));
    ASSERT_EQ(SATURATED, dwFreeZ) << "the exact limits need 4 GB free on Z:";
    m_engine.SetCurDrive(1);
    m_engine.m_dwReserveBytes = SATURATED - m_engine.m_dwAppBytes;
    m_engine.m_dwSysBytes = SATURATED;
    m_engine.m_dwOtherBytes = SATURATED;
    EXPECT_TRUE(Enough()) << "reserve + application fit Z:, system bytes fit C:";
    m_engine.m_dwReserveBytes += 1;
    SetLastError(0);
    EXPECT_FALSE(m_engine.EnoughSpace()) << "one byte short on Z:";
    EXPECT_EQ(SETUP_W_DISK_SPACE, GetLastError());
}

TEST_F(SpaceCheck, OtherDriveAsksTheWindowsDriveForTheSystemBytes)
{
    m_engine.SetCurDrive(1);
    m_engine.m_nWinDrive = DRIVE_Q;
    SetLastError(0);
    EXPECT_FALSE(m_engine.EnoughSpace()) << "the Windows drive cannot be read";
    EXPECT_NE(SETUP_W_DISK_SPACE, GetLastError()) << "a failed query is no shortage";
}

TEST_F(SpaceCheck, AnUnreadableDestinationIsNoShortage)
{
    m_engine.m_drives.SetAt(0, DRIVE_Q);
    SetLastError(0);
    EXPECT_FALSE(m_engine.EnoughSpace());
    EXPECT_NE(SETUP_W_DISK_SPACE, GetLastError());
}

// In 32 bits these counts add up to 1 byte, which any drive has.
TEST_F(SpaceCheck, RequirementsBeyondFourGigabytesDoNotWrapRound)
{
    m_engine.m_dwReserveBytes = SATURATED;
    m_engine.m_dwAppBytes = 2;
    m_engine.m_dwSysBytes = 0;
    SetLastError(0);
    EXPECT_FALSE(m_engine.EnoughSpace()) << "a requirement over 4 GB must not pass";
    EXPECT_EQ(SETUP_W_DISK_SPACE, GetLastError());
    m_engine.SetCurDrive(1);
    SetLastError(0);
    EXPECT_FALSE(m_engine.EnoughSpace()) << "on another drive as well";
    EXPECT_EQ(SETUP_W_DISK_SPACE, GetLastError());
}

} // namespace
