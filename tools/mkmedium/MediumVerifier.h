// Checks a medium written by the build command: its install information
// loads, and the data volumes hold exactly the bytes the tree asks for,
// numbered 0, 1, 2 ... and each but the last filled to its capacity.
#pragma once

#include "framework/CString.h"

#include <string>
#include <vector>

class CMediumVerifier {
public:
    // TRUE when the medium is sound; each fault is one line of GetFaults.
    BOOL Verify(const char* pszMediumDir);
    const std::vector<std::string>& GetFaults() const { return m_faults; }
    const std::string& GetSummary() const { return m_strSummary; }

private:
    void Fault(const char* pszFormat, ...);
    BOOL FindLayout();
    void CheckVolume(DWORD dwIndex, const CString& strPath, ULONGLONG ullExpected);

    CString m_strDir;
    CString m_strFirstDisk;
    std::vector<CString> m_volumes;
    std::vector<std::string> m_faults;
    std::string m_strSummary;
};
