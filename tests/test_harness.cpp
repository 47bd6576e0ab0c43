// The test harness itself: every program a ctest entry runs goes through
// scripts/wine-run.sh, which gives it files for its output, passes them on
// as they grow and waits for it alone. This program leaves behind, on
// purpose, what Wine's helper processes do: a process that inherited its
// standard output and error and lives on for two minutes. Its ctest entry
// times out after one, so it passes only if ctest is not kept waiting for
// that process. Its other case is stopped on purpose by
// check_stopped_output.sh, which looks for the case's lines in what was
// passed on before the stop.
#include "TestPaths.h"

#include "framework/CHandle.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DWORD LINGER_MS = 120000;

TEST(Harness, LeavesAProcessHoldingItsOutputForTwoMinutes)
{
    std::string tag = std::to_string(GetCurrentProcessId());
    char szTemp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, szTemp));
    std::string held = std::string(szTemp) + "harness-held-" + tag + ".txt";
    HANDLE hFile = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile) << "temporary file, error " << GetLastError();
    CloseHandle(hFile);

    std::string ready = "HarnessReady" + tag, release = "HarnessRelease" + tag;
    CKernelHandle readyEvent(CreateEventA(nullptr, TRUE, FALSE, ready.c_str()));
    CKernelHandle releaseEvent(CreateEventA(nullptr, TRUE, FALSE, release.c_str()));
    ASSERT_TRUE(!readyEvent.IsEmpty() && !releaseEvent.IsEmpty()) << "events, error " << GetLastError();

    // Inherits this program's handles, its standard ones among them, as the
    // desktop and the folder windows do when the setup starts them.
    std::string cmd = "\"" + BuildPath("tools\\payload\\payload_holdfile.exe") + "\" -shareread \"" + held +
                      "\" " + ready + " " + release + " " + std::to_string(LINGER_MS);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        << cmd << ": error " << GetLastError();
    CloseHandle(pi.hThread);
    CKernelHandle process(pi.hProcess);
    HANDLE handles[] = {readyEvent, process};
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, handles, FALSE, 20000)) << "the child did not start holding";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process, 0)) << "the child must outlive this program";
    printf("left process %lu running for %lu s with this program's output\n", pi.dwProcessId, LINGER_MS / 1000);
}

// Run only by the stopped-program check: prints, then outlives any limit.
TEST(Harness, DISABLED_PrintsThenSleeps)
{
    printf("printed before the stop\n");
    fflush(stdout);
    Sleep(INFINITE);
}

}  // namespace
