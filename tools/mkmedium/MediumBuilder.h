// Writes a distribution medium from a checked manifest: "Setup.dat",
// "_Uninst.ex_" and the data volumes, all into a temporary folder beside
// the output folder that is moved into place only when complete, so a
// failure leaves nothing behind.
#pragma once

#include "Manifest.h"

class CVolumeWriter;

class CMediumBuilder {
public:
    explicit CMediumBuilder(CManifest& manifest) : m_manifest(manifest) {}

    // The output folder must not exist or be empty. FALSE with a message.
    BOOL Build(const char* pszOutDir);
    const CString& GetError() const { return m_strError; }
    DWORD GetVolumeCount() const { return m_dwVolumes; }

private:
    BOOL CheckOutDir();
    BOOL MakeTempDir();
    void WriteMedium();
    void WriteVolumes();
    void CopyFileData(const CMediumFile& file, CVolumeWriter& writer);
    void WriteSetupData(const CString& strDir);
    void CopyUninstaller(const CString& strDir);
    BOOL MoveIntoPlace();

    CManifest& m_manifest;
    CString m_strOutDir;
    CString m_strTempDir;
    CString m_strError;
    DWORD m_dwVolumes = 0;
    std::vector<BYTE> m_buffer;
};
