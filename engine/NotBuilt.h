// The phases that are still to be written answer with a plain platform code.
#pragma once

#include "framework/fwdefs.h"

inline BOOL NotBuilt()
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
