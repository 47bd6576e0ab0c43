#include "CommandLine.h"

#include "engine/ServerEntry.h"

namespace {
bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

// The next argument: blanks end it outside quotes; quotes are dropped.
const char* NextArgument(const char* psz, CString& strArgument)
{
    strArgument.Empty();
    while (IsBlank(*psz))
        ++psz;
    bool bQuoted = false;
    for (; *psz && (bQuoted || !IsBlank(*psz)); ++psz) {
        if (*psz == '"')
            bQuoted = !bQuoted;
        else
            strArgument += *psz;
    }
    return psz;
}
}

const char* SkipProgramName(const char* pszCommandLine)
{
    CString strName;
    const char* psz = NextArgument(pszCommandLine, strName);
    while (IsBlank(*psz))
        ++psz;
    return psz;
}

BOOL ParseServerCall(const char* pszArguments, CString& strPath, CString& strScratchName)
{
    CString strSwitch;
    CString strRest;
    const char* psz = NextArgument(pszArguments, strSwitch);
    psz = NextArgument(psz, strPath);
    psz = NextArgument(psz, strScratchName);
    NextArgument(psz, strRest);
    return strSwitch.CompareNoCase(SWITCH_REGISTER_SERVER) == 0 && !strPath.IsEmpty() && !strScratchName.IsEmpty() &&
           strRest.IsEmpty();
}

// Every argument is looked at, so that a silent run stays silent about a
// bad one; the first bad one is named.
BOOL CCommandLine::Parse(const char* pszCommandLine)
{
    BOOL bValid = TRUE;
    const char* psz = pszCommandLine;
    while (*psz) {
        CString strArgument;
        psz = NextArgument(psz, strArgument);
        if (strArgument.IsEmpty())
            continue;
        BOOL bSwitch = strArgument[0] == '/' || strArgument[0] == '-';
        if (bSwitch && TakeSwitch(strArgument.Mid(1)))
            continue;
        if (bValid && m_strError.IsEmpty())
            m_strError.Format("Invalid argument: %s", static_cast<const char*>(strArgument));
        bValid = FALSE;
    }
    return bValid;
}

BOOL CCommandLine::TakeSwitch(const CString& strSwitch)
{
    if (strSwitch.CompareNoCase("S") == 0) {
        m_bSilent = TRUE;
        return TRUE;
    }
    if (strSwitch.CompareNoCase("NOICONS") == 0) {
        m_bNoIcons = TRUE;
        return TRUE;
    }
    if (strSwitch == "?") {
        m_bUsage = TRUE;
        return TRUE;
    }
    return TakeValue(strSwitch, "DIR", m_strDir) || TakeValue(strSwitch, "GROUP", m_strGroup) ||
           TakeValue(strSwitch, "LOG", m_strLog);
}

// "NAME=value" with a value not given before.
BOOL CCommandLine::TakeValue(const CString& strSwitch, const char* pszName, CString& strValue)
{
    CString strPrefix = CString(pszName) + "=";
    if (strSwitch.GetLength() < strPrefix.GetLength() ||
        strSwitch.Left(strPrefix.GetLength()).CompareNoCase(strPrefix) != 0)
        return FALSE;
    CString strGiven = strSwitch.Mid(strPrefix.GetLength());
    if (strGiven.IsEmpty() || !strValue.IsEmpty()) {
        if (m_strError.IsEmpty())
            m_strError.Format("Invalid value: /%s", static_cast<const char*>(strSwitch));
        return FALSE;
    }
    strValue = strGiven;
    return TRUE;
}
