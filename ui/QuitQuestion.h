// The shell's one question before giving up.
#pragma once

#include "framework/fwdefs.h"

// Asks "Do you really want to quit Setup ?" with the given Yes/No style;
// TRUE when the user answered Yes.
BOOL AskQuitSetup(UINT nStyle);
