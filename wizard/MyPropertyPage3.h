// The program folder page: the name of the Program Manager group that will
// receive the product's items, typed or picked from the existing groups.
#pragma once

#include "resource.h"

#include "framework/CPropertyPage.h"

class CMyPropertySheet;

class CMyPropertyPage3 : public CPropertyPage {
    DECLARE_SERIAL(CMyPropertyPage3)
public:
    CMyPropertyPage3();

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override;
    BOOL OnQueryCancel() override;

    BEGIN_MSG_MAP(CMyPropertyPage3)
        COMMAND_HANDLER(IDC_FOLDER, EN_CHANGE, UpdateNameState)
        COMMAND_HANDLER(IDC_FOLDERLIST, LBN_SELCHANGE, OnGroupPicked)
        CHAIN_MSG_MAP(CPropertyPage)
    END_MSG_MAP()

    CMyPropertySheet* m_pSheet = nullptr;
    BOOL m_bNameValid = FALSE;

private:
    void FillGroupList();
    void SelectMatchingGroup();
    void UpdateNameState();
    void OnGroupPicked();
    void SetButtons();
};
