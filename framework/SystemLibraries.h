// A program runs from a folder others can write to (a downloads folder):
// a library of a system library's name placed there would be loaded in the
// system library's place, with the program's rights. The programs bind
// only KERNEL32 and the C runtime at load time and every other system
// library at its first call; this has that binding load each from the
// system directory by full path, after restricting the search of every
// library loaded by name, theirs included, to the system directory.
#pragma once

#include <windows.h>

// Restricts the search at start, for libraries loaded before any delayed
// binding; the first delayed binding restricts it as well.
void LoadLibrariesFromSystemDirectoryOnly();

// Loads a library by full path with the libraries it binds looked for in
// its own folder and the system directory, never in the program's folder;
// null on failure, with the thread's last error.
HMODULE LoadLibraryBesideItsDependencies(const char* pszPath);
