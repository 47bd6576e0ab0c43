// A program of the build started as a child process, ended if still running.
// Its standard handles go to NUL: under Wine a child's Unix standard output
// is passed on to what it starts in turn (the folder windows that creating
// a program group opens, for one), and a test runner reading the test's
// output would wait for those to end.
#pragma once

#include <windows.h>

#include <string>

class CChildProcess {
public:
    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess()
    {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_pi.hProcess, 99);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
    }

    bool Start(const std::string& exe, const std::string& args = "", const char* pszDir = nullptr)
    {
        std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE hNul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                  OPEN_EXISTING, 0, nullptr);
        if (hNul == INVALID_HANDLE_VALUE)
            return false;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = hNul;
        BOOL bStarted = CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, pszDir, &si, &m_pi);
        CloseHandle(hNul);
        return bStarted != FALSE;
    }

    // The exit code, or -1 when the program did not end in time.
    long WaitForExit(DWORD dwTimeoutMs)
    {
        if (WaitForSingleObject(m_pi.hProcess, dwTimeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD dwCode = 0;
        GetExitCodeProcess(m_pi.hProcess, &dwCode);
        return static_cast<long>(dwCode);
    }

    DWORD Id() const { return m_pi.dwProcessId; }

private:
    PROCESS_INFORMATION m_pi = {};
};
