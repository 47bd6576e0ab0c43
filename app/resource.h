// Resource ids of the application's own resources.
#pragma once

#define IDD_SETUP_DIALOG 102

// The program's own version, in its version resource and its log.
#define SETUP_VERSION_NUMBERS 1, 1, 0, 0
#define SETUP_VERSION_TEXT "1.1.0.0"
