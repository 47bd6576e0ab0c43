// Command-line face of the GUI driver, for scripts outside Wine. Each
// command waits at most the given seconds; exit code 0 when the window was
// found (and the action done), 1 on time-out, 2 on bad arguments.
//   guidriver msgbox <timeout>                 prints the text of a "Setup" message box
//   guidriver press <button-id> <timeout>      presses a button of a "Setup" message box
//   guidriver window <title> <timeout>         waits for a window with that title
//   guidriver sheet <title> next|back|finish|cancel
//                                              presses a wizard button of that window
#include "GuiDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
DWORD Seconds(const char* psz)
{
    return static_cast<DWORD>(atoi(psz)) * 1000;
}

HWND WaitForTitle(const char* pszTitle, DWORD dwTimeoutMs)
{
    WindowQuery query;
    query.pszTitle = pszTitle;
    return WaitForTopWindow(query, dwTimeoutMs);
}

int PressSheetButton(const char* pszTitle, const char* pszButton)
{
    static const struct {
        const char* pszName;
        int nButton;
    } buttons[] = {{"next", PSBTN_NEXT}, {"back", PSBTN_BACK}, {"finish", PSBTN_FINISH}, {"cancel", PSBTN_CANCEL}};
    HWND hSheet = WaitForTitle(pszTitle, 10000);
    if (!hSheet)
        return 1;
    for (const auto& button : buttons)
        if (strcmp(button.pszName, pszButton) == 0)
            return PostMessageA(hSheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button.nButton), 0) ? 0 : 1;
    return 2;
}
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "msgbox") == 0) {
        HWND hBox = WaitForMessageBox(0, "Setup", Seconds(argv[2]));
        if (!hBox)
            return 1;
        printf("%s\n", static_cast<const char*>(GetMessageBoxText(hBox)));
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "press") == 0) {
        HWND hBox = WaitForMessageBox(0, "Setup", Seconds(argv[3]));
        if (!hBox)
            return 1;
        return PressButton(hBox, atoi(argv[2])) && WaitForWindowGone(hBox, 10000) ? 0 : 1;
    }
    if (argc == 4 && strcmp(argv[1], "window") == 0)
        return WaitForTitle(argv[2], Seconds(argv[3])) ? 0 : 1;
    if (argc == 4 && strcmp(argv[1], "sheet") == 0)
        return PressSheetButton(argv[2], argv[3]);
    fprintf(stderr, "usage: guidriver msgbox <timeout> | press <id> <timeout> | window <title> <timeout> | "
                    "sheet <title> next|back|finish|cancel\n");
    return 2;
}
