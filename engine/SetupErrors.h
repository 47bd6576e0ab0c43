// Setup error codes left in the thread's last-error value. They carry the
// customer bit: 0xE000000n are errors, 0xA0000001 is a warning.
#pragma once

#include "framework/fwdefs.h"

enum : DWORD {
    SETUP_E_COPY = 0xE0000001,
    SETUP_E_NO_DRIVE = 0xE0000003,
    SETUP_E_INFO_MISSING = 0xE0000004,
    SETUP_E_INFO_INVALID = 0xE0000005,
    SETUP_E_GROUPS = 0xE0000006,
    SETUP_E_TARGET_CHECK = 0xE0000007,
    SETUP_E_ATTRIBUTES = 0xE0000008,
    SETUP_E_TARGET_ACCESS = 0xE0000009,
    SETUP_W_DISK_SPACE = 0xA0000001,
};
