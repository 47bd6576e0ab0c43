// Reference-counted ANSI counted string. The object holds one pointer, to its
// characters, so that code handed the object's address can read the text
// through its first word.
#pragma once

#include "fwdefs.h"

#include <cstdarg>

class CString {
public:
    CString();
    CString(const CString& src);
    CString(const char* psz);
    CString(const char* pch, int nLength);
    ~CString();

    CString& operator=(const CString& src);
    CString& operator=(const char* psz);
    CString& operator+=(const CString& src);
    CString& operator+=(const char* psz);
    CString& operator+=(char ch);

    int GetLength() const { return Data()->nDataLength; }
    bool IsEmpty() const { return GetLength() == 0; }
    void Empty();
    operator const char*() const { return m_pchData; }
    char operator[](int nIndex) const { return m_pchData[nIndex]; }
    void SetAt(int nIndex, char ch);

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;
    int Find(char ch) const;
    int Find(const char* pszSub) const;
    int ReverseFind(char ch) const;

    int Compare(const char* psz) const;
    int CompareNoCase(const char* psz) const;

    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list args);

    // Direct access for APIs that fill a buffer: GetBuffer returns room for
    // at least nMinLength characters plus the zero; ReleaseBuffer sets the
    // length (-1: up to the first zero).
    char* GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    struct CStringData {
        long nRefs;          // -1 marks the shared empty string
        int nDataLength;
        int nAllocLength;
        char* data() { return reinterpret_cast<char*>(this + 1); }
    };

    CStringData* Data() const { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
    static CStringData* NewData(unsigned nLength);
    void AllocBuffer(int nLength);
    void Release();
    void AssignCopy(const char* pch, int nLength);
    void Append(const char* pch, int nLength);
    void CopyBeforeWrite();

    char* m_pchData;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
