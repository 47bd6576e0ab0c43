#include "MyPropertySheet.h"

#include "WizardHost.h"
#include "resource.h"

const CRuntimeClass CMyPropertySheet::classCMyPropertySheet = {"CMyPropertySheet", 0xFFFF, nullptr,
                                                               RUNTIME_CLASS(CPropertySheet)};

// Pages 2 and 3 take their titles from their templates' captions.
CMyPropertySheet::CMyPropertySheet(HWND hParent) : CPropertySheet(IDS_WIZARD, hParent, 0)
{
    m_page1.m_psp.dwFlags &= ~static_cast<DWORD>(PSP_HASHELP);
    m_page1.SetTitle(GetWizardEngine().m_strTitle);
    m_page2.m_psp.dwFlags &= ~static_cast<DWORD>(PSP_HASHELP);
    m_page3.m_psp.dwFlags &= ~static_cast<DWORD>(PSP_HASHELP);
    m_page1.m_pSheet = this;
    m_page2.m_pSheet = this;
    m_page3.m_pSheet = this;
    AddPage(&m_page1);
    AddPage(&m_page2);
    AddPage(&m_page3);
    SetWizardMode();
}
