// The text that the setup's and the uninstaller's /? and bad command lines
// show, made from each program's table of switches and of the exit codes
// an unattended run ends with.
#pragma once

#include "framework/CString.h"

struct SETUP_SWITCH {
    const char* pszSyntax;   // as typed, "/DIR=path"
    const char* pszMeaning;
};

struct SETUP_EXIT_CODE {
    int nCode;
    const char* pszMeaning;
};

// "Usage: <program> [switch]..." (without "/?"), a line per switch, then
// a line per exit code.
CString UsageText(const char* pszProgram, const SETUP_SWITCH* pSwitches, int nSwitches,
                  const SETUP_EXIT_CODE* pExitCodes, int nExitCodes);
