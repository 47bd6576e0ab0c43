// Resource ids of the application's own resources.
#pragma once

#define IDD_SETUP_DIALOG 102
