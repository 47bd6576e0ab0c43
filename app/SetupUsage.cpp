#include "SetupUsage.h"

#include <iterator>

const SETUP_SWITCH SETUP_SWITCHES[] = {
    {"/S", "install without any window or question"},
    {"/DIR=path", "the destination directory, with its drive"},
    {"/GROUP=name", "the program folder"},
    {"/NOICONS", "no program folder"},
    {"/LOG=file", "write a log of the installation"},
    {"/NORESTART", "accepted: the setup never restarts Windows"},
    {"/?", "this text"},
};
const int SETUP_SWITCH_COUNT = static_cast<int>(std::size(SETUP_SWITCHES));

const SETUP_EXIT_CODE SETUP_EXIT_CODES[] = {
    {SETUP_EXIT_SUCCESS, "installed (the log counts what was passed over as warnings)"},
    {5, "access denied to a file or directory; rolled back"},
    {32, "a file to be replaced is in use; rolled back"},
    {112, "not enough space on the destination drive"},
    {145, "another application is in the destination directory"},
    {SETUP_EXIT_FAILED, "failed and rolled back"},
    {SETUP_EXIT_NOT_UNDONE, "failed and not all rolled back (the next start finishes it)"},
    {SETUP_EXIT_ALREADY_RUNNING, "another setup is running"},
    {SETUP_EXIT_NO_LOG, "the log cannot be created"},
    {SETUP_EXIT_BAD_COMMAND_LINE, "invalid command line"},
    {SETUP_EXIT_RESTART_NEEDED, "installed; a replaced file is deleted at the next restart"},
};
const int SETUP_EXIT_CODE_COUNT = static_cast<int>(std::size(SETUP_EXIT_CODES));

CString SetupUsage()
{
    return UsageText("Setup", SETUP_SWITCHES, SETUP_SWITCH_COUNT, SETUP_EXIT_CODES, SETUP_EXIT_CODE_COUNT);
}
