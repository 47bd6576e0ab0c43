#include "ItemCaption.h"

#include "platform/FileUtil.h"

namespace {
struct CCaptionRow {
    const char* pszFileName;
    const char* pszCaption;
};

// Searched in this order; names compare without regard to case.
const CCaptionRow ITEM_CAPTIONS[] = {
    {"Mapsmith.exe", "Mapsmith"},
    {"Tilewrig.hlp", "Tilewright ActiveX Help"},
    {"Mapsmith.hlp", "Mapsmith Help"},
    {"Joust.vbp", "Joust - VB"},
    {"Orbit.vbp", "Orbit - VB"},
    {"Joust.exe", "Joust - Delphi"},
    {"Orbit.exe", "Orbit - Delphi"},
};
}

CString GetItemCaption(const char* pszFileName)
{
    CString strName(pszFileName);
    for (const CCaptionRow& row : ITEM_CAPTIONS)
        if (strName.CompareNoCase(row.pszFileName) == 0)
            return CString(row.pszCaption);
    return GetFileTitleFromPath(pszFileName);
}
