// Byte buffers from movable global memory, recorded in a process-wide table
// of live blocks so that whatever is left at program end is freed.
#pragma once

#include "framework/fwdefs.h"

void* TrackedAlloc(DWORD dwSize, const char* pszTag);
void TrackedFree(void* p);
// Frees every block still recorded and releases the table.
void TrackedTerm();

int TrackedBlockCount();
DWORD TrackedByteTotal();
