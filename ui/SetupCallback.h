// The shell's answer to the engine's requests.
#pragma once

#include "model/SetupCallback.h"

#include "framework/CString.h"

int __cdecl SetupCallback(int nType, INT_PTR nArg, INT_PTR pArg);

// The text the shell shows for an SCB_ERROR sub-code; empty for an unknown one.
CString ErrorMessageText(INT_PTR nCode, INT_PTR pArg);
