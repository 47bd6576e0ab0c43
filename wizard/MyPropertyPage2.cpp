#include "MyPropertyPage2.h"

#include "MyPropertySheet.h"
#include "QueryQuit.h"
#include "WizardHost.h"

#include "framework/CWinApp.h"
#include "model/SetupChoices.h"
#include "platform/FileUtil.h"

IMPLEMENT_SERIAL(CMyPropertyPage2, CPropertyPage, 0xFFFF)

namespace {
const char MSG_SETUP_CANCELLED[] = "An error has occurred. The Setup will be cancelled.";
const char MSG_LOW_SPACE[] =
    "There is'nt likely enough free disk-space on your hard-disk.\r\nDo you want to proceed Setup ?";
const UINT STYLE_WARN_NO_DEFAULT = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
const ULONGLONG MEGABYTE = 1048576;
const ULONGLONG GIGABYTE = 1073741824;
// Figures above this many tenths of a megabyte are shown in gigabytes.
const ULONGLONG LARGEST_MEGABYTE_TENTHS = 100000;

// Tenths of the unit, rounded half up; the whole units and the rest are
// divided apart, so that no byte count can overflow.
ULONGLONG TenthsOf(ULONGLONG ullBytes, ULONGLONG ullUnit)
{
    return ullBytes / ullUnit * 10 + (ullBytes % ullUnit * 10 + ullUnit / 2) / ullUnit;
}
}

CString FormatSpaceFigure(ULONGLONG ullBytes)
{
    ULONGLONG ullTenths = TenthsOf(ullBytes, MEGABYTE);
    const char* pszUnit = "MB";
    if (ullTenths > LARGEST_MEGABYTE_TENTHS) {
        ullTenths = TenthsOf(ullBytes, GIGABYTE);
        pszUnit = "GB";
    }
    CString strFigure;
    strFigure.Format("%llu.%u %s", ullTenths / 10, static_cast<unsigned>(ullTenths % 10), pszUnit);
    return strFigure;
}

CMyPropertyPage2::CMyPropertyPage2() : CPropertyPage(IDD_DESTINATION) {}

BOOL CMyPropertyPage2::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    if (!SelectDrive(GetWizardEngine().m_nCurDrive)) {
        m_pSheet->EndWizard(IDCANCEL);
        return TRUE;
    }
    FillControls();
    ShowDriveFigures();
    UpdatePathState();
    return TRUE;
}

BOOL CMyPropertyPage2::OnSetActive()
{
    SetButtons();
    return CPropertyPage::OnSetActive();
}

BOOL CMyPropertyPage2::OnKillActive()
{
    if (!ValidateDestination())
        return FALSE;
    return CPropertyPage::OnKillActive();
}

BOOL CMyPropertyPage2::OnQueryCancel()
{
    return QueryQuit();
}

void CMyPropertyPage2::SetButtons()
{
    m_pSheet->SetWizardButtons(m_bPathValid ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

void CMyPropertyPage2::OnDriveChange()
{
    int nIndex = static_cast<int>(SendDlgItemMessageA(m_hWnd, IDC_DRIVES, CB_GETCURSEL, 0, 0));
    if (nIndex == CB_ERR)
        return;
    if (nIndex != GetWizardEngine().m_nCurDrive && !SelectDrive(nIndex)) {
        m_pSheet->EndWizard(IDCANCEL);
        return;
    }
    ShowDriveFigures();
}

CString CMyPropertyPage2::TypedPath() const
{
    return MakeDestinationPath(GetWizardEngine().DriveLetter(GetWizardEngine().m_nCurDrive), GetItemText(IDC_DESTDIR));
}

void CMyPropertyPage2::UpdatePathState()
{
    m_bConfirmed = FALSE;
    m_bPathValid = IsValidDestinationPath(TypedPath());
    SetButtons();
}

BOOL CMyPropertyPage2::SelectDrive(int nIndex)
{
    CSetupMngr& engine = GetWizardEngine();
    int nPrevious = engine.m_nCurDrive;
    engine.SetCurDrive(nIndex);
    while (!engine.FreeSpaceCur(m_ullFreeBytes)) {
        CString strMessage;
        strMessage.Format("Error by accessing Drive %c:", engine.DriveLetter(nIndex));
        if (AfxMessageBox(strMessage, MB_RETRYCANCEL | MB_ICONHAND) != IDRETRY) {
            engine.SetCurDrive(nPrevious);
            if (!engine.FreeSpaceCur(m_ullFreeBytes)) {
                AfxMessageBox(MSG_SETUP_CANCELLED, MB_OK | MB_ICONHAND);
                return FALSE;
            }
            SendDlgItemMessageA(m_hWnd, IDC_DRIVES, CB_SETCURSEL, static_cast<WPARAM>(nPrevious), 0);
            return TRUE;
        }
    }
    return TRUE;
}

void CMyPropertyPage2::FillControls()
{
    CSetupMngr& engine = GetWizardEngine();
    SetDlgItemTextA(m_hWnd, IDC_DESTDIR, engine.m_strDestDir);
    for (int i = 0; i < engine.m_drives.GetSize(); ++i) {
        char szDrive[3] = {engine.DriveLetter(i), ':', '\0'};
        SendDlgItemMessageA(m_hWnd, IDC_DRIVES, CB_INSERTSTRING, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(szDrive));
    }
    SendDlgItemMessageA(m_hWnd, IDC_DRIVES, CB_SETCURSEL, static_cast<WPARAM>(engine.m_nCurDrive), 0);
    SetDlgItemTextA(m_hWnd, IDC_REQDEST,
                    FormatSpaceFigure(engine.DestinationBytesNeeded() + engine.m_dwOtherBytes));
    SetDlgItemTextA(m_hWnd, IDC_REQSYSTEM, FormatSpaceFigure(engine.m_dwSysBytes));
}

void CMyPropertyPage2::ShowDriveFigures()
{
    m_bLowSpaceAccepted = FALSE;
    m_bConfirmed = FALSE;
    char chDrive = GetWizardEngine().DriveLetter(GetWizardEngine().m_nCurDrive);
    char szPrefix[3] = {chDrive, ':', '\0'};
    SetDlgItemTextA(m_hWnd, IDC_DRIVEPREFIX, szPrefix);
    CString strDrive;
    strDrive.Format("Drive %c:", chDrive);
    SetDlgItemTextA(m_hWnd, IDC_AVAILDRIVE, strDrive);
    SetDlgItemTextA(m_hWnd, IDC_AVAILSPACE, FormatSpaceFigure(m_ullFreeBytes));
}

// An earlier installation found by a former check belongs to a destination
// that is no longer the one chosen: every check starts without it.
BOOL CMyPropertyPage2::ValidateDestination()
{
    CSetupMngr& engine = GetWizardEngine();
    engine.ClearPrevInstall();
    if (!engine.EnoughSpace() && !m_bLowSpaceAccepted) {
        if (AfxMessageBox(MSG_LOW_SPACE, STYLE_WARN_NO_DEFAULT) != IDYES)
            return FALSE;
        m_bLowSpaceAccepted = TRUE;
    }
    CString strPath = TypedPath();
    DWORD dwCode = CheckDirectoryExists(strPath);
    CString strMessage;
    if (dwCode == ERROR_SUCCESS) {
        if (!engine.CheckExistingInstallation(strPath) && !m_bConfirmed) {
            strMessage.Format("There is already another application in the destination directory \r\n%s.\r\n"
                              "Would you like to proceed ?",
                              static_cast<const char*>(strPath));
            if (AfxMessageBox(strMessage, STYLE_WARN_NO_DEFAULT) != IDYES)
                return FALSE;
            m_bConfirmed = TRUE;
        }
    } else if (dwCode == ERROR_PATH_NOT_FOUND) {
        if (!m_bConfirmed) {
            strMessage.Format("The destination directory %s does not exist. Do you want to create it ?",
                              static_cast<const char*>(strPath));
            if (AfxMessageBox(strMessage, MB_YESNO | MB_ICONQUESTION) != IDYES)
                return FALSE;
            m_bConfirmed = TRUE;
        }
    } else {
        strMessage.Format("Error by accessing Directory \r\n%s .", static_cast<const char*>(strPath));
        AfxMessageBox(strMessage, MB_OK | MB_ICONHAND);
        return FALSE;
    }
    engine.SetDestination(strPath);
    return TRUE;
}
