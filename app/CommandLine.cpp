#include "CommandLine.h"

#include "engine/ServerEntry.h"

namespace {
bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

// The next argument: blanks end it outside quotes; quotes are dropped.
// bClosed is false when a quote runs to the end of the line.
const char* NextArgument(const char* psz, CString& strArgument, bool& bClosed)
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
    bClosed = !bQuoted;
    return psz;
}

const char* NextArgument(const char* psz, CString& strArgument)
{
    bool bClosed = true;
    return NextArgument(psz, strArgument, bClosed);
}

// A line that cannot be read as arguments may still ask for silence: a
// "/S" between blanks anywhere on it, inside a quote or not, keeps the run
// from showing its complaint to nobody.
bool MentionsSilent(const char* psz)
{
    CString strWord;
    for (;; ++psz) {
        if (*psz && !IsBlank(*psz)) {
            if (*psz != '"')
                strWord += *psz;
            continue;
        }
        if (strWord.CompareNoCase("/S") == 0 || strWord.CompareNoCase("-S") == 0)
            return true;
        if (!*psz)
            return false;
        strWord.Empty();
    }
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
        bool bClosed = true;
        psz = NextArgument(psz, strArgument, bClosed);
        if (!bClosed) {
            if (bValid && m_strError.IsEmpty())
                m_strError.Format("Unclosed quote: %s", static_cast<const char*>(strArgument));
            bValid = FALSE;
            continue;
        }
        if (strArgument.IsEmpty())
            continue;
        BOOL bSwitch = strArgument[0] == '/' || strArgument[0] == '-';
        if (bSwitch && TakeSwitch(strArgument.Mid(1)))
            continue;
        if (bValid && m_strError.IsEmpty())
            m_strError.Format("Invalid argument: %s", static_cast<const char*>(strArgument));
        bValid = FALSE;
    }
    if (!bValid && MentionsSilent(pszCommandLine))
        m_bSilent = TRUE;
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
    // Deployment tools pass it to every installer; this one never restarts.
    if (strSwitch.CompareNoCase("NORESTART") == 0)
        return TRUE;
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
