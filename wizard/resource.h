// Resource ids of the wizard's sheet and pages.
#pragma once

#define IDS_WIZARD 111
#define IDD_README 112
#define IDD_DESTINATION 113
#define IDB_SETUP 139
#define IDD_FOLDER 140

#define IDC_README 1010
#define IDC_DESTDIR 1011
#define IDC_FOLDER 1019
#define IDC_DRIVEPREFIX 1020
#define IDC_DRIVES 1021
#define IDC_AVAILDRIVE 1022
#define IDC_AVAILSPACE 1023
#define IDC_REQDEST 1024
#define IDC_REQSYSTEM 1025
#define IDC_FOLDERLIST 1031
