// Sets of generated files for the benchmarks: written with a pattern of
// their own, copied, counted and removed, and the programs that install
// them timed.
#pragma once

#include "bench/timer/Timer.h"

#include "framework/CHandle.h"

#include <cstdio>
#include <string>
#include <vector>

const int FILES_PER_DIRECTORY = 100;

inline std::string DirName(int nDir)
{
    return "dir" + std::to_string(nDir);
}

inline std::string FileName(int nFile)
{
    return "file" + std::to_string(nFile) + ".bin";
}

// nFiles files of dwSize bytes, FILES_PER_DIRECTORY to a directory: file i
// is dir<i / 100>\file<i>.bin.
struct CFileSet {
    int nFiles;
    DWORD dwSize;

    std::string RelPath(int i) const { return DirName(i / FILES_PER_DIRECTORY) + "\\" + FileName(i); }
    ULONGLONG Bytes() const { return ULONGLONG(nFiles) * dwSize; }
};

inline void FillPattern(std::vector<BYTE>& bytes, DWORD& x)
{
    for (BYTE& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<BYTE>(x >> 16);
    }
}

inline HANDLE OpenBenchFile(const std::string& path, DWORD dwAccess, DWORD dwCreate)
{
    return CreateFileA(path.c_str(), dwAccess, FILE_SHARE_READ, nullptr, dwCreate, FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline bool WriteBytes(HANDLE hFile, const void* p, DWORD n)
{
    DWORD dw = 0;
    return WriteFile(hFile, p, n, &dw, nullptr) && dw == n;
}

inline bool WriteWhole(const std::string& path, const std::vector<BYTE>& bytes)
{
    CFileHandle file(OpenBenchFile(path, GENERIC_WRITE, CREATE_ALWAYS));
    return !file.IsEmpty() && WriteBytes(file, bytes.data(), static_cast<DWORD>(bytes.size()));
}

// The files of a set below dir, each with the next bytes of one pattern,
// and the same bytes back to back into hStream when it is given: the data
// of a one-volume medium.
inline bool WriteFileSet(const CFileSet& set, const std::string& dir, HANDLE hStream)
{
    std::vector<BYTE> bytes(set.dwSize);
    DWORD x = 12345;
    for (int i = 0; i < set.nFiles; ++i) {
        if (i % FILES_PER_DIRECTORY == 0 &&
            !CreateDirectoryA((dir + "\\" + DirName(i / FILES_PER_DIRECTORY)).c_str(), nullptr))
            return false;
        FillPattern(bytes, x);
        if (!WriteWhole(dir + "\\" + set.RelPath(i), bytes) || (hStream && !WriteBytes(hStream, bytes.data(), set.dwSize)))
            return false;
    }
    return true;
}

// CopyFileA of each file of a set from one folder into another, which
// gets the set's directories.
inline bool CopyFileSet(const CFileSet& set, const std::string& from, const std::string& to)
{
    for (int i = 0; i < set.nFiles; ++i) {
        if (i % FILES_PER_DIRECTORY == 0 &&
            !CreateDirectoryA((to + "\\" + DirName(i / FILES_PER_DIRECTORY)).c_str(), nullptr))
            return false;
        if (!CopyFileA((from + "\\" + set.RelPath(i)).c_str(), (to + "\\" + set.RelPath(i)).c_str(), FALSE))
            return false;
    }
    return true;
}

inline void DeleteFolder(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteFolder(path);
            else if (!DeleteFileA(path.c_str()))
                fprintf(stderr, "cannot delete %s\n", path.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    if (!RemoveDirectoryA(dir.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND)
        fprintf(stderr, "cannot remove %s\n", dir.c_str());
}

// Bytes and files below a folder, to check each run installed everything.
inline void CountFolder(const std::string& dir, ULONGLONG& ullBytes, int& nFiles)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CountFolder(dir + "\\" + name, ullBytes, nFiles);
        } else {
            ullBytes += fd.nFileSizeLow;
            ++nFiles;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

// An installer or another program run to its end: the milliseconds from
// its start, or a negative value when it failed or took too long.
inline double TimeProgram(const std::string& exe, std::string cmd, DWORD dwTimeoutMs)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CTimer timer;
    if (!CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1.0;
    DWORD dwWait = WaitForSingleObject(pi.hProcess, dwTimeoutMs);
    double dMs = timer.ElapsedMs();
    DWORD dwCode = 1;
    GetExitCodeProcess(pi.hProcess, &dwCode);
    if (dwWait != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return dwWait == WAIT_OBJECT_0 && dwCode == 0 ? dMs : -1.0;
}
