// An off-screen device context with its own bitmap.
#pragma once

#include "framework/fwdefs.h"

class CMemoryDC {
public:
    CMemoryDC() = default;
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    ~CMemoryDC() { Release(); }

    // Replaces what it held by a bitmap of cx by cy compatible with hRefDC.
    BOOL Create(HDC hRefDC, int cx, int cy);
    void Release();
    SIZE GetSize() const;
    HDC GetSafeHdc() const { return m_hDC; }

private:
    HDC m_hDC = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_pOldBitmap = nullptr;
};
