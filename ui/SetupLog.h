// The log of a run: plain text, one line per event, each line starting with
// the milliseconds since the log was opened and written through at once, so
// that a run that crashes leaves every line before the crash readable.
#pragma once

#include "framework/CHandle.h"
#include "framework/CString.h"

class CSetupLog {
public:
    // Creates the file, or empties it. FALSE with the system's code in the
    // last-error value.
    BOOL Open(const char* pszPath);
    // Creates a new file "<title> <local date> <number>.log" in the
    // directory, with the first number from 001 not taken: an existing log
    // is never written over. FALSE as Open.
    BOOL OpenNew(const char* pszDir, const char* pszTitle);
    // The file's full path, once it is open.
    const CString& GetPath() const { return m_strPath; }
    void Write(const char* pszText);
    // "error <code>: <the system's text for it>" after the text.
    void WriteError(const char* pszText, DWORD dwError);
    // The lines written that start with LOG_WARNING_PREFIX: what the run
    // passed over.
    int Warnings() const { return m_nWarnings; }

private:
    BOOL Create(const char* pszPath, DWORD dwDisposition);

    CFileHandle m_file;
    CString m_strPath;
    DWORD m_dwStart = 0;
    int m_nWarnings = 0;
};

// How a line of something the run passed over starts: a library that did
// not register, a program item not made.
extern const char LOG_WARNING_PREFIX[];

// The system's text for an error code, on one line; empty when it has none.
CString SystemErrorText(DWORD dwError);

// The log of this run, or none.
extern CSetupLog* g_pSetupLog;

// Writes a line to the log of this run, when there is one; with an error
// code, the code and the system's text for it follow.
void LogLine(const char* pszText);
void LogLine(const char* pszText, DWORD dwError);
// A line made by a printf format.
void LogFormat(const char* pszFormat, ...);
// The warnings logged so far; 0 without a log.
int LoggedWarnings();

// The answer to the engine's SCB_LOG: its text, when there is one, goes to
// the log.
int LogEngineLine(INT_PTR nArg);

class CSetupMngr;

// What the install information holds: files, bytes and disks.
void LogLoaded(CSetupMngr& engine);
