#include "UninstApp.h"

#include "SelfDelete.h"
#include "Uninstaller.h"

#include "model/TrackedAlloc.h"
#include "platform/FileUtil.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

namespace {
// The one application object, constructed before the entry code runs.
CUninstApp theApp;
}

// The install information's blocks are freed once its owner is gone.
CUninstApp::CUninstApp() : CWinApp(TrackedTerm) {}

BOOL CUninstApp::InitInstance()
{
    if (__argc == 5 && strcmp(__argv[1], FINISH_SWITCH) == 0) {
        CSelfDelete::Finish(__argv[2], __argv[3], __argv[4]);
        return FALSE;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    CString strExe = GetModulePath();
    if (!strExe.IsEmpty())
        CUninstaller(strExe).Run();
    return FALSE;
}
