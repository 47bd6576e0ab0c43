// The read-me page: the install information's read-me text beside the
// setup picture, under the install information's title.
#pragma once

#include "framework/CPropertyPage.h"

class CMyPropertySheet;

class CMyPropertyPage1 : public CPropertyPage {
    DECLARE_SERIAL(CMyPropertyPage1)
public:
    CMyPropertyPage1();

    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;

    CMyPropertySheet* m_pSheet = nullptr;
    CWnd m_editReadMe;
};
