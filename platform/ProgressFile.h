// A binary file that copies from another file in fixed blocks and reports
// each block to a progress function, which can stop the copy.
#pragma once

#include "framework/CFile.h"

class CProgressFile : public CFile {
public:
    // Called with the bytes of each block; 0 stops the copy.
    typedef int (*PFNPROGRESS)(DWORD dwBytes);

    static constexpr DWORD COPY_BLOCK_SIZE = 10000;

    // Makes this file a copy of the whole source. TRUE when complete, FALSE
    // when the progress function stopped it. File errors arrive as
    // CFileException.
    BOOL CopyFrom(CFile& src);
    // Copies dwCount bytes from dwSrcOffset of the source to dwDstOffset of
    // this file, one progress call per block of at most COPY_BLOCK_SIZE.
    // Passes beyond the end of the source move nothing but are still
    // reported (with 0). What was written before a stop stays.
    BOOL CopyBlock(DWORD dwDstOffset, DWORD dwCount, CFile& src, DWORD dwSrcOffset);

    PFNPROGRESS m_pfnProgress = nullptr;
};
