// The question every page asks before the wizard is cancelled.
#pragma once

#include "framework/fwdefs.h"

// TRUE when the user answered Yes to "Do you really want to quit Setup ?".
BOOL QueryQuit();
