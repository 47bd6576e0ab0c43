// The application object of Uninst.exe. Started without arguments it
// uninstalls; started by itself with the finish switch, it is the copy
// that removes the original's file at the end.
#pragma once

#include "framework/CWinApp.h"

class CUninstApp : public CWinApp {
public:
    CUninstApp();
    BOOL InitInstance() override;
};
