// The named mutex that a running setup holds for its whole life,
// interactive or not; the uninstaller takes it too, so that neither runs
// beside the other.
#pragma once

const char SETUP_INSTANCE_MUTEX[] = "MessageCode.SetupInstance";
