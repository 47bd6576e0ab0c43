#include "UsageText.h"

CString UsageText(const char* pszProgram, const SETUP_SWITCH* pSwitches, int nSwitches,
                  const SETUP_EXIT_CODE* pExitCodes, int nExitCodes)
{
    CString strText = CString("Usage: ") + pszProgram;
    for (int i = 0; i < nSwitches; ++i)
        if (pSwitches[i].pszSyntax[1] != '?')
            strText += CString(" [") + pSwitches[i].pszSyntax + "]";
    strText += "\r\n\r\n";
    for (int i = 0; i < nSwitches; ++i)
        strText += CString(pSwitches[i].pszSyntax) + "\t" + pSwitches[i].pszMeaning + "\r\n";
    strText += "\r\nExit codes with /S:";
    for (int i = 0; i < nExitCodes; ++i) {
        CString strLine;
        strLine.Format("\r\n%d\t%s", pExitCodes[i].nCode, pExitCodes[i].pszMeaning);
        strText += strLine;
    }
    return strText;
}
