#include "MemStatus.h"

#include "framework/CArchive.h"

IMPLEMENT_SERIAL(CMemStatus, CObject, 0)

namespace {
const int STRING_BLOCK = 50;
}

int CMemStatus::s_nLive = 0;

CMemStatus::CMemStatus()
{
    m_strings.SetSize(STRING_BLOCK);
    ++s_nLive;
}

CMemStatus::~CMemStatus()
{
    --s_nLive;
}

void CMemStatus::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_strings.GetSize()));
        for (int i = 0; i < m_strings.GetSize(); ++i)
            ar << m_strings[i];
        ar << m_strText << m_wNumber;
        return;
    }
    DWORD dwCount = ar.ReadCount();
    m_strings.RemoveAll();
    for (DWORD i = 0; i < dwCount; ++i) {
        CString str;
        ar >> str;
        m_strings.Add(str);
    }
    ar >> m_strText >> m_wNumber;
}
