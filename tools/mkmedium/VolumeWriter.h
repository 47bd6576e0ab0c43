// Writes the file-data stream into the data volumes of a medium, each
// volume filled up to its disk type's capacity before the next begins.
// File errors arrive as CFileException.
#pragma once

#include "framework/CFile.h"

class CVolumeWriter {
public:
    // Volume i goes into strRoot when there is one volume, else into
    // strRoot\disk<i+1>, which must exist. The stream written must need
    // exactly dwVolumes volumes. dwCapacity 0: the type has none, and all
    // data go into the one volume.
    CVolumeWriter(const CString& strRoot, DWORD dwVolumes, DWORD dwCapacity);

    static CString VolumeDir(const CString& strRoot, DWORD dwVolumes, DWORD dwIndex);

    void Open();
    void Write(const BYTE* pData, DWORD dwCount);
    void Close();

private:
    void OpenVolume(DWORD dwIndex);

    CString m_strRoot;
    DWORD m_dwVolumes;
    DWORD m_dwCapacity;
    DWORD m_dwIndex = 0;
    DWORD m_dwRoom = 0;
    CFile m_file;
};
