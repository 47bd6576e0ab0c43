#include "MemoryDC.h"

BOOL CMemoryDC::Create(HDC hRefDC, int cx, int cy)
{
    Release();
    m_bitmap = CreateCompatibleBitmap(hRefDC, cx, cy);
    m_hDC = CreateCompatibleDC(hRefDC);
    if (m_hDC && m_bitmap)
        m_pOldBitmap = SelectObject(m_hDC, m_bitmap);
    return TRUE;
}

void CMemoryDC::Release()
{
    if (m_pOldBitmap) {
        SelectObject(m_hDC, m_pOldBitmap);
        m_pOldBitmap = nullptr;
    }
    if (m_hDC) {
        DeleteDC(m_hDC);
        m_hDC = nullptr;
    }
    if (m_bitmap) {
        DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
}

SIZE CMemoryDC::GetSize() const
{
    SIZE size = {0, 0};
    BITMAP bm;
    if (m_bitmap && GetObjectA(m_bitmap, sizeof bm, &bm)) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight;
    }
    return size;
}
