// The application object: one static instance per program, started by the
// framework's WinMain through InitInstance.
#pragma once

#include "CString.h"

// Framework command and string ids.
enum : UINT {
    ID_HELP = 57670,
    AFX_IDS_APP_TITLE = 57344,
};

class CWnd;

class CWinApp {
public:
    // pfnTerm runs in the destructor of this base part, after every member of
    // the derived application object is gone.
    explicit CWinApp(void (*pfnTerm)() = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() = 0;
    // The program's exit code, asked for once InitInstance has returned.
    virtual int ExitInstance() { return 0; }
    // Command routing for commands no window handled; TRUE when handled.
    virtual BOOL OnCmdMsg(UINT nID);
    // The standard help handler: opens the program's help file.
    void OnHelp();

    // Message box with the application title as caption, owned by the last
    // active popup of the main window; no icon given means the exclamation icon.
    virtual int DoMessageBox(const char* pszText, UINT nType);

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;

private:
    void (*m_pfnTerm)();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The last active popup of the main window, or none.
HWND AfxGetDefaultOwner();
int AfxMessageBox(const char* pszText, UINT nType = MB_OK);
