// Shows one of the shell's dialogs as it looks during a run, for the
// screenshots of the documentation:
//   uishow status | progress | readonly
// The dialog stays until the process is ended.
#include "framework/CWinApp.h"
#include "ui/ProgressDlg.h"
#include "ui/ReadOnlyDlg.h"
#include "ui/StatusDlg.h"

#include <commctrl.h>

#include <cstring>

namespace {
class CShowApp : public CWinApp {
public:
    BOOL InitInstance() override { return FALSE; }
} theApp;

void RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
}

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    const char* pszWhat = argc > 1 ? argv[1] : "";
    if (strcmp(pszWhat, "status") == 0) {
        CStatusDlg dlg;
        if (!dlg.Create(nullptr))
            return 1;
        dlg.SetText("Initializing Setup...");
        RunMessageLoop();
    } else if (strcmp(pszWhat, "progress") == 0) {
        CProgressDlg dlg;
        if (!dlg.Create(nullptr))
            return 1;
        dlg.SetText("Mapsmith.exe");
        dlg.SetPos(42);
        RunMessageLoop();
    } else if (strcmp(pszWhat, "readonly") == 0) {
        CReadOnlyDlg dlg;
        dlg.Ask("C:\\Tilewright\\Mapsmith.hlp");
    } else {
        return 2;
    }
    return 0;
}
