#include "ProgressFile.h"

BOOL CProgressFile::CopyFrom(CFile& src)
{
    DWORD dwLength = src.GetLength();
    SetLength(dwLength);
    return CopyBlock(0, dwLength, src, 0);
}

BOOL CProgressFile::CopyBlock(DWORD dwDstOffset, DWORD dwCount, CFile& src, DWORD dwSrcOffset)
{
    // Rounded up without adding to the count first, which would wrap for
    // counts close to 4 GB.
    DWORD dwBlocks = dwCount / COPY_BLOCK_SIZE + (dwCount % COPY_BLOCK_SIZE != 0 ? 1 : 0);
    DWORD dwSrcLength = src.GetLength();
    DWORD dwAvailable = dwSrcLength > dwSrcOffset ? dwSrcLength - dwSrcOffset : 0;
    DWORD dwRemaining = dwCount < dwAvailable ? dwCount : dwAvailable;

    Seek(static_cast<LONG>(dwDstOffset), begin);
    src.Seek(static_cast<LONG>(dwSrcOffset), begin);

    BYTE buffer[COPY_BLOCK_SIZE];
    for (DWORD i = 0; i < dwBlocks; ++i) {
        DWORD dwChunk = dwRemaining < COPY_BLOCK_SIZE ? dwRemaining : COPY_BLOCK_SIZE;
        // Only bytes really read go out, should the source have shrunk
        // since its length was taken.
        UINT nRead = src.Read(buffer, dwChunk);
        Write(buffer, nRead);
        dwRemaining -= dwChunk;
        if (m_pfnProgress && !m_pfnProgress(dwChunk))
            return FALSE;
    }
    return TRUE;
}
