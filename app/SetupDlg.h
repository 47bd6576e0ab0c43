// The backdrop dialog: its initialisation runs the whole setup sequence.
#pragma once

#include "SingleInstanceDlg.h"
#include "SetupWindows.h"

#include "ui/EndSessionGuard.h"
#include "ui/MemoryDC.h"
#include "ui/ProgressDlg.h"
#include "ui/ReadOnlyDlg.h"
#include "ui/SetupHost.h"
#include "ui/StatusDlg.h"

class CSetupMngr;

class CSetupDlg : public CSingleInstanceDlg, public ISetupWindows, public ISetupHost {
public:
    CSetupDlg(CSetupMngr& engine, HWND hParent = nullptr);
    ~CSetupDlg() override;

    BOOL OnInitDialog() override;
    void RunSetup();
    int AskReadOnly(const CString& strPath) override;
    CProgressDlg& GetProgressDlg() override { return m_dlgProgress; }

    BEGIN_MSG_MAP(CSetupDlg)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_QUERYDRAGICON, OnQueryDragIcon)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_QUERYENDSESSION, m_endSession.OnQueryEndSession)
        MESSAGE_HANDLER(WM_ENDSESSION, m_endSession.OnEndSession)
        CHAIN_MSG_MAP(CSingleInstanceDlg)
    END_MSG_MAP()

    CMemoryDC m_memDC;
    CStatusDlg m_dlgStatus;
    CReadOnlyDlg m_dlgReadOnly;
    CProgressDlg m_dlgProgress;
    CString m_strFinalMessage;
    UINT m_nFinalStyle = MB_ICONINFORMATION;
    HICON m_hIcon;

private:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    BOOL PaintBackdrop(int cx, int cy);

    // The sequence's windows.
    void CreateStatus(const char* pszText) override;
    void SetStatusText(const char* pszText) override;
    void DestroyStatus() override;
    void SetIcons() override;
    void ShowBackdrop(const CString& strCaption) override;
    INT_PTR RunWizard() override;
    void RepaintBackdrop() override;
    void CreateProgress() override;
    void DestroyProgress() override;
    int ShowMessage(const char* pszText, UINT nStyle) override;
    void RefuseSessionEnd(const CString& strTitle) override;
    void AcceptSessionEnd() override;

    CSetupMngr& m_engine;
    CEndSessionGuard m_endSession;
};
