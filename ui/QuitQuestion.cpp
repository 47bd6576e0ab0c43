#include "QuitQuestion.h"

#include "framework/CWinApp.h"

BOOL AskQuitSetup(UINT nStyle)
{
    return AfxMessageBox("Do you really want to quit Setup ?", nStyle) == IDYES;
}
