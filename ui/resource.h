// Resource ids of the shell's dialogs.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_PROGRESS 103
#define IDD_STATUS 139
#define IDD_READONLY 141
#define IDC_PROGRESS 1003
#define IDC_STATUSTEXT 1005
#define IDC_MESSAGE 1032
#define IDC_DONTSHOW 1033
