// Common definitions of the framework layer: the Win32 headers in their ANSI form
// and the few types every module shares.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#undef UNICODE
#undef _UNICODE
#include <windows.h>

// Opaque list position, as the framework's lists hand them out.
struct __POSITION {};
typedef __POSITION* POSITION;
