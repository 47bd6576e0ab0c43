#include "CArchive.h"

#include <climits>
#include <cstring>

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize)
    : m_pFile(pFile), m_nMode(nMode), m_buf(static_cast<size_t>(nBufSize > 0 ? nBufSize : 4096))
{
}

CArchive::~CArchive()
{
    Abort();
}

void CArchive::FillBuffer()
{
    m_nBufPos = 0;
    m_nBufEnd = m_pFile->Read(m_buf.data(), static_cast<UINT>(m_buf.size()));
}

UINT CArchive::Read(void* pBuf, UINT nMax)
{
    BYTE* pOut = static_cast<BYTE*>(pBuf);
    UINT nDone = 0;
    while (nDone < nMax) {
        if (m_nBufPos == m_nBufEnd) {
            FillBuffer();
            if (m_nBufEnd == 0)
                break;
        }
        UINT nChunk = m_nBufEnd - m_nBufPos;
        if (nChunk > nMax - nDone)
            nChunk = nMax - nDone;
        memcpy(pOut + nDone, m_buf.data() + m_nBufPos, nChunk);
        m_nBufPos += nChunk;
        nDone += nChunk;
    }
    return nDone;
}

void CArchive::ReadExact(void* pBuf, UINT nCount)
{
    if (Read(pBuf, nCount) != nCount)
        throw CArchiveException(CArchiveException::endOfFile);
}

DWORD CArchive::GetBytesLeft()
{
    DWORD dwBuffered = m_nBufEnd - m_nBufPos;
    DWORD dwLength = m_pFile->GetLength();
    DWORD dwPos = m_pFile->GetPosition();
    DWORD dwInFile = dwLength > dwPos ? dwLength - dwPos : 0;
    return dwInFile + dwBuffered;
}

void CArchive::Write(const void* pBuf, UINT nCount)
{
    const BYTE* pIn = static_cast<const BYTE*>(pBuf);
    while (nCount > 0) {
        if (m_nBufPos == m_buf.size())
            Flush();
        UINT nChunk = static_cast<UINT>(m_buf.size()) - m_nBufPos;
        if (nChunk > nCount)
            nChunk = nCount;
        memcpy(m_buf.data() + m_nBufPos, pIn, nChunk);
        m_nBufPos += nChunk;
        pIn += nChunk;
        nCount -= nChunk;
    }
}

void CArchive::Flush()
{
    if (IsStoring() && m_pFile && m_nBufPos > 0) {
        UINT n = m_nBufPos;
        m_nBufPos = 0;
        m_pFile->Write(m_buf.data(), n);
    }
}

void CArchive::Close()
{
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort()
{
    m_pFile = nullptr;
    m_nBufPos = m_nBufEnd = 0;
}

CArchive& CArchive::operator<<(BYTE b)
{
    Write(&b, 1);
    return *this;
}

CArchive& CArchive::operator<<(WORD w)
{
    BYTE bytes[2] = {static_cast<BYTE>(w), static_cast<BYTE>(w >> 8)};
    Write(bytes, 2);
    return *this;
}

CArchive& CArchive::operator<<(DWORD dw)
{
    BYTE bytes[4] = {static_cast<BYTE>(dw), static_cast<BYTE>(dw >> 8),
                     static_cast<BYTE>(dw >> 16), static_cast<BYTE>(dw >> 24)};
    Write(bytes, 4);
    return *this;
}

CArchive& CArchive::operator>>(BYTE& b)
{
    ReadExact(&b, 1);
    return *this;
}

CArchive& CArchive::operator>>(WORD& w)
{
    BYTE bytes[2];
    ReadExact(bytes, 2);
    w = static_cast<WORD>(bytes[0] | (bytes[1] << 8));
    return *this;
}

CArchive& CArchive::operator>>(DWORD& dw)
{
    BYTE bytes[4];
    ReadExact(bytes, 4);
    dw = static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
         (static_cast<DWORD>(bytes[2]) << 16) | (static_cast<DWORD>(bytes[3]) << 24);
    return *this;
}

CArchive& CArchive::operator>>(LONG& l)
{
    DWORD dw;
    *this >> dw;
    l = static_cast<LONG>(dw);
    return *this;
}

CArchive& CArchive::operator<<(const CString& str)
{
    DWORD n = static_cast<DWORD>(str.GetLength());
    if (n < 0xFF) {
        *this << static_cast<BYTE>(n);
    } else if (n < 0xFFFE) {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(n);
    } else {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << n;
    }
    Write(static_cast<const char*>(str), n);
    return *this;
}

// A prefix FF FE marks 16-bit text and is followed by another prefix; the
// loop (not recursion) keeps a long hostile chain of markers harmless.
DWORD CArchive::ReadStringLength(bool& bWide)
{
    bWide = false;
    for (;;) {
        BYTE b;
        *this >> b;
        if (b < 0xFF)
            return b;
        WORD w;
        *this >> w;
        if (w == 0xFFFE) {
            bWide = true;
            continue;
        }
        if (w < 0xFFFF)
            return w;
        DWORD dw;
        *this >> dw;
        return dw;
    }
}

CArchive& CArchive::operator>>(CString& str)
{
    bool bWide;
    DWORD n = ReadStringLength(bWide);
    unsigned long long nBytes = bWide ? 2ull * n : n;
    if (nBytes > m_nBufEnd - m_nBufPos && nBytes > GetBytesLeft())
        throw CArchiveException(CArchiveException::endOfFile);
    // A CString holds at most INT_MAX characters, and a 16-bit text may
    // double in ANSI: a longer length, cast to int, would turn negative and
    // allocate next to nothing for the read that follows. Only a file of
    // more than 2 GB gets here with one.
    if (n > static_cast<DWORD>(bWide ? INT_MAX / 2 : INT_MAX))
        throw CArchiveException(CArchiveException::genericException);
    if (!bWide) {
        CString text;
        char* p = text.GetBuffer(static_cast<int>(n));
        ReadExact(p, n);
        text.ReleaseBuffer(static_cast<int>(n));
        str = text;
        return *this;
    }
    std::vector<WCHAR> wide(n ? n : 1);
    ReadExact(wide.data(), static_cast<UINT>(nBytes));
    CString text;
    if (n > 0) {
        int nAnsi = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(n), nullptr, 0,
                                        nullptr, nullptr);
        char* p = text.GetBuffer(nAnsi);
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(n), p, nAnsi, nullptr, nullptr);
        text.ReleaseBuffer(nAnsi);
    }
    str = text;
    return *this;
}

void CArchive::WriteCount(DWORD dwCount)
{
    if (dwCount < 0xFFFF) {
        *this << static_cast<WORD>(dwCount);
    } else {
        *this << static_cast<WORD>(0xFFFF) << dwCount;
    }
}

DWORD CArchive::ReadCount()
{
    WORD w;
    *this >> w;
    if (w != 0xFFFF)
        return w;
    DWORD dw;
    *this >> dw;
    return dw;
}
