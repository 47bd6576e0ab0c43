#include "SetupLog.h"

#include "engine/SetupMngr.h"
#include "model/DataVolume.h"
#include "platform/FileUtil.h"

#include <cstdarg>
#include <cstring>

CSetupLog* g_pSetupLog = nullptr;

const char LOG_WARNING_PREFIX[] = "warning: ";

namespace {
// More logs of one day in one directory than anyone reads.
const int MAX_LOGS_A_DAY = 999;

// A message may hold line breaks (a box's text does); in the log it stays
// one line that starts with its time, each run of breaks read as a blank.
CString OnOneLine(const char* pszText)
{
    CString strText;
    for (const char* p = pszText; *p; ++p) {
        bool bBreak = *p == '\r' || *p == '\n';
        if (!bBreak)
            strText += *p;
        else if (p[1] != '\r' && p[1] != '\n' && p[1] != '\0')
            strText += ' ';
    }
    return strText;
}
}

BOOL CSetupLog::Open(const char* pszPath)
{
    return Create(pszPath, CREATE_ALWAYS);
}

BOOL CSetupLog::OpenNew(const char* pszDir, const char* pszTitle)
{
    if (!*pszDir) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    SYSTEMTIME st;
    GetLocalTime(&st);
    for (int n = 1; n <= MAX_LOGS_A_DAY; ++n) {
        CString strPath;
        strPath.Format("%s\\%s %04u-%02u-%02u %03d.log", pszDir, pszTitle, st.wYear, st.wMonth, st.wDay, n);
        if (Create(strPath, CREATE_NEW))
            return TRUE;
        if (GetLastError() != ERROR_FILE_EXISTS)
            return FALSE;
    }
    return FALSE;
}

// The path the log names is the one the system resolved: a relative one is
// read against the current directory of the moment.
BOOL CSetupLog::Create(const char* pszPath, DWORD dwDisposition)
{
    m_file.Attach(CreateFileA(pszPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, dwDisposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (m_file.IsEmpty())
        return FALSE;
    m_strPath = GetFullPath(pszPath);
    if (m_strPath.IsEmpty())
        m_strPath = pszPath;
    m_dwStart = GetTickCount();
    return TRUE;
}

void CSetupLog::Write(const char* pszText)
{
    if (m_file.IsEmpty())
        return;
    if (strncmp(pszText, LOG_WARNING_PREFIX, sizeof LOG_WARNING_PREFIX - 1) == 0)
        ++m_nWarnings;
    DWORD dwError = GetLastError();
    CString strLine;
    strLine.Format("%8lu ms  %s\r\n", static_cast<unsigned long>(GetTickCount() - m_dwStart),
                   static_cast<const char*>(OnOneLine(pszText)));
    DWORD dwWritten = 0;
    WriteFile(m_file, static_cast<const char*>(strLine), static_cast<DWORD>(strLine.GetLength()), &dwWritten,
              nullptr);
    SetLastError(dwError);
}

void CSetupLog::WriteError(const char* pszText, DWORD dwError)
{
    CString strLine;
    strLine.Format("%s: error %lu: %s", pszText, static_cast<unsigned long>(dwError),
                   static_cast<const char*>(SystemErrorText(dwError)));
    Write(strLine);
}

CString SystemErrorText(DWORD dwError)
{
    char szText[512] = "";
    DWORD dwLength = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0,
                                    szText, sizeof szText, nullptr);
    for (DWORD i = 0; i < dwLength; ++i)
        if (szText[i] == '\r' || szText[i] == '\n')
            szText[i] = ' ';
    while (dwLength > 0 && szText[dwLength - 1] == ' ')
        szText[--dwLength] = '\0';
    return szText;
}

void LogLine(const char* pszText)
{
    if (g_pSetupLog)
        g_pSetupLog->Write(pszText);
}

void LogFormat(const char* pszFormat, ...)
{
    if (!g_pSetupLog)
        return;
    CString strLine;
    va_list args;
    va_start(args, pszFormat);
    strLine.FormatV(pszFormat, args);
    va_end(args);
    g_pSetupLog->Write(strLine);
}

int LoggedWarnings()
{
    return g_pSetupLog ? g_pSetupLog->Warnings() : 0;
}

int LogEngineLine(INT_PTR nArg)
{
    if (nArg)
        LogLine(*reinterpret_cast<const CString*>(nArg));
    return 1;
}

void LogLine(const char* pszText, DWORD dwError)
{
    if (g_pSetupLog)
        g_pSetupLog->WriteError(pszText, dwError);
}

void LogLoaded(CSetupMngr& engine)
{
    int nFiles = 0;
    ULONGLONG ullData = 0;
    CObject* pItem;
    for (int n = engine.GetFirstItem(pItem); n != ITEM_END; n = engine.GetNextItem(pItem)) {
        if (n != ITEM_FILE)
            continue;
        ++nFiles;
        ullData += static_cast<CInstalledFile*>(pItem)->m_dwSize;
    }
    LogFormat("loaded: %s, %d files, %llu bytes of data on %lu disks (disk type %lu)",
              static_cast<const char*>(engine.m_strProductName), nFiles, static_cast<unsigned long long>(ullData),
              static_cast<unsigned long>(DataVolumeCount(ullData, engine.m_nDiskType)),
              static_cast<unsigned long>(engine.m_nDiskType));
}
