// The fixed order of the setup phases with every branch and message.
#pragma once

#include "SetupSteps.h"
#include "SetupWindows.h"

// The final message of a complete installation.
extern const char MSG_SETUP_COMPLETED[];

// The property sheet's result when the user pressed Finish.
const INT_PTR ID_WIZFINISH = 12325;

// Runs the sequence; leaves the text and style of the final message box.
// FALSE when something the run changed could not be given back: it stays
// in the journal for the next start.
BOOL RunSetupSequence(ISetupSteps& steps, ISetupWindows& windows, SETUPCALLBACK pfnCallback,
                      CString& strFinalMessage, UINT& nFinalStyle);
