// What the engine tells the user and the log of the run. File errors: most
// go to the shell's messages through the callback, two are message boxes of
// their own.
#include "SetupMngr.h"

#include "framework/CWinApp.h"
#include "platform/FileUtil.h"

#include <cstdarg>
#include <cstdio>

namespace {
const char FILEERR_ACCESS_VIOLATION[] = "Can't copy the file %s.\r\nThere has likely occurred an access-violation.";
const char FILEERR_IN_USE[] =
    "Can't access to the file %s.\r\nIt is used by Windows.\r\nClose all Windows-applications and restart the Setup.";
const int FILEERR_TEXT_CHARS = 400;
const UINT FILEERR_BOX_STYLE = MB_OK | MB_ICONHAND;
}

void CSetupMngr::ReportError(int nError, INT_PTR lArg)
{
    DWORD dwError = GetLastError();
    m_pfnCallback(SCB_ERROR, nError, lArg);
    SetLastError(dwError);
}

void CSetupMngr::Log(const char* pszFormat, ...)
{
    if (!m_pfnCallback)
        return;
    DWORD dwError = GetLastError();
    CString strLine;
    va_list args;
    va_start(args, pszFormat);
    strLine.FormatV(pszFormat, args);
    va_end(args);
    m_pfnCallback(SCB_LOG, reinterpret_cast<INT_PTR>(&strLine), 0);
    SetLastError(dwError);
}

// The last-error value is the failed operation's: for a file in use or
// one denied, the code the exception carries, which tells the two apart.
void CSetupMngr::ReportFileError(const CException* pException, const CString& strPath)
{
    if (dynamic_cast<const CUserException*>(pException))
        return;
    const CFileException* pFileError = dynamic_cast<const CFileException*>(pException);
    if (!pFileError) {
        ReportError(SCBE_GENERAL, 0);
        return;
    }

    CString strFile = pFileError->m_strFileName.IsEmpty() ? strPath : pFileError->m_strFileName;
    const char* pszBoxFormat = nullptr;
    CString strBoxArg;
    switch (pFileError->m_cause) {
    case CFileException::fileNotFound:
    case CFileException::badPath:
        pszBoxFormat = FILEERR_ACCESS_VIOLATION;
        strBoxArg = GetFileNameFromPath(strFile);
        break;
    case CFileException::accessDenied:
        SetLastError(static_cast<DWORD>(pFileError->m_lOsError));
        ReportError(SCBE_FILEINUSE, reinterpret_cast<INT_PTR>(&strFile));
        return;
    case CFileException::sharingViolation:
    case CFileException::lockViolation:
        SetLastError(static_cast<DWORD>(pFileError->m_lOsError));
        pszBoxFormat = FILEERR_IN_USE;
        strBoxArg = strFile;
        break;
    case CFileException::diskFull:
        ReportError(SCBE_DISKFULL, static_cast<BYTE>(strFile[0]));
        return;
    default:
        ReportError(SCBE_GENERAL, 0);
        return;
    }

    // A name too long for the text gets the general message instead of a
    // cut-off one.
    char szText[FILEERR_TEXT_CHARS];
    int nLength = std::snprintf(szText, sizeof szText, pszBoxFormat, static_cast<const char*>(strBoxArg));
    if (nLength < 0 || nLength >= FILEERR_TEXT_CHARS) {
        ReportError(SCBE_GENERAL, 0);
        return;
    }
    DWORD dwError = GetLastError();
    AfxMessageBox(szText, FILEERR_BOX_STYLE);
    SetLastError(dwError);
}
