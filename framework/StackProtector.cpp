// The value the compiler's stack protector keeps below the return address
// of functions with arrays or addressed locals, and what such a function
// calls when it finds the value overwritten on return. The compiler's own
// runtime library draws the value from the cryptographic provider, which
// would bind advapi32.dll at load time; this draws it from kernel32.dll as
// the system's compilers do: times, counters and identifiers that differ
// from run to run, mixed with where the system placed the stack.
#include <windows.h>

#include <cstdint>

namespace {
const DWORD STATUS_STACK_BUFFER_OVERRUN_CODE = 0xC0000409;

// Its own frame holds the guard from before and is checked against the
// value after: it is the one function not protected.
__attribute__((constructor(101), no_stack_protector)) void SetStackGuard();
}

extern "C" {
uintptr_t __stack_chk_guard = static_cast<uintptr_t>(0x2B992DDFA232BB40ull);

// The stack is not to be trusted any more: no message, no handler.
[[noreturn]] void __stack_chk_fail()
{
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN_CODE);
    __builtin_trap();
}
}

namespace {
void SetStackGuard()
{
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter;
    uint64_t nValue = QueryPerformanceCounter(&counter) ? static_cast<uint64_t>(counter.QuadPart) : 0;
    nValue ^= (static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
    nValue ^= static_cast<uint64_t>(GetCurrentProcessId()) << 40 ^ static_cast<uint64_t>(GetCurrentThreadId()) << 20;
    nValue ^= GetTickCount();
    nValue ^= reinterpret_cast<uintptr_t>(&counter);
    uintptr_t nGuard = static_cast<uintptr_t>(nValue ^ nValue >> 32);
    if (nGuard != 0)
        __stack_chk_guard = nGuard;
}
}
