// Command-line face of the GUI driver, for scripts outside Wine:
//   guidriver msgbox <timeout-seconds>          waits for a "Setup" message box, prints its text
//   guidriver press <button-id> <timeout-seconds> waits for it and presses the button
// Exit code 0 when the box was found, 1 on time-out, 2 on bad arguments.
#include "GuiDriver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "msgbox") == 0) {
        HWND hBox = WaitForMessageBox(0, "Setup", static_cast<DWORD>(atoi(argv[2])) * 1000);
        if (!hBox)
            return 1;
        printf("%s\n", static_cast<const char*>(GetMessageBoxText(hBox)));
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "press") == 0) {
        HWND hBox = WaitForMessageBox(0, "Setup", static_cast<DWORD>(atoi(argv[3])) * 1000);
        if (!hBox)
            return 1;
        return PressButton(hBox, atoi(argv[2])) ? 0 : 1;
    }
    fprintf(stderr, "usage: guidriver msgbox <timeout> | guidriver press <id> <timeout>\n");
    return 2;
}
