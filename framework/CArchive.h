// Buffered binary archive over a CFile, for loading or for storing.
// Short reads of bytes, words, dwords and strings throw a CArchiveException
// with cause endOfFile; raw-block reads return what they read.
#pragma once

#include "CFile.h"

#include <vector>

class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive();

    bool IsLoading() const { return m_nMode == load; }
    bool IsStoring() const { return m_nMode == store; }
    CFile* GetFile() const { return m_pFile; }

    UINT Read(void* pBuf, UINT nMax);
    void Write(const void* pBuf, UINT nCount);
    void Flush();
    // Writes out what is buffered (when storing) and detaches from the file.
    void Close();
    // Detaches without writing and without throwing.
    void Abort();

    CArchive& operator<<(BYTE b);
    CArchive& operator<<(WORD w);
    CArchive& operator<<(DWORD dw);
    CArchive& operator<<(LONG l) { return *this << static_cast<DWORD>(l); }
    CArchive& operator<<(const CString& str);
    CArchive& operator>>(BYTE& b);
    CArchive& operator>>(WORD& w);
    CArchive& operator>>(DWORD& dw);
    CArchive& operator>>(LONG& l);
    CArchive& operator>>(CString& str);

    void WriteCount(DWORD dwCount);
    DWORD ReadCount();

    // Bytes that a load can still deliver: buffered plus the rest of the file.
    DWORD GetBytesLeft();

private:
    void FillBuffer();
    void ReadExact(void* pBuf, UINT nCount);
    DWORD ReadStringLength(bool& bWide);

    CFile* m_pFile;
    UINT m_nMode;
    std::vector<BYTE> m_buf;
    UINT m_nBufPos = 0;   // next byte to read or write
    UINT m_nBufEnd = 0;   // bytes valid in the buffer when loading
};
