#include "Manifest.h"

#include "MediumFormat.h"
#include "ToolFiles.h"

#include "model/DataVolume.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>

namespace {
const char* const SECTION_SETUP = "Setup";
const char* const SECTION_FILES = "Files";
const char* const SETUP_KEYS[] = {"Name", "Title", "ReadMe", "DestDir", "ProgramFolder", "Ident",
                                  "OtherBytes", "ReserveBytes", "DiskType", "Uninstaller"};
// The stored names of the two top-level directories, in tree order.
const char* const TOP_NAMES[2] = {"Applikation", "WinSys"};

const int NAME_MAX_LENGTH = 255;
const int PATH_MAX_LENGTH = MAX_PATH - 1;
// Room taken beside every installed file by the temporary file it is
// written to first ("\FilXXXX.tmp").
const int TEMP_NAME_ROOM = 12;
// The drive part put before the destination ("C:").
const int DRIVE_ROOM = 2;
// The system directory is only known on the target machine; paths below
// it are measured against one of the usual length.
const char* const SYSTEM_DIR_REFERENCE = "C:\\WINDOWS\\SYSTEM32";

// Case-insensitive order of names, as the file system compares them.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

CString Trim(const char* psz)
{
    CString s(psz);
    int nFirst = 0;
    int nEnd = s.GetLength();
    while (nFirst < nEnd && (s[nFirst] == ' ' || s[nFirst] == '\t'))
        ++nFirst;
    while (nEnd > nFirst && (s[nEnd - 1] == ' ' || s[nEnd - 1] == '\t'))
        --nEnd;
    return s.Mid(nFirst, nEnd - nFirst);
}

CString StripQuotes(const CString& s)
{
    int n = s.GetLength();
    if (n >= 2 && s[0] == '"' && s[n - 1] == '"')
        return s.Mid(1, n - 2);
    return s;
}

// The zero-separated list that the profile API returns for a section or
// for the section names, grown until it fits.
std::vector<CString> ReadProfileList(const char* pszSection, const char* pszFile)
{
    std::vector<char> buffer(16384);
    for (;;) {
        DWORD nSize = static_cast<DWORD>(buffer.size());
        DWORD n = pszSection ? GetPrivateProfileSectionA(pszSection, buffer.data(), nSize, pszFile)
                             : GetPrivateProfileSectionNamesA(buffer.data(), nSize, pszFile);
        if (n < nSize - 2) {
            std::vector<CString> items;
            for (const char* p = buffer.data(); p < buffer.data() + n && *p; p += lstrlenA(p) + 1)
                items.push_back(CString(p));
            return items;
        }
        buffer.resize(buffer.size() * 4);
    }
}

// The key and value of one "key=value" entry of a section.
void SplitEntry(const CString& strEntry, CString& strKey, CString& strValue)
{
    int nEquals = strEntry.Find('=');
    if (nEquals < 0) {
        strKey = Trim(strEntry);
        strValue.Empty();
        return;
    }
    strKey = Trim(strEntry.Left(nEquals));
    strValue = Trim(strEntry.Mid(nEquals + 1));
}

bool ParseNumber(const char* psz, DWORD dwMax, DWORD& dwValue)
{
    int nBase = 10;
    if (psz[0] == '0' && (psz[1] == 'x' || psz[1] == 'X')) {
        nBase = 16;
        psz += 2;
    }
    if (!*psz)
        return false;
    ULONGLONG ull = 0;
    for (; *psz; ++psz) {
        int nDigit;
        if (*psz >= '0' && *psz <= '9')
            nDigit = *psz - '0';
        else if (nBase == 16 && *psz >= 'a' && *psz <= 'f')
            nDigit = *psz - 'a' + 10;
        else if (nBase == 16 && *psz >= 'A' && *psz <= 'F')
            nDigit = *psz - 'A' + 10;
        else
            return false;
        ull = ull * static_cast<ULONGLONG>(nBase) + static_cast<ULONGLONG>(nDigit);
        if (ull > dwMax)
            return false;
    }
    dwValue = static_cast<DWORD>(ull);
    return true;
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// Why a directory or file name cannot be installed, or null when it can.
const char* NameFault(const CString& strName)
{
    int n = strName.GetLength();
    if (n == 0)
        return "is empty";
    if (n > NAME_MAX_LENGTH)
        return "is longer than 255 characters";
    if (strName == "." || strName == "..")
        return "is not a name";
    for (int i = 0; i < n; ++i) {
        unsigned char ch = static_cast<unsigned char>(strName[i]);
        if (ch < 32 || strchr("<>:\"/\\|?*", ch))
            return "contains a character that a file name cannot hold";
    }
    if (strName[n - 1] == '.' || strName[n - 1] == ' ')
        return "ends in a dot or a space";
    return nullptr;
}

std::vector<CString> SplitPath(const CString& strPath)
{
    std::vector<CString> parts;
    int nStart = 0;
    for (int i = 0; i <= strPath.GetLength(); ++i) {
        if (i == strPath.GetLength() || strPath[i] == '\\') {
            parts.push_back(strPath.Mid(nStart, i - nStart));
            nStart = i + 1;
        }
    }
    return parts;
}

CDirNode* FindChild(CDirNode* pDir, const CString& strName)
{
    for (POSITION pos = pDir->children.GetHeadPosition(); pos;) {
        CDirNode* pChild = pDir->children.GetNext(pos);
        if (pChild->dir && pChild->dir->m_strPath.CompareNoCase(strName) == 0)
            return pChild;
    }
    return nullptr;
}

CInstalledFile* FindFile(CDirNode* pDir, const CString& strName)
{
    for (POSITION pos = pDir->files.GetHeadPosition(); pos;) {
        CInstalledFile* pFile = pDir->files.GetNext(pos);
        if (pFile->m_strPath.CompareNoCase(strName) == 0)
            return pFile;
    }
    return nullptr;
}

CDirNode* AddChild(CDirNode* pDir, const char* pszName)
{
    CDirNode* pChild = new CDirNode(pDir);
    pChild->dir = new CInstallDir;
    pChild->dir->SetPath(pszName);
    pDir->children.AddTail(pChild);
    return pChild;
}

// Whether the file starts like an executable image ("MZ"), the only kind
// of file that carries a version resource. Asking version.dll about other
// files costs far more than this look at two bytes.
bool IsExecutableImage(const char* pszPath)
{
    HANDLE h = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    char signature[2] = {};
    DWORD dwRead = 0;
    BOOL bRead = ReadFile(h, signature, sizeof signature, &dwRead, nullptr);
    CloseHandle(h);
    return !bRead || (dwRead == sizeof signature && signature[0] == 'M' && signature[1] == 'Z');
}

// The file's fixed version record through version.dll; all zero when it
// carries none.
bool ReadFixedVersion(const char* pszPath, VS_FIXEDFILEINFO& version)
{
    memset(&version, 0, sizeof version);
    if (!IsExecutableImage(pszPath))
        return true;
    DWORD dwHandle = 0;
    DWORD dwSize = GetFileVersionInfoSizeA(pszPath, &dwHandle);
    if (dwSize == 0)
        return true;
    std::vector<BYTE> data(dwSize);
    if (!GetFileVersionInfoA(pszPath, 0, dwSize, data.data()))
        return false;
    void* pFixed = nullptr;
    UINT nLength = 0;
    if (VerQueryValueA(data.data(), "\\", &pFixed, &nLength) && pFixed && nLength >= sizeof version)
        memcpy(&version, pFixed, sizeof version);
    return true;
}
}

BOOL CManifest::Fail(const char* pszSection, const char* pszKey, const char* pszFormat, ...)
{
    char szText[1024];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szText, sizeof szText, pszFormat, args);
    va_end(args);
    CString where = m_strPath;
    if (pszSection) {
        where += ": [";
        where += pszSection;
        where += "]";
        if (pszKey) {
            where += " ";
            where += pszKey;
        }
    }
    m_strError = where + ": " + szText;
    return FALSE;
}

BOOL CManifest::Load(const char* pszPath, int nDiskType)
{
    char szFull[MAX_PATH];
    DWORD n = GetFullPathNameA(pszPath, MAX_PATH, szFull, nullptr);
    m_strPath = (n > 0 && n < MAX_PATH) ? CString(szFull) : CString(pszPath);
    if (n == 0 || n >= MAX_PATH || !IsPlainFile(m_strPath)) {
        m_strError = m_strPath + ": the manifest cannot be found";
        return FALSE;
    }
    m_strDir = ParentDirectory(m_strPath);
    return CheckSections() && ReadSetupSection(nDiskType) && ReadFilesSection() && FinishTree();
}

BOOL CManifest::CheckSections()
{
    std::set<std::string, NoCaseLess> seen;
    for (const CString& name : ReadProfileList(nullptr, m_strPath)) {
        if (name.CompareNoCase(SECTION_SETUP) != 0 && name.CompareNoCase(SECTION_FILES) != 0)
            return Fail(name, nullptr, "unknown section (only [Setup] and [Files] are known)");
        if (!seen.insert(std::string(name)).second)
            return Fail(name, nullptr, "the section is given twice");
    }
    return TRUE;
}

BOOL CManifest::ReadSetupSection(int nDiskType)
{
    std::set<std::string, NoCaseLess> seen;
    for (const CString& entry : ReadProfileList(SECTION_SETUP, m_strPath)) {
        CString key, value;
        SplitEntry(entry, key, value);
        bool bKnown = false;
        for (const char* pszKnown : SETUP_KEYS)
            bKnown = bKnown || key.CompareNoCase(pszKnown) == 0;
        if (!bKnown)
            return Fail(SECTION_SETUP, key, "unknown key");
        if (!seen.insert(std::string(key)).second)
            return Fail(SECTION_SETUP, key, "the key is given twice");
    }

    CString name, title, destDir, folder;
    if (!GetString("Name", name, true) || !GetString("Title", title, false) ||
        !GetString("DestDir", destDir, true) || !GetString("ProgramFolder", folder, true))
        return FALSE;
    if (name.GetLength() > NAME_MAX_LENGTH)
        return Fail(SECTION_SETUP, "Name", "the product name is longer than 255 characters");
    if (name.Find('\\') >= 0)
        return Fail(SECTION_SETUP, "Name", "the product name names a registry key and cannot hold a backslash");
    if (const char* pszFault = NameFault(folder))
        return Fail(SECTION_SETUP, "ProgramFolder", "the folder name \"%s\" %s", static_cast<const char*>(folder),
                    pszFault);
    if (destDir[0] != '\\' || destDir.GetLength() < 2)
        return Fail(SECTION_SETUP, "DestDir", "\"%s\" is not a path without drive letter such as \\Tilewright",
                    static_cast<const char*>(destDir));
    for (const CString& part : SplitPath(destDir.Mid(1))) {
        if (const char* pszFault = NameFault(part))
            return Fail(SECTION_SETUP, "DestDir", "the directory name \"%s\" %s", static_cast<const char*>(part),
                        pszFault);
    }
    if (DRIVE_ROOM + destDir.GetLength() + TEMP_NAME_ROOM > PATH_MAX_LENGTH)
        return Fail(SECTION_SETUP, "DestDir", "the destination leaves no room for the files in a path of %d characters",
                    PATH_MAX_LENGTH);
    m_info.m_strProductName = name;
    m_info.m_strTitle = title;
    m_info.m_strDestDir = destDir;
    m_info.m_strProgramFolder = folder;

    DWORD dwDiskType = 0;
    if (!GetIdent() || !GetReadMe() || !GetNumber("OtherBytes", 0xFFFFFFFF, m_info.m_dwOtherBytes) ||
        !GetNumber("ReserveBytes", 0xFFFFFFFF, m_info.m_dwReserveBytes) || !GetNumber("DiskType", 255, dwDiskType))
        return FALSE;
    m_info.m_nDiskType = nDiskType >= 0 ? static_cast<DWORD>(nDiskType) : dwDiskType;

    CString uninstaller;
    DWORD dwSize = 0;
    return GetString("Uninstaller", uninstaller, true) &&
           GetSourcePath(SECTION_SETUP, "Uninstaller", uninstaller, m_strUninstaller, dwSize);
}

BOOL CManifest::GetString(const char* pszKey, CString& strValue, bool bRequired)
{
    std::vector<char> buffer(1024);
    for (;;) {
        DWORD nSize = static_cast<DWORD>(buffer.size());
        DWORD n = GetPrivateProfileStringA(SECTION_SETUP, pszKey, "", buffer.data(), nSize, m_strPath);
        if (n < nSize - 1) {
            strValue = Trim(buffer.data());
            break;
        }
        buffer.resize(buffer.size() * 4);
    }
    if (bRequired && strValue.IsEmpty())
        return Fail(SECTION_SETUP, pszKey, "missing or empty");
    return TRUE;
}

BOOL CManifest::GetNumber(const char* pszKey, DWORD dwMax, DWORD& dwValue)
{
    CString text;
    if (!GetString(pszKey, text, false))
        return FALSE;
    dwValue = 0;
    if (!text.IsEmpty() && !ParseNumber(text, dwMax, dwValue))
        return Fail(SECTION_SETUP, pszKey, "\"%s\" is not a number from 0 to %lu", static_cast<const char*>(text), dwMax);
    return TRUE;
}

BOOL CManifest::GetIdent()
{
    CString text;
    if (!GetString("Ident", text, true))
        return FALSE;
    int nDigits = 0;
    BYTE ident[sizeof m_info.m_ident] = {};
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] == ' ')
            continue;
        int nValue = HexDigit(text[i]);
        if (nValue < 0 || nDigits >= 2 * static_cast<int>(sizeof ident))
            return Fail(SECTION_SETUP, "Ident", "give the 16 bytes as 32 hexadecimal digits");
        ident[nDigits / 2] = static_cast<BYTE>((ident[nDigits / 2] << 4) | nValue);
        ++nDigits;
    }
    if (nDigits != 2 * static_cast<int>(sizeof ident))
        return Fail(SECTION_SETUP, "Ident", "give the 16 bytes as 32 hexadecimal digits, not %d", nDigits);
    memcpy(m_info.m_ident, ident, sizeof ident);
    return TRUE;
}

BOOL CManifest::GetReadMe()
{
    CString text, path;
    if (!GetString("ReadMe", text, false))
        return FALSE;
    if (text.IsEmpty())
        return TRUE;
    DWORD dwSize = 0;
    if (!GetSourcePath(SECTION_SETUP, "ReadMe", text, path, dwSize))
        return FALSE;
    try {
        CFile file;
        file.Open(path, CFile::modeRead | CFile::shareDenyWrite);
        DWORD dwLength = file.GetLength();
        if (dwLength > 0x7FFFFFFE)
            return Fail(SECTION_SETUP, "ReadMe", "the read-me text is larger than 2 GB");
        std::vector<char> buffer(static_cast<size_t>(dwLength) + 1);
        UINT nRead = file.Read(buffer.data(), dwLength);
        file.Close();
        if (nRead != dwLength)
            return Fail(SECTION_SETUP, "ReadMe", "the read-me text changed while it was read");
        buffer[nRead] = '\0';
        if (strlen(buffer.data()) != nRead)
            return Fail(SECTION_SETUP, "ReadMe", "the read-me text holds a zero byte at offset %u",
                        static_cast<unsigned>(strlen(buffer.data())));
        m_info.SetReadMeText(buffer.data());
        if (m_info.m_nReadMeLen != static_cast<int>(nRead))
            return Fail(SECTION_SETUP, "ReadMe", "no memory for the read-me text");
    } catch (CFileException& e) {
        return Fail(SECTION_SETUP, "ReadMe", "%s", static_cast<const char*>(DescribeFileException(e)));
    }
    return TRUE;
}

BOOL CManifest::GetSourcePath(const char* pszSection, const char* pszKey, const CString& strText, CString& strPath,
                              DWORD& dwSize)
{
    CString text = StripQuotes(strText);
    if (text.IsEmpty())
        return Fail(pszSection, pszKey, "no source file is given");
    strPath = AbsolutePath(text, m_strDir);
    if (strPath.IsEmpty())
        return Fail(pszSection, pszKey, "the source path \"%s\" is too long", static_cast<const char*>(text));
    ULONGLONG ullSize = 0;
    if (!GetPlainFileSize(strPath, ullSize))
        return Fail(pszSection, pszKey, "the source file \"%s\" cannot be read: %s", static_cast<const char*>(strPath),
                    static_cast<const char*>(SystemMessage(GetLastError())));
    if (ullSize > 0xFFFFFFFF)
        return Fail(pszSection, pszKey, "the source file \"%s\" is larger than 4 GB", static_cast<const char*>(strPath));
    HANDLE h = CreateFileA(strPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail(pszSection, pszKey, "the source file \"%s\" cannot be opened: %s",
                    static_cast<const char*>(strPath), static_cast<const char*>(SystemMessage(GetLastError())));
    CloseHandle(h);
    dwSize = static_cast<DWORD>(ullSize);
    return TRUE;
}

CDirNode* CManifest::TopDir(int nTop)
{
    POSITION pos = m_info.m_root.children.GetHeadPosition();
    for (int i = 0; i < nTop; ++i)
        m_info.m_root.children.GetNext(pos);
    return m_info.m_root.children.GetAt(pos);
}

BOOL CManifest::ReadFilesSection()
{
    for (const char* pszTop : TOP_NAMES)
        AddChild(&m_info.m_root, pszTop);
    std::set<std::string, NoCaseLess> seen;
    for (const CString& entry : ReadProfileList(SECTION_FILES, m_strPath)) {
        CString key, value;
        SplitEntry(entry, key, value);
        if (!seen.insert(std::string(key)).second)
            return Fail(SECTION_FILES, key, "the entry is given twice");
        if (!AddEntry(key, value))
            return FALSE;
    }
    return TRUE;
}

BOOL CManifest::AddEntry(const CString& strKey, const CString& strValue)
{
    bool bDirEntry = !strKey.IsEmpty() && strKey[strKey.GetLength() - 1] == '\\';
    CString path = bDirEntry ? strKey.Left(strKey.GetLength() - 1) : strKey;
    std::vector<CString> parts = SplitPath(path);
    if (bDirEntry && !strValue.IsEmpty())
        return Fail(SECTION_FILES, strKey, "a directory entry (ending in a backslash) takes no value");

    int nTop = -1;
    for (int i = 0; i < 2; ++i)
        if (parts[0].CompareNoCase(TOP_NAMES[i]) == 0)
            nTop = i;
    if (nTop < 0)
        return Fail(SECTION_FILES, strKey, "files lie below Applikation or WinSys");
    if (!bDirEntry && parts.size() < 2)
        return Fail(SECTION_FILES, strKey, "a top-level directory cannot be a file");
    for (size_t i = 1; i < parts.size(); ++i) {
        if (const char* pszFault = NameFault(parts[i]))
            return Fail(SECTION_FILES, strKey, "the name \"%s\" %s", static_cast<const char*>(parts[i]), pszFault);
    }

    // The installed path: the destination (with its drive) or the system
    // directory, then the names below the top-level directory; the
    // temporary file beside each file must fit as well.
    int nBase = nTop == 0 ? DRIVE_ROOM + m_info.m_strDestDir.GetLength() : lstrlenA(SYSTEM_DIR_REFERENCE);
    int nDirLength = nBase;
    size_t nDirParts = bDirEntry ? parts.size() : parts.size() - 1;
    for (size_t i = 1; i < nDirParts; ++i)
        nDirLength += 1 + parts[i].GetLength();
    int nLength = bDirEntry ? nDirLength : nDirLength + 1 + parts.back().GetLength();
    if (nLength > PATH_MAX_LENGTH || nDirLength + TEMP_NAME_ROOM > PATH_MAX_LENGTH)
        return Fail(SECTION_FILES, strKey, "the installed path would be too long (%d characters; at most %d fit, "
                    "with room for a temporary file beside it)", nLength, PATH_MAX_LENGTH);

    CDirNode* pDir = TopDir(nTop);
    m_bTopMentioned[nTop] = true;
    for (size_t i = 1; i < nDirParts; ++i) {
        if (FindFile(pDir, parts[i]))
            return Fail(SECTION_FILES, strKey, "\"%s\" is both a file and a directory", static_cast<const char*>(parts[i]));
        CDirNode* pChild = FindChild(pDir, parts[i]);
        pDir = pChild ? pChild : AddChild(pDir, parts[i]);
    }
    return bDirEntry || AddFile(pDir, strKey, parts.back(), strValue);
}

BOOL CManifest::AddFile(CDirNode* pDir, const CString& strKey, const CString& strName, const CString& strValue)
{
    if (FindChild(pDir, strName))
        return Fail(SECTION_FILES, strKey, "\"%s\" is both a file and a directory", static_cast<const char*>(strName));
    if (FindFile(pDir, strName))
        return Fail(SECTION_FILES, strKey, "the file is listed twice");

    std::vector<CString> fields;
    int nStart = 0;
    for (int i = 0; i <= strValue.GetLength(); ++i) {
        if (i == strValue.GetLength() || strValue[i] == '|') {
            fields.push_back(Trim(strValue.Mid(nStart, i - nStart)));
            nStart = i + 1;
        }
    }
    DWORD dwFlags = 0;
    for (size_t i = 1; i < fields.size(); ++i) {
        DWORD dwBit = 0;
        for (const auto& flag : FILE_FLAG_NAMES)
            if (fields[i] == flag.pszName)
                dwBit = flag.dwBit;
        if (dwBit == 0)
            return Fail(SECTION_FILES, strKey, "unknown flag \"%s\" (known: FILE_REGISTER, FILE_REGISTER_ABSENT, "
                        "FILE_PROGRAM_ITEM, FILE_SHARED)", static_cast<const char*>(fields[i]));
        dwFlags |= dwBit;
    }

    CString source;
    DWORD dwSize = 0;
    if (!GetSourcePath(SECTION_FILES, strKey, fields[0], source, dwSize))
        return FALSE;
    CInstalledFile* pFile = new CInstalledFile;
    pDir->files.AddTail(pFile);
    pFile->SetPath(strName);
    pFile->m_dwFlags = dwFlags;
    pFile->m_dwSize = dwSize;
    if (!ReadFixedVersion(source, pFile->m_version))
        return Fail(SECTION_FILES, strKey, "the version resource of \"%s\" cannot be read: %s",
                    static_cast<const char*>(source), static_cast<const char*>(SystemMessage(GetLastError())));
    m_sources.push_back(std::make_pair(pFile, source));
    return TRUE;
}

BOOL CManifest::FinishTree()
{
    for (int i = 0; i < 2; ++i) {
        if (!m_bTopMentioned[i])
            return Fail(SECTION_FILES, nullptr, "the tree has no %s directory: list a file below it or the entry %s\\=",
                        TOP_NAMES[i], TOP_NAMES[i]);
    }
    ULONGLONG ullApp = SubtreeBytes(*TopDir(0));
    ULONGLONG ullSys = SubtreeBytes(*TopDir(1));
    if (ullApp > 0xFFFFFFFF || ullSys > 0xFFFFFFFF)
        return Fail(SECTION_FILES, nullptr, "the files of one top-level directory exceed 4 GB");
    m_ullDataBytes = ullApp + ullSys;
    if (m_ullDataBytes + m_info.m_dwOtherBytes > 0xFFFFFFFF)
        return Fail(SECTION_SETUP, "OtherBytes", "the files and the further bytes together exceed 4 GB");
    if (DataVolumeCapacity(m_info.m_nDiskType) == 0 && m_ullDataBytes + DATAVOLUME_HEADER_SIZE > DATAVOLUME_MAX_BYTES)
        return Fail(SECTION_SETUP, "DiskType",
                    "disk type %lu holds all data in one volume, and they exceed 2 GB, more than the installer can read",
                    m_info.m_nDiskType);
    m_info.m_dwAppBytes = static_cast<DWORD>(ullApp);
    m_info.m_dwSysBytes = static_cast<DWORD>(ullSys);

    std::map<const CInstalledFile*, CString> sources(m_sources.begin(), m_sources.end());
    CObject* pItem = nullptr;
    for (int n = m_info.GetFirstItem(pItem); n != ITEM_END; n = m_info.GetNextItem(pItem)) {
        if (n == ITEM_FILE) {
            CInstalledFile* pFile = static_cast<CInstalledFile*>(pItem);
            m_files.push_back(CMediumFile{pFile, sources[pFile]});
        }
    }
    return TRUE;
}
