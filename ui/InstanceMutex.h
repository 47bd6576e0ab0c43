// The named mutex that a running setup holds for its whole life,
// interactive or not; the uninstaller takes it too, so that neither runs
// beside the other. It lives in the global namespace, so that a run as the
// system account (a deployment tool's) and a user's run in another session
// see each other.
#pragma once

#include "framework/CHandle.h"

const char SETUP_INSTANCE_MUTEX[] = "MessageCode.SetupInstance";

class CInstanceMutex {
public:
    // Creates "Global\" and the name, or the plain name on a system without
    // a global namespace. FALSE when another copy holds it; a mutex that
    // cannot be made at all lets the run go on, as no copy then holds it.
    BOOL Take();

private:
    CKernelHandle m_mutex;
};
