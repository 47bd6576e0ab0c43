// Entry point of a program built on the framework: the static application
// object is already constructed; InitInstance does the program's work.
#include "CWinApp.h"
#include "SystemLibraries.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    LoadLibrariesFromSystemDirectoryOnly();
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return 0;
    pApp->m_hInstance = hInstance;
    pApp->InitInstance();
    return pApp->ExitInstance();
}
