// The shell's answer to the engine's requests.
#pragma once

#include "model/SetupCallback.h"

int __cdecl SetupCallback(int nType, INT_PTR nArg, INT_PTR pArg);
