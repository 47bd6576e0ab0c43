#include "Journal.h"

#include "platform/FileUtil.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const char JOURNAL_NEW_SUFFIX[] = ".new";
const char FIELD_SEPARATOR = '\t';
const char RECORD_END[] = "\r\n";
const size_t RECORD_FIELDS = 8;
// Whoever finishes a run reads and removes its journal, also while the
// process that wrote it, stopped but not yet gone, still holds it.
const DWORD JOURNAL_SHARE = FILE_SHARE_READ | FILE_SHARE_DELETE;

struct CRootName {
    HKEY hRoot;
    const char* pszName;
};
const CRootName ROOT_NAMES[] = {{HKEY_CLASSES_ROOT, "HKCR"},
                                {HKEY_LOCAL_MACHINE, "HKLM"},
                                {HKEY_CURRENT_USER, "HKCU"},
                                {HKEY_USERS, "HKU"}};

const char* RootName(HKEY hRoot)
{
    for (const CRootName& root : ROOT_NAMES)
        if (root.hRoot == hRoot)
            return root.pszName;
    return "";
}

HKEY RootOfName(const CString& strName)
{
    for (const CRootName& root : ROOT_NAMES)
        if (strName == root.pszName)
            return root.hRoot;
    return nullptr;
}

// A path may hold any character but the line's own separators.
CString Escape(const CString& str)
{
    CString strOut;
    for (int i = 0; i < str.GetLength(); ++i) {
        unsigned char c = static_cast<unsigned char>(str[i]);
        if (c < 0x20 || c == '%') {
            char szCode[4];
            std::snprintf(szCode, sizeof szCode, "%%%02X", c);
            strOut += szCode;
        } else {
            strOut += static_cast<char>(c);
        }
    }
    return strOut;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

BOOL Unescape(const CString& str, CString& strOut)
{
    strOut.Empty();
    for (int i = 0; i < str.GetLength(); ++i) {
        if (str[i] != '%') {
            strOut += str[i];
            continue;
        }
        int nHigh = i + 2 < str.GetLength() ? HexDigit(str[i + 1]) : -1;
        int nLow = nHigh >= 0 ? HexDigit(str[i + 2]) : -1;
        if (nLow < 0)
            return FALSE;
        strOut += static_cast<char>(nHigh * 16 + nLow);
        i += 2;
    }
    return TRUE;
}

CString Hex(const std::vector<BYTE>& data)
{
    static const char DIGITS[] = "0123456789ABCDEF";
    std::vector<char> text(data.size() * 2 + 1, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        text[2 * i] = DIGITS[data[i] >> 4];
        text[2 * i + 1] = DIGITS[data[i] & 0xF];
    }
    return CString(text.data());
}

BOOL Unhex(const CString& str, std::vector<BYTE>& data)
{
    if (str.GetLength() % 2 != 0)
        return FALSE;
    data.resize(static_cast<size_t>(str.GetLength() / 2));
    for (size_t i = 0; i < data.size(); ++i) {
        int nHigh = HexDigit(str[static_cast<int>(2 * i)]);
        int nLow = HexDigit(str[static_cast<int>(2 * i + 1)]);
        if (nHigh < 0 || nLow < 0)
            return FALSE;
        data[i] = static_cast<BYTE>(nHigh * 16 + nLow);
    }
    return TRUE;
}

// One line of tab-separated fields: the operation, the three names, the
// root key, the flag, the number and the data in hexadecimal.
CString FormatRecord(const CJournalRecord& record)
{
    CString strLine;
    strLine += static_cast<char>(record.m_op);
    for (const CString* pstr : {&record.m_strPath, &record.m_strKept, &record.m_strTemp}) {
        strLine += FIELD_SEPARATOR;
        strLine += Escape(*pstr);
    }
    CString strNumbers;
    strNumbers.Format("%c%s%c%d%c%lu%c", FIELD_SEPARATOR, RootName(record.m_hRoot), FIELD_SEPARATOR,
                      record.m_bExisted ? 1 : 0, FIELD_SEPARATOR, static_cast<unsigned long>(record.m_dwValue),
                      FIELD_SEPARATOR);
    return strLine + strNumbers + Hex(record.m_data) + RECORD_END;
}

CJournalRecord VoidMark()
{
    CJournalRecord record;
    record.m_op = JOURNAL_VOID;
    return record;
}

BOOL IsKnownOp(char c)
{
    return c != '\0' && std::strchr("DNKRSVAGICX", c) != nullptr;
}

std::vector<CString> SplitFields(const CString& strLine)
{
    std::vector<CString> fields;
    int nStart = 0;
    for (int i = 0; i <= strLine.GetLength(); ++i) {
        if (i == strLine.GetLength() || strLine[i] == FIELD_SEPARATOR) {
            fields.push_back(strLine.Mid(nStart, i - nStart));
            nStart = i + 1;
        }
    }
    return fields;
}

// A line that does not read as a whole record ends the journal: it was
// being written when the run stopped, and its change was never made.
BOOL ParseRecord(const CString& strLine, CJournalRecord& record)
{
    std::vector<CString> fields = SplitFields(strLine);
    if (fields.size() != RECORD_FIELDS || fields[0].GetLength() != 1 || !IsKnownOp(fields[0][0]))
        return FALSE;
    record.m_op = static_cast<JournalOp>(fields[0][0]);
    if (!Unescape(fields[1], record.m_strPath) || !Unescape(fields[2], record.m_strKept)
        || !Unescape(fields[3], record.m_strTemp) || !Unhex(fields[7], record.m_data))
        return FALSE;
    record.m_hRoot = RootOfName(fields[4]);
    record.m_bExisted = fields[5] == "1";
    char* pszEnd = nullptr;
    record.m_dwValue = static_cast<DWORD>(std::strtoul(fields[6], &pszEnd, 10));
    return fields[4].IsEmpty() == (record.m_hRoot == nullptr) && pszEnd && *pszEnd == '\0';
}
}

BOOL CJournal::Create(const CString& strPath)
{
    m_records.clear();
    m_file.Close();
    m_file.Attach(CreateFileA(strPath, GENERIC_WRITE, JOURNAL_SHARE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (m_file.IsEmpty())
        return FALSE;
    m_strPath = strPath;
    return TRUE;
}

BOOL CJournal::Load(const CString& strPath)
{
    m_records.clear();
    std::vector<BYTE> data;
    DWORD dwRead = ReadFileBytes(strPath, data);
    if (dwRead != ERROR_SUCCESS) {
        SetLastError(dwRead);
        return FALSE;
    }
    CString strText(reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()));
    int nStart = 0;
    for (int i = 0; i + 1 < strText.GetLength(); ++i) {
        if (strText[i] != RECORD_END[0] || strText[i + 1] != RECORD_END[1])
            continue;
        CJournalRecord record;
        if (!ParseRecord(strText.Mid(nStart, i - nStart), record))
            break;
        if (record.m_op != JOURNAL_VOID)
            m_records.push_back(record);
        else if (!m_records.empty())
            m_records.pop_back();
        nStart = i + 2;
        ++i;
    }
    m_strPath = strPath;
    return TRUE;
}

BOOL CJournal::Add(const CJournalRecord& record)
{
    if (!Write(FormatRecord(record)))
        return FALSE;
    m_records.push_back(record);
    return TRUE;
}

BOOL CJournal::Void()
{
    if (m_records.empty())
        return TRUE;
    if (!Write(FormatRecord(VoidMark())))
        return FALSE;
    m_records.pop_back();
    return TRUE;
}

BOOL CJournal::Replace(const CJournalRecord& record)
{
    if (m_records.empty())
        return Add(record);
    if (!Write(FormatRecord(VoidMark()) + FormatRecord(record)))
        return FALSE;
    m_records.back() = record;
    return TRUE;
}

// The records left go to a new file that then takes the journal's name in
// one step: a run stopped meanwhile leaves the old journal or the new one.
BOOL CJournal::Rewrite(const std::vector<CJournalRecord>& records)
{
    m_records = records;
    if (!IsOpen())
        return TRUE;
    m_file.Close();
    if (records.empty()) {
        if (!DeleteFileA(m_strPath) && GetLastError() != ERROR_FILE_NOT_FOUND)
            return FALSE;
        m_strPath.Empty();
        return TRUE;
    }
    CString strNew = m_strPath + JOURNAL_NEW_SUFFIX;
    m_file.Attach(CreateFileA(strNew, GENERIC_WRITE, JOURNAL_SHARE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    if (m_file.IsEmpty())
        return FALSE;
    // Gathered in a buffer that grows by doubling: appended to one string
    // after the other, the records would be copied over again each time.
    std::string text;
    for (const CJournalRecord& record : records) {
        CString strRecord = FormatRecord(record);
        text.append(strRecord, static_cast<size_t>(strRecord.GetLength()));
    }
    BOOL bWritten = Write(CString(text.data(), static_cast<int>(text.size())));
    m_file.Close();
    if (!bWritten || !MoveFileExA(strNew, m_strPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD dwError = GetLastError();
        DeleteFileA(strNew);
        SetLastError(dwError);
        return FALSE;
    }
    m_file.Attach(CreateFileA(m_strPath, GENERIC_WRITE, JOURNAL_SHARE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER zero = {};
    return !m_file.IsEmpty() && SetFilePointerEx(m_file, zero, nullptr, FILE_END);
}

BOOL CJournal::Write(const CString& strText)
{
    if (!IsOpen())
        return TRUE;
    if (m_file.IsEmpty()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD dwWritten = 0;
    if (!WriteFile(m_file, static_cast<const char*>(strText), static_cast<DWORD>(strText.GetLength()), &dwWritten,
                   nullptr))
        return FALSE;
    if (dwWritten != static_cast<DWORD>(strText.GetLength())) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return FlushFileBuffers(m_file);
}
