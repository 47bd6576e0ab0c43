// The command line of an unattended installation. Switches are
// case-insensitive, start with "/" or "-", and a value may be quoted, in
// whole or after its "=":
//   /S            silent: no window, no question; the answers are fixed
//   /DIR=path     the destination, a full path with drive
//   /GROUP=name   the program folder
//   /LOG=file     a log of the run, one line per event
//   /NOICONS      no program folder
//   /NORESTART    accepted, as the setup never restarts the system
//   /?            the usage text; with /S nothing is shown
// A quote left open makes the line invalid. A run without arguments is the
// interactive one, unchanged.
#pragma once

#include "framework/CString.h"

class CCommandLine {
public:
    // FALSE when an argument is no switch, or a switch is unknown, repeated
    // or lacks its value, or a quote is left open; m_strError then names the
    // first such argument, and m_bSilent is set when a "/S" stands anywhere
    // on the line, even inside that quote.
    BOOL Parse(const char* pszCommandLine);

    BOOL m_bSilent = FALSE;
    BOOL m_bUsage = FALSE;
    BOOL m_bNoIcons = FALSE;
    CString m_strDir;    // empty: not given
    CString m_strGroup;  // empty: not given
    CString m_strLog;    // empty: no log
    CString m_strError;

private:
    BOOL TakeSwitch(const CString& strSwitch);
    BOOL TakeValue(const CString& strSwitch, const char* pszName, CString& strValue);
};

// The setup program started by itself to run a library's registration
// entry: exactly the internal switch, the library's path and the scratch
// key's name. TRUE then, with the two; any other command line is the
// user's.
BOOL ParseServerCall(const char* pszArguments, CString& strPath, CString& strScratchName);

// The arguments after the program's own name in a command line as the
// system hands it over.
const char* SkipProgramName(const char* pszCommandLine);
