// The engine's one way to the user: a plain function that the shell hands
// over when the install information is loaded. String arguments are the
// addresses of CString objects, whose first word points to the text.
#pragma once

#include "framework/fwdefs.h"

typedef int (__cdecl* SETUPCALLBACK)(int nType, INT_PTR nArg, INT_PTR pArg);

enum : int {
    SCB_ERROR = 0,
    SCB_PROGRESS = 1,
    SCB_STATUSTEXT = 2,
    SCB_READONLY = 4,
    SCB_INSERTDISK = 5,
    // A line for the log of the run: nArg is the text; the answer is 1.
    SCB_LOG = 6,
};

// Sub-codes of SCB_ERROR. With SCBE_FILEINUSE and SCBE_CREATEDIR the
// last-error value tells why: access denied, or a file in use (a sharing or
// lock violation).
enum : int {
    SCBE_GENERAL = 0,
    SCBE_FILEINUSE = 5,
    SCBE_DISKFULL = 6,
    SCBE_CREATEDIR = 7,
    SCBE_DLLREGISTER = 8,
};

// Answers to SCB_READONLY.
enum : int {
    SCBR_OVERWRITE = 1,
    SCBR_SKIP = 2,
    SCBR_QUIT = 3,
};
