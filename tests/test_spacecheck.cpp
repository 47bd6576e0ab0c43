// The destination page's space checks. The prefix's drives C: and Z: lie
// on the real disk, with tens of gigabytes free: the figures read from it
// must pass 4 GB, and a product of more than 4 GB fits there. The exact
// limits are checked on given figures, as no drive here is short of what
// the 32-bit counts of the install information can ask; Q: has no root and
// cannot be read.
#include "engine/SetupMngr.h"
#include "platform/FileUtil.h"

#include <gtest/gtest.h>

namespace {

const BYTE DRIVE_C = 3;
const BYTE DRIVE_Q = 17;
const BYTE DRIVE_Z = 26;
const DWORD LARGEST_COUNT = 0xFFFFFFFF;
const ULONGLONG FOUR_GIGABYTES = 0x100000000ull;
// Other programs write to the disk meanwhile: two readings of its free
// space are taken for the same when they differ by less than this.
const ULONGLONG READING_TOLERANCE = 1ull << 30;

class SpaceCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
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

    static ::testing::AssertionResult SameReading(ULONGLONG a, ULONGLONG b)
    {
        ULONGLONG ullDifference = a > b ? a - b : b - a;
        if (ullDifference < READING_TOLERANCE)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << a << " and " << b << " bytes free differ by " << ullDifference;
    }

    CSetupMngr m_engine;
};

TEST_F(SpaceCheck, FreeSpaceCurReadsTheSelectedDriveWhole)
{
    ULONGLONG ullFreeC = 0;
    ASSERT_TRUE(GetDriveFreeSpace(DRIVE_C, ullFreeC)) << "error " << GetLastError();
    ULARGE_INTEGER available = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, nullptr, nullptr)) << "error " << GetLastError();
    ASSERT_GT(available.QuadPart, FOUR_GIGABYTES) << "C: has less than 4 GB free; this case needs more";
    EXPECT_TRUE(SameReading(available.QuadPart, ullFreeC)) << "the free space past 4 GB is read whole";

    ULONGLONG ullFree = 0;
    EXPECT_TRUE(m_engine.FreeSpaceCur(ullFree));
    EXPECT_TRUE(SameReading(ullFreeC, ullFree));
    m_engine.SetCurDrive(1);
    ULONGLONG ullFreeZ = 0;
    ASSERT_TRUE(GetDriveFreeSpace(DRIVE_Z, ullFreeZ));
    EXPECT_TRUE(m_engine.FreeSpaceCur(ullFree));
    EXPECT_TRUE(SameReading(ullFreeZ, ullFree));
}

TEST_F(SpaceCheck, FreeSpaceCurRefusesAnUnreadableDriveAndABadIndex)
{
    ULONGLONG ullFree = 1234;
    m_engine.m_drives.SetAt(0, DRIVE_Q);
    EXPECT_FALSE(m_engine.FreeSpaceCur(ullFree)) << "Q: has no root";
    EXPECT_EQ(1234u, ullFree) << "a failed query leaves the figure alone";
    m_engine.SetCurDrive(2);
    SetLastError(0);
    EXPECT_FALSE(m_engine.FreeSpaceCur(ullFree)) << "an index past the drive list";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DRIVE), GetLastError());
    m_engine.SetCurDrive(-1);
    EXPECT_FALSE(m_engine.FreeSpaceCur(ullFree));
    EXPECT_EQ(1234u, ullFree);
}

// The three largest counts need nearly 12 GB on the Windows drive.
TEST_F(SpaceCheck, WindowsDriveNeedsReserveApplicationAndSystemBytes)
{
    m_engine.m_dwReserveBytes = m_engine.m_dwAppBytes = m_engine.m_dwSysBytes = LARGEST_COUNT;
    m_engine.m_dwOtherBytes = LARGEST_COUNT;
    const ULONGLONG ullNeed = 3ull * LARGEST_COUNT;
    EXPECT_TRUE(m_engine.SpaceSuffices(ullNeed, 0)) << "free space exactly the sum passes; other bytes are not counted";
    EXPECT_FALSE(m_engine.SpaceSuffices(ullNeed - 1, ullNeed)) << "one byte short; the same drive is not asked twice";
    EXPECT_FALSE(m_engine.SpaceSuffices(ullNeed - FOUR_GIGABYTES, 0)) << "short by the amount a 32-bit sum drops";
}

TEST_F(SpaceCheck, OtherDriveNeedsReserveAndApplicationBytesThere)
{
    m_engine.SetCurDrive(1);
    m_engine.m_dwReserveBytes = m_engine.m_dwAppBytes = m_engine.m_dwSysBytes = LARGEST_COUNT;
    const ULONGLONG ullNeed = 2ull * LARGEST_COUNT;
    EXPECT_TRUE(m_engine.SpaceSuffices(ullNeed, LARGEST_COUNT)) << "reserve + application on Z:, system bytes on C:";
    EXPECT_FALSE(m_engine.SpaceSuffices(ullNeed - 1, LARGEST_COUNT)) << "one byte short on Z:";
    EXPECT_FALSE(m_engine.SpaceSuffices(ullNeed, LARGEST_COUNT - 1)) << "one byte short on C:";
}

// In 32 bits these counts add up to 1 byte, which any drive has.
TEST_F(SpaceCheck, RequirementsBeyondFourGigabytesDoNotWrapRound)
{
    m_engine.m_dwReserveBytes = LARGEST_COUNT;
    m_engine.m_dwAppBytes = 2;
    m_engine.m_dwSysBytes = 0;
    EXPECT_FALSE(m_engine.SpaceSuffices(1, 1)) << "a requirement over 4 GB must not pass";
    m_engine.SetCurDrive(1);
    EXPECT_FALSE(m_engine.SpaceSuffices(1, 1)) << "on another drive as well";
}

TEST_F(SpaceCheck, AProductOfMoreThanFourGigabytesInstallsOnADiskWithRoom)
{
    m_engine.m_dwReserveBytes = m_engine.m_dwAppBytes = LARGEST_COUNT;
    ULONGLONG ullFree = 0;
    ASSERT_TRUE(m_engine.FreeSpaceCur(ullFree));
    ASSERT_GT(ullFree, m_engine.DestinationBytesNeeded() + m_engine.m_dwSysBytes + READING_TOLERANCE)
        << "C: needs more than 9 GB free for this case";
    EXPECT_TRUE(Enough()) << "8 GB fit on C:";
    m_engine.SetCurDrive(1);
    EXPECT_TRUE(Enough()) << "and on Z:, with the system bytes on C:";
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

} // namespace
