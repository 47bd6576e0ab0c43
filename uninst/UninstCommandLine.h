// The uninstaller's command line. Without arguments the run is the
// interactive one; deployment tools add:
//   /S          silent: no window, no question
//   /LOG=file   a log of the run, one line per event
// Switches are case-insensitive and start with "/" or "-"; the system's
// argument rules take the quotes off a value. The finishing copy's own
// switch is told apart before this line is read.
#pragma once

#include "framework/CString.h"

// Exit codes, the values deployment tools read: the setup's values for the
// same outcomes.
const int UNINST_EXIT_SUCCESS = 0;
const int UNINST_EXIT_FAILED = 1603;
const int UNINST_EXIT_ALREADY_RUNNING = 1618;
const int UNINST_EXIT_NO_LOG = 1622;
const int UNINST_EXIT_BAD_COMMAND_LINE = 1639;
const int UNINST_EXIT_RESTART_NEEDED = 3010;

class CUninstCommandLine {
public:
    // FALSE when an argument is unknown, repeated or lacks its value;
    // m_strError then names the first such argument. Every argument is
    // read, so that /S anywhere keeps a bad line silent.
    BOOL Parse(int argc, char** argv);

    BOOL m_bSilent = FALSE;
    CString m_strLog;  // empty: no log
    CString m_strError;

private:
    BOOL TakeSwitch(const CString& strSwitch);
};

// The text that a bad command line is answered with.
CString UninstUsage();
