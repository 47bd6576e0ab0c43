// A program of the build started as a child process, ended if still running.
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
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        return CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, pszDir, &si, &m_pi) != 0;
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
