// Exceptions of the framework: thrown by value, caught by reference.
#pragma once

#include "CString.h"

class CException {
public:
    virtual ~CException() = default;
};

// Raised after a cancellation that the user has already been told about.
class CUserException : public CException {};

class CArchiveException : public CException {
public:
    // genericException: a record the reader refuses (out of any sound range).
    enum { none = 0, genericException = 1, endOfFile = 3 };
    explicit CArchiveException(int cause = none) : m_cause(cause) {}
    int m_cause;
};

class CFileException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException(int cause = none, LONG lOsError = 0, const char* pszFileName = nullptr)
        : m_cause(cause), m_lOsError(lOsError), m_strFileName(pszFileName) {}

    // The cause that a Win32 error code stands for.
    static int OsErrorToException(LONG lOsError);
    // Throws the exception for a Win32 error code, naming the file.
    [[noreturn]] static void ThrowOsError(LONG lOsError, const char* pszFileName);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};
