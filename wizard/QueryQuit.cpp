#include "QueryQuit.h"

#include "framework/CWinApp.h"

BOOL QueryQuit()
{
    return AfxMessageBox("Do you really want to quit Setup ?", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
           IDYES;
}
