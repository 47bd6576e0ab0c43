// Version strings and the installed-version check on real PE files with
// version resources (the payload programs), copied into a directory of
// this test's own.
#include "framework/CHandle.h"
#include "platform/VersionInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The payload folder of this build: tests\..\tools\payload.
std::string PayloadPath(const char* pszName)
{
    char szExe[MAX_PATH];
    DWORD dwLength = GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    if (dwLength == 0 || dwLength >= MAX_PATH)
        return std::string();
    std::string path(szExe);
    path.resize(path.rfind('\\'));
    path.resize(path.rfind('\\'));
    return path + "\\tools\\payload\\" + pszName;
}

VS_FIXEDFILEINFO ProductVersion(WORD a, WORD b, WORD c, WORD d)
{
    VS_FIXEDFILEINFO info = {};
    info.dwSignature = VS_FFI_SIGNATURE;
    info.dwProductVersionMS = MAKELONG(b, a);
    info.dwProductVersionLS = MAKELONG(d, c);
    // File versions far from any product version: they must not count.
    info.dwFileVersionMS = MAKELONG(0, 1);
    info.dwFileVersionLS = 0;
    return info;
}

// Runs payload_holdfile on a file: while it runs, another process holds
// the file open with no sharing.
class CFileHolder {
public:
    CFileHolder(const CFileHolder&) = delete;
    CFileHolder& operator=(const CFileHolder&) = delete;
    CFileHolder() = default;
    ~CFileHolder() { Release(); }

    // True once the holder has the file open; bShareRead lets others go on
    // reading it, as a loaded library does.
    bool Start(const std::string& file, bool bShareRead)
    {
        std::string base = "SetupTestHolder" + std::to_string(GetCurrentProcessId());
        std::string readyName = base + "Ready";
        std::string releaseName = base + "Release";
        m_ready.Attach(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        m_release.Attach(CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
        if (m_ready.IsEmpty() || m_release.IsEmpty())
            return false;
        std::string commandLine = "\"" + PayloadPath("payload_holdfile.exe") + "\" " +
                                  (bShareRead ? "-shareread " : "") + "\"" + file + "\" " +
                                  readyName + " " + releaseName + " 30000";
        std::vector<char> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back('\0');
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                            nullptr, nullptr, &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        m_process.Attach(pi.hProcess);
        // Ready, or the holder ended without opening the file.
        HANDLE handles[] = {m_ready, m_process};
        return WaitForMultipleObjects(2, handles, FALSE, 20000) == WAIT_OBJECT_0;
    }

    // Lets the holder close the file and end; true when it ended normally.
    bool Release()
    {
        if (m_process.IsEmpty())
            return false;
        SetEvent(m_release);
        bool bEnded = WaitForSingleObject(m_process, 20000) == WAIT_OBJECT_0;
        if (!bEnded)
            TerminateProcess(m_process, 1);
        DWORD dwExit = 1;
        bool bReleased = bEnded && GetExitCodeProcess(m_process, &dwExit) && dwExit == 0;
        m_process.Close();
        return bReleased;
    }

private:
    CKernelHandle m_ready;
    CKernelHandle m_release;
    CKernelHandle m_process;
};

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char szTemp[MAX_PATH];
        DWORD dwLength = GetTempPathA(MAX_PATH, szTemp);
        ASSERT_TRUE(dwLength > 0 && dwLength < MAX_PATH) << "no temporary directory";
        m_dir = std::string(szTemp) + "versioninfo-test-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            << "cannot create " << m_dir;
    }

    void TearDown() override
    {
        for (const std::string& file : m_files)
            EXPECT_TRUE(DeleteFileA(file.c_str())) << file << " was not removed";
        EXPECT_TRUE(RemoveDirectoryA(m_dir.c_str())) << m_dir << " was not removed";
    }

    // Copies a payload into the test directory under the given name.
    std::string Install(const char* pszPayload, const char* pszName)
    {
        std::string target = m_dir + "\\" + pszName;
        std::string source = PayloadPath(pszPayload);
        if (!CopyFileA(source.c_str(), target.c_str(), TRUE)) {
            ADD_FAILURE() << "cannot copy " << source << " to " << target << ", error "
                          << GetLastError();
            return target;
        }
        m_files.push_back(target);
        return target;
    }

    DWORD Check(const std::string& target, const VS_FIXEDFILEINFO& newVersion, BOOL bShared = FALSE)
    {
        DWORD dwResult = 0xDEAD;
        EXPECT_TRUE(CheckInstalledVersion(target.c_str(), newVersion, bShared, dwResult))
            << "the target " << target << " should be examined";
        return dwResult;
    }

    std::string m_dir;
    std::vector<std::string> m_files;
};

TEST_F(VersionInfoTest, MissingTargetGivesNoBits)
{
    DWORD dwResult = 0xDEAD;
    EXPECT_TRUE(CheckInstalledVersion((m_dir + "\\absent.dll").c_str(), ProductVersion(1, 0, 0, 0),
                                      FALSE, dwResult));
    EXPECT_EQ(0u, dwResult);
}

TEST_F(VersionInfoTest, MissingDirectoryCannotBeExamined)
{
    DWORD dwResult = 0xDEAD;
    EXPECT_FALSE(CheckInstalledVersion((m_dir + "\\nodir\\absent.dll").c_str(),
                                       ProductVersion(1, 0, 0, 0), FALSE, dwResult));
    EXPECT_EQ(0u, dwResult);
}

TEST_F(VersionInfoTest, EqualProductVersionIsNotOlder)
{
    std::string target = Install("payload_ver_1_0_0_2.dll", "equal.dll");
    EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_NOT_OLDER, Check(target, ProductVersion(1, 0, 0, 2)))
        << "equal product versions keep the file, whatever the file versions say";
}

TEST_F(VersionInfoTest, OlderProductVersionIsReplaced)
{
    std::string target = Install("payload_ver_1_0_0_1.dll", "older.dll");
    EXPECT_EQ(VERCHECK_EXISTS, Check(target, ProductVersion(1, 0, 0, 2)))
        << "1.0.0.1 installed is older than 1.0.0.2 (its file version 7.0.0.0 does not count)";
}

TEST_F(VersionInfoTest, MostSignificantHalfDecidesFirst)
{
    std::string newer = Install("payload_ver_2_0_0_0.dll", "newer.dll");
    std::string older = Install("payload_ver_1_9_9_9.dll", "lower.dll");
    EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_NOT_OLDER, Check(newer, ProductVersion(1, 9, 9, 9)))
        << "2.0.0.0 installed is newer than 1.9.9.9";
    EXPECT_EQ(VERCHECK_EXISTS, Check(older, ProductVersion(2, 0, 0, 0)))
        << "1.9.9.9 installed is older than 2.0.0.0 despite its larger low half";
    EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_NOT_OLDER, Check(older, VS_FIXEDFILEINFO{}))
        << "a new file without version never replaces one with a version";
}

TEST_F(VersionInfoTest, TargetWithoutVersionIsNeverNotOlder)
{
    std::string target = Install("payload_noversion.dll", "plain.dll");
    EXPECT_EQ(VERCHECK_EXISTS, Check(target, VS_FIXEDFILEINFO{}));
    EXPECT_EQ(VERCHECK_EXISTS, Check(target, ProductVersion(1, 0, 0, 0), TRUE))
        << "the shared-file flag changes nothing for a file not in use";

    std::string data = m_dir + "\\map.tlr";
    {
        CFileHandle file(CreateFileA(data.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD dwWritten = 0;
        ASSERT_TRUE(!file.IsEmpty() && WriteFile(file, "TILE", 4, &dwWritten, nullptr)) << "cannot write " << data;
    }
    m_files.push_back(data);
    EXPECT_EQ(VERCHECK_EXISTS, Check(data, VS_FIXEDFILEINFO{})) << "a data file has no version to keep it";
    CFileHolder holder;
    ASSERT_TRUE(holder.Start(data, false)) << "the holder program did not get the data file open";
    EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_IN_USE, Check(data, VS_FIXEDFILEINFO{}))
        << "a data file held open is in use although its bytes cannot be looked at";
    EXPECT_TRUE(holder.Release()) << "the holder program did not end normally";
}

TEST_F(VersionInfoTest, TargetHeldByAnotherProcessIsInUse)
{
    std::string target = Install("payload_ver_1_0_0_1.dll", "held.dll");
    {
        CFileHolder holder;
        ASSERT_TRUE(holder.Start(target, false)) << "the holder program did not get the file open";
        EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_IN_USE, Check(target, ProductVersion(1, 0, 0, 2)));
        EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_IN_USE, Check(target, ProductVersion(1, 0, 0, 1), TRUE))
            << "a file held without any sharing cannot even be read for its version";
        EXPECT_TRUE(holder.Release()) << "the holder program did not end normally";
    }
    EXPECT_EQ(VERCHECK_EXISTS, Check(target, ProductVersion(1, 0, 0, 2)))
        << "once released the file is no longer in use";
}

TEST_F(VersionInfoTest, TargetOthersMayOnlyReadIsInUse)
{
    std::string target = Install("payload_ver_1_0_0_1.dll", "loaded.dll");
    CFileHolder holder;
    ASSERT_TRUE(holder.Start(target, true)) << "the holder program did not get the file open";
    EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_IN_USE, Check(target, ProductVersion(1, 0, 0, 2)));
    EXPECT_EQ(VERCHECK_EXISTS | VERCHECK_NOT_OLDER | VERCHECK_IN_USE,
              Check(target, ProductVersion(1, 0, 0, 1), TRUE))
        << "the version is still read while the file cannot be written";
    EXPECT_TRUE(holder.Release()) << "the holder program did not end normally";
}

class VersionStringsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (CString& s : m_strings)
            s = "unchanged";
    }

    void ExpectUnchangedFrom(int nFirst)
    {
        for (int i = nFirst; i < VERSION_STRING_COUNT; ++i)
            EXPECT_STREQ("unchanged", m_strings[i]) << "string " << i << " must not be touched";
    }

    CString m_strings[VERSION_STRING_COUNT];
};

TEST_F(VersionStringsTest, AllEightInOrder)
{
    ASSERT_TRUE(GetVersionStrings(PayloadPath("payload_uninst.exe").c_str(), m_strings))
        << "the uninstaller stand-in has all eight strings under 040904e4";
    EXPECT_STREQ("Setup test payloads", m_strings[0]);
    EXPECT_STREQ("payload_uninst.exe for the setup tests", m_strings[1]);
    EXPECT_STREQ("7.0.0.0", m_strings[2]);
    EXPECT_STREQ("UNINSTALL", m_strings[3]);
    EXPECT_STREQ("Copyright (C) Setup test payloads", m_strings[4]);
    EXPECT_STREQ("payload_uninst.exe", m_strings[5]);
    EXPECT_STREQ("Setup test payload", m_strings[6]);
    EXPECT_STREQ("1.0.0.0", m_strings[7]);
}

TEST_F(VersionStringsTest, AnotherApplicationsUninstaller)
{
    ASSERT_TRUE(GetVersionStrings(PayloadPath("payload_uninst_other.exe").c_str(), m_strings));
    EXPECT_STREQ("Uninstall", m_strings[3]);
}

TEST_F(VersionStringsTest, TranslationChoosesTheStringTable)
{
    ASSERT_TRUE(GetVersionStrings(PayloadPath("payload_uninst_german.exe").c_str(), m_strings))
        << "language 0407 with code page 04e4 names the table 040704e4";
    EXPECT_STREQ("UNINSTALL", m_strings[3]);
}

TEST_F(VersionStringsTest, MissingLegalCopyrightStopsThere)
{
    EXPECT_FALSE(GetVersionStrings(PayloadPath("payload_uninst_nocopyright.exe").c_str(), m_strings));
    EXPECT_STREQ("Setup test payloads", m_strings[0]);
    EXPECT_STREQ("payload_uninst_nocopyright.exe for the setup tests", m_strings[1]);
    EXPECT_STREQ("7.0.0.0", m_strings[2]);
    EXPECT_STREQ("UNINSTALL", m_strings[3]);
    ExpectUnchangedFrom(4);
}

TEST_F(VersionStringsTest, NoVersionResourceOrNoFile)
{
    EXPECT_FALSE(GetVersionStrings(PayloadPath("payload_noversion.dll").c_str(), m_strings));
    ExpectUnchangedFrom(0);
    EXPECT_FALSE(GetVersionStrings(PayloadPath("payload_absent.dll").c_str(), m_strings));
    ExpectUnchangedFrom(0);
}

}
