// A program of the build started as a child process, ended if still running.
// Its standard handles go to NUL: under Wine a child's Unix standard output
// is passed on to what it starts in turn (the folder windows that creating
// a program group opens, for one), and a test runner reading the test's
// output would wait for those to end.
#pragma once

#include "framework/CHandle.h"

#include <string>

class CChildProcess {
public:
    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess()
    {
        if (!m_process.IsEmpty() && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process, 99);
    }

    // pszDesktop: "station\\desktop" to start it on, or the caller's.
    bool Start(const std::string& exe, const std::string& args = "", const char* pszDir = nullptr,
               const char* pszDesktop = nullptr)
    {
        std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        CFileHandle nul(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                    OPEN_EXISTING, 0, nullptr));
        if (nul.IsEmpty())
            return false;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = si.hStdOutput = si.hStdError = nul;
        std::string desktop = pszDesktop ? pszDesktop : "";
        si.lpDesktop = pszDesktop ? &desktop[0] : nullptr;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, pszDir, &si, &pi))
            return false;
        // Only the process is waited on.
        CloseHandle(pi.hThread);
        m_process.Attach(pi.hProcess);
        m_dwId = pi.dwProcessId;
        return true;
    }

    // The exit code, or -1 when the program did not end in time.
    long WaitForExit(DWORD dwTimeoutMs)
    {
        if (WaitForSingleObject(m_process, dwTimeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD dwCode = 0;
        GetExitCodeProcess(m_process, &dwCode);
        return static_cast<long>(dwCode);
    }

    // Ends the program at once, as the task manager or a power cut would:
    // true when it was still running, so that it ended with nExitCode.
    bool Kill(UINT nExitCode)
    {
        TerminateProcess(m_process, nExitCode);
        return WaitForExit(10000) == static_cast<long>(nExitCode);
    }

    DWORD Id() const { return m_dwId; }

private:
    CKernelHandle m_process;
    DWORD m_dwId = 0;
};
