#include "VolumeWriter.h"

#include "ToolFiles.h"

#include "model/DataVolume.h"

CVolumeWriter::CVolumeWriter(const CString& strRoot, DWORD dwVolumes, DWORD dwCapacity)
    : m_strRoot(strRoot), m_dwVolumes(dwVolumes), m_dwCapacity(dwCapacity ? dwCapacity : 0xFFFFFFFF - DATAVOLUME_HEADER_SIZE)
{
}

CString CVolumeWriter::VolumeDir(const CString& strRoot, DWORD dwVolumes, DWORD dwIndex)
{
    if (dwVolumes <= 1)
        return strRoot;
    CString name;
    name.Format("disk%lu", dwIndex + 1);
    return JoinPath(strRoot, name);
}

void CVolumeWriter::Open()
{
    OpenVolume(0);
}

void CVolumeWriter::OpenVolume(DWORD dwIndex)
{
    m_file.Close();
    m_dwIndex = dwIndex;
    m_dwRoom = m_dwCapacity;
    m_file.Open(JoinPath(VolumeDir(m_strRoot, m_dwVolumes, dwIndex), DATAVOLUME_NAME),
                CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    WriteDataVolumeIndex(m_file, static_cast<WORD>(dwIndex));
}

void CVolumeWriter::Write(const BYTE* pData, DWORD dwCount)
{
    while (dwCount > 0) {
        if (m_dwRoom == 0)
            OpenVolume(m_dwIndex + 1);
        DWORD dwChunk = dwCount < m_dwRoom ? dwCount : m_dwRoom;
        m_file.Write(pData, dwChunk);
        pData += dwChunk;
        dwCount -= dwChunk;
        m_dwRoom -= dwChunk;
    }
}

void CVolumeWriter::Close()
{
    m_file.Close();
}
