// The destination page: drive and directory of the installation, with the
// space it needs and the space the drive has. Leaving the page checks the
// choice; nothing is created on disk here.
#pragma once

#include "resource.h"

#include "framework/CPropertyPage.h"

class CMyPropertySheet;

// "%2.1f MB" of the byte count, rounded half up; "%2.1f GB" past 10,000 MB.
CString FormatSpaceFigure(ULONGLONG ullBytes);

class CMyPropertyPage2 : public CPropertyPage {
    DECLARE_SERIAL(CMyPropertyPage2)
public:
    CMyPropertyPage2();

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    BOOL OnQueryCancel() override;

    BEGIN_MSG_MAP(CMyPropertyPage2)
        COMMAND_HANDLER(IDC_DRIVES, CBN_SELCHANGE, OnDriveChange)
        COMMAND_HANDLER(IDC_DESTDIR, EN_CHANGE, UpdatePathState)
        CHAIN_MSG_MAP(CPropertyPage)
    END_MSG_MAP()

    CMyPropertySheet* m_pSheet = nullptr;
    ULONGLONG m_ullFreeBytes = 0;
    BOOL m_bConfirmed = FALSE;
    BOOL m_bLowSpaceAccepted = FALSE;
    BOOL m_bPathValid = FALSE;

private:
    void OnDriveChange();
    void UpdatePathState();
    void SetButtons();
    BOOL SelectDrive(int nIndex);
    void FillControls();
    void ShowDriveFigures();
    BOOL ValidateDestination();
    CString TypedPath() const;
};
