#include "UninstCommandLine.h"

#include "ui/UsageText.h"

#include <iterator>

namespace {
const char SWITCH_SILENT[] = "S";
const char SWITCH_LOG[] = "LOG=";

const SETUP_SWITCH UNINST_SWITCHES[] = {
    {"/S", "remove without any window or question"},
    {"/LOG=file", "write a log of the removal"},
};

const SETUP_EXIT_CODE UNINST_EXIT_CODES[] = {
    {UNINST_EXIT_SUCCESS, "removed"},
    {UNINST_EXIT_FAILED, "not removed completely; the log says what stays"},
    {UNINST_EXIT_ALREADY_RUNNING, "a setup or an uninstall is running"},
    {UNINST_EXIT_NO_LOG, "the log cannot be created"},
    {UNINST_EXIT_BAD_COMMAND_LINE, "invalid command line"},
    {UNINST_EXIT_RESTART_NEEDED, "removed; a file goes at the next restart"},
};
}

BOOL CUninstCommandLine::Parse(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        CString strArgument = argv[i];
        BOOL bSwitch = strArgument.GetLength() > 1 && (strArgument[0] == '/' || strArgument[0] == '-');
        if ((!bSwitch || !TakeSwitch(strArgument.Mid(1))) && m_strError.IsEmpty())
            m_strError.Format("Invalid argument: %s", argv[i]);
    }
    return m_strError.IsEmpty();
}

// A switch given twice is refused, even with the same value: the line
// was not written as meant.
BOOL CUninstCommandLine::TakeSwitch(const CString& strSwitch)
{
    if (strSwitch.CompareNoCase(SWITCH_SILENT) == 0) {
        BOOL bFirst = !m_bSilent;
        m_bSilent = TRUE;
        return bFirst;
    }
    const int nPrefix = static_cast<int>(sizeof SWITCH_LOG) - 1;
    if (strSwitch.Left(nPrefix).CompareNoCase(SWITCH_LOG) != 0)
        return FALSE;
    CString strValue = strSwitch.Mid(nPrefix);
    if (strValue.IsEmpty() || !m_strLog.IsEmpty())
        return FALSE;
    m_strLog = strValue;
    return TRUE;
}

CString UninstUsage()
{
    return UsageText("Uninst", UNINST_SWITCHES, static_cast<int>(std::size(UNINST_SWITCHES)), UNINST_EXIT_CODES,
                     static_cast<int>(std::size(UNINST_EXIT_CODES)));
}
