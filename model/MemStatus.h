// A string table with a text and a number; registered and creatable, and
// stored in the archive form of the framework's counted records.
#pragma once

#include "framework/CArray.h"
#include "framework/CObject.h"

class CMemStatus : public CObject {
    DECLARE_SERIAL(CMemStatus)
public:
    CMemStatus();
    ~CMemStatus() override;
    void Serialize(CArchive& ar) override;

    static int GetLiveCount() { return s_nLive; }

    CStringArray m_strings;
    CString m_strText;
    WORD m_wNumber = 0;

private:
    static int s_nLive;
};
