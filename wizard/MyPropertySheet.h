// The setup wizard: read-me, destination and program folder pages.
#pragma once

#include "MyPropertyPage1.h"
#include "MyPropertyPage2.h"
#include "MyPropertyPage3.h"

#include "framework/CPropertySheet.h"

class CMyPropertySheet : public CPropertySheet {
public:
    static const CRuntimeClass classCMyPropertySheet;
    const CRuntimeClass* GetRuntimeClass() const override { return &classCMyPropertySheet; }

    explicit CMyPropertySheet(HWND hParent = nullptr);

    CMyPropertyPage1 m_page1;
    CMyPropertyPage2 m_page2;
    CMyPropertyPage3 m_page3;
};
