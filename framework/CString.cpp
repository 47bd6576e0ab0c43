#include "CString.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mbstring.h>
#include <new>

namespace {
// The shared empty string: never freed, never written.
struct EmptyStringData {
    long nRefs;
    int nDataLength;
    int nAllocLength;
    char chZero;
};
const EmptyStringData g_emptyData = {-1, 0, 0, 0};
char* EmptyChars() { return const_cast<char*>(&g_emptyData.chZero); }
}

CString::CString() : m_pchData(EmptyChars()) {}

CString::CString(const CString& src) : m_pchData(EmptyChars())
{
    *this = src;
}

CString::CString(const char* psz) : m_pchData(EmptyChars())
{
    if (psz)
        AssignCopy(psz, static_cast<int>(strlen(psz)));
}

CString::CString(const char* pch, int nLength) : m_pchData(EmptyChars())
{
    if (pch && nLength > 0)
        AssignCopy(pch, nLength);
}

CString::~CString()
{
    Release();
}

CString::CStringData* CString::NewData(unsigned nLength)
{
    void* p = malloc(sizeof(CStringData) + static_cast<size_t>(nLength) + 1);
    if (!p)
        throw std::bad_alloc();
    CStringData* pData = static_cast<CStringData*>(p);
    pData->nRefs = 1;
    pData->nDataLength = static_cast<int>(nLength);
    pData->nAllocLength = static_cast<int>(nLength);
    pData->data()[nLength] = '\0';
    return pData;
}

void CString::AllocBuffer(int nLength)
{
    m_pchData = nLength > 0 ? NewData(static_cast<unsigned>(nLength))->data() : EmptyChars();
}

void CString::Release()
{
    if (m_pchData == EmptyChars())
        return;
    CStringData* pData = Data();
    m_pchData = EmptyChars();
    if (--pData->nRefs == 0)
        free(pData);
}

void CString::Empty()
{
    Release();
}

void CString::AssignCopy(const char* pch, int nLength)
{
    CString copy;
    copy.AllocBuffer(nLength);
    memcpy(copy.m_pchData, pch, static_cast<size_t>(nLength));
    *this = copy;
}

CString& CString::operator=(const CString& src)
{
    if (m_pchData != src.m_pchData) {
        Release();
        CStringData* pData = src.Data();
        if (pData->nRefs > 0) {
            ++pData->nRefs;
            m_pchData = src.m_pchData;
        }
    }
    return *this;
}

CString& CString::operator=(const char* psz)
{
    if (!psz || !*psz)
        Release();
    else
        AssignCopy(psz, static_cast<int>(strlen(psz)));
    return *this;
}

void CString::Append(const char* pch, int nLength)
{
    if (nLength <= 0)
        return;
    unsigned nOld = static_cast<unsigned>(GetLength());
    unsigned nAdd = static_cast<unsigned>(nLength);
    CStringData* pData = NewData(nOld + nAdd);
    memcpy(pData->data(), m_pchData, nOld);
    memcpy(pData->data() + nOld, pch, nAdd);
    Release();
    m_pchData = pData->data();
}

CString& CString::operator+=(const CString& src)
{
    Append(src.m_pchData, src.GetLength());
    return *this;
}

CString& CString::operator+=(const char* psz)
{
    if (psz)
        Append(psz, static_cast<int>(strlen(psz)));
    return *this;
}

CString& CString::operator+=(char ch)
{
    Append(&ch, 1);
    return *this;
}

void CString::CopyBeforeWrite()
{
    if (Data()->nRefs != 1) {
        CString copy(m_pchData, GetLength());
        *this = copy;
    }
}

void CString::SetAt(int nIndex, char ch)
{
    CopyBeforeWrite();
    m_pchData[nIndex] = ch;
}

CString CString::Left(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount >= GetLength())
        return *this;
    return CString(m_pchData, nCount);
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength() - nFirst);
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > GetLength())
        nFirst = GetLength();
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength() - nFirst)
        nCount = GetLength() - nFirst;
    if (nFirst == 0 && nCount == GetLength())
        return *this;
    return CString(m_pchData + nFirst, nCount);
}

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount >= GetLength())
        return *this;
    return CString(m_pchData + GetLength() - nCount, nCount);
}

int CString::Find(char ch) const
{
    const char* p = static_cast<const char*>(memchr(m_pchData, ch, static_cast<size_t>(GetLength())));
    return p ? static_cast<int>(p - m_pchData) : -1;
}

int CString::Find(const char* pszSub) const
{
    const char* p = strstr(m_pchData, pszSub);
    return p ? static_cast<int>(p - m_pchData) : -1;
}

int CString::ReverseFind(char ch) const
{
    for (int i = GetLength() - 1; i >= 0; --i)
        if (m_pchData[i] == ch)
            return i;
    return -1;
}

int CString::Compare(const char* psz) const
{
    return strcmp(m_pchData, psz ? psz : "");
}

int CString::CompareNoCase(const char* psz) const
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(m_pchData),
                    reinterpret_cast<const unsigned char*>(psz ? psz : ""));
}

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args)
{
    va_list sizing;
    va_copy(sizing, args);
    int nLength = vsnprintf(nullptr, 0, pszFormat, sizing);
    va_end(sizing);
    CString result;
    if (nLength > 0) {
        result.AllocBuffer(nLength);
        vsnprintf(result.m_pchData, static_cast<size_t>(nLength) + 1, pszFormat, args);
    }
    *this = result;
}

char* CString::GetBuffer(int nMinLength)
{
    if (Data()->nRefs != 1 || nMinLength > Data()->nAllocLength) {
        int nOld = GetLength();
        int nAlloc = nMinLength > nOld ? nMinLength : nOld;
        CString grown;
        grown.AllocBuffer(nAlloc > 0 ? nAlloc : 1);
        memcpy(grown.m_pchData, m_pchData, static_cast<size_t>(nOld) + 1);
        grown.Data()->nDataLength = nOld;
        *this = grown;
    }
    return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength)
{
    CopyBeforeWrite();
    if (Data()->nRefs < 0)
        return;
    if (nNewLength < 0)
        nNewLength = static_cast<int>(strnlen(m_pchData, static_cast<size_t>(Data()->nAllocLength)));
    if (nNewLength > Data()->nAllocLength)
        nNewLength = Data()->nAllocLength;
    Data()->nDataLength = nNewLength;
    m_pchData[nNewLength] = '\0';
}

CString operator+(const CString& a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const CString& a, const char* b)
{
    CString s(a);
    s += b;
    return s;
}

CString operator+(const char* a, const CString& b)
{
    CString s(a);
    s += b;
    return s;
}
