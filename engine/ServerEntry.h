// A library's self-registration entry, called in a process of its own: the
// setup program started with an internal switch, the library's full path
// and the full name of the scratch key its registration is captured in.
// The setup only learns the outcome from that process's exit code, so a
// library that crashes or never returns cannot take the setup with it.
#pragma once

#include <windows.h>

// The internal switch; not one a user is told about.
extern const char SWITCH_REGISTER_SERVER[];

// The exit codes of such a process; an entry that fails ends it with its
// own (negative) result code, and a crash with the exception's code.
const DWORD SERVER_ENTRY_DONE = 0;
const DWORD SERVER_ENTRY_NO_LIBRARY = 1;
const DWORD SERVER_ENTRY_NO_EXPORT = 2;
const DWORD SERVER_ENTRY_NO_COM = 3;
const DWORD SERVER_ENTRY_NO_SCRATCH = 4;

// In the process started for it: loads the library at the full path as
// the setup loads libraries and calls its "DllRegisterServer" under a COM
// initialisation of its own, with the predefined keys redirected to the
// scratch key named (RegistryCapture.h). A crash in the library ends the
// process at once, without the system's error box or a debugger.
DWORD CallServerEntry(const char* pszPath, const char* pszScratchName);
