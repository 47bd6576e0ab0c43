// Holds a file open with no sharing, so that a test can see it "in use"
// from another process.
//
//   payload_holdfile [-shareread] <file> <ready-event> <release-event> [timeout-ms]
//
// Both events are named events the caller has created. The program opens
// the file for reading with no sharing (with -shareread: others may still
// read it, as with a loaded library), signals <ready-event>, then waits
// for <release-event> or the timeout (default 60000 ms) and closes the
// file. Exit code: 0 released, 1 bad arguments, 2 the file could not be
// opened, 3 an event could not be opened or signalled, 4 timed out.
#include "framework/CHandle.h"

#include <cstdlib>
#include <cstring>

namespace {
const DWORD HOLD_DEFAULT_TIMEOUT = 60000;

enum HoldExit {
    HOLD_RELEASED = 0,
    HOLD_BAD_ARGUMENTS = 1,
    HOLD_OPEN_FAILED = 2,
    HOLD_EVENT_FAILED = 3,
    HOLD_TIMED_OUT = 4,
};

int Hold(const char* pszFile, DWORD dwShare, const char* pszReady, const char* pszRelease,
         DWORD dwTimeout)
{
    CKernelHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, pszReady));
    CKernelHandle release(OpenEventA(SYNCHRONIZE, FALSE, pszRelease));
    if (ready.IsEmpty() || release.IsEmpty())
        return HOLD_EVENT_FAILED;
    CFileHandle file(CreateFileA(pszFile, GENERIC_READ, dwShare, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsEmpty())
        return HOLD_OPEN_FAILED;
    if (!SetEvent(ready))
        return HOLD_EVENT_FAILED;
    DWORD dwWait = WaitForSingleObject(release, dwTimeout);
    if (dwWait == WAIT_OBJECT_0)
        return HOLD_RELEASED;
    return dwWait == WAIT_TIMEOUT ? HOLD_TIMED_OUT : HOLD_EVENT_FAILED;
}
}

int main(int argc, char** argv)
{
    DWORD dwShare = 0;
    int nFirst = 1;
    if (argc > 1 && strcmp(argv[1], "-shareread") == 0) {
        dwShare = FILE_SHARE_READ;
        nFirst = 2;
    }
    int nArgs = argc - nFirst;
    if (nArgs != 3 && nArgs != 4)
        return HOLD_BAD_ARGUMENTS;
    DWORD dwTimeout = HOLD_DEFAULT_TIMEOUT;
    if (nArgs == 4) {
        char* pszEnd = nullptr;
        dwTimeout = strtoul(argv[nFirst + 3], &pszEnd, 10);
        if (*pszEnd)
            return HOLD_BAD_ARGUMENTS;
    }
    return Hold(argv[nFirst], dwShare, argv[nFirst + 1], argv[nFirst + 2], dwTimeout);
}
