// Binary file over a Win32 file handle. Every failing operation throws a
// CFileException with the cause, the system error and the file's name.
#pragma once

#include "CException.h"

struct CFileStatus {
    FILETIME m_ctime;
    FILETIME m_atime;
    FILETIME m_mtime;
    DWORD m_size;
    DWORD m_attribute;
};

class CFile {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        // Creates the file, failing when one of the name exists.
        modeCreateNew = 0x4000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    void Open(const char* pszFileName, UINT nOpenFlags);
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    UINT Read(void* pBuf, UINT nCount);
    void Write(const void* pBuf, UINT nCount);
    DWORD Seek(LONG lOff, UINT nFrom);
    DWORD SeekToBegin() { return Seek(0, begin); }
    DWORD SeekToEnd() { return Seek(0, end); }
    DWORD GetPosition() const;
    DWORD GetLength() const;
    void SetLength(DWORD dwNewLen);
    void Close();
    // Closes without throwing, for clean-up paths.
    void Abort();

    const CString& GetFilePath() const { return m_strFileName; }
    // Only stores the name; opening is separate.
    void SetFilePath(const char* pszFileName) { m_strFileName = pszFileName; }

    static BOOL GetStatus(const char* pszFileName, CFileStatus& status);
    static void SetStatus(const char* pszFileName, const CFileStatus& status);
    static void Remove(const char* pszFileName);
    static void Rename(const char* pszOldName, const char* pszNewName);

private:
    [[noreturn]] void ThrowLastError() const;

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strFileName;
};
