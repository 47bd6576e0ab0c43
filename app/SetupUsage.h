// What the command line offers and what an unattended run ends with, in one
// table each: the usage text is made from them, and the package manifest
// that deployment tools read is checked against them.
#pragma once

#include "ui/UsageText.h"

// Exit codes of an unattended run, the values deployment tools read.
const int SETUP_EXIT_SUCCESS = 0;
const int SETUP_EXIT_FAILED = 1603;
// Failed, and the rollback left changes that the next start undoes: the
// installation stays suspended, as the Windows Installer says of its own.
const int SETUP_EXIT_NOT_UNDONE = 1604;
const int SETUP_EXIT_ALREADY_RUNNING = 1618;
const int SETUP_EXIT_NO_LOG = 1622;
const int SETUP_EXIT_BAD_COMMAND_LINE = 1639;
const int SETUP_EXIT_RESTART_NEEDED = 3010;

extern const SETUP_SWITCH SETUP_SWITCHES[];
extern const int SETUP_SWITCH_COUNT;
extern const SETUP_EXIT_CODE SETUP_EXIT_CODES[];
extern const int SETUP_EXIT_CODE_COUNT;

// The text that /? shows and that an invalid command line follows with.
CString SetupUsage();
