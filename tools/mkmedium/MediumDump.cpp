#include "MediumDump.h"

#include "MediumFormat.h"

#include <cstdio>

namespace {
// The ANSI text in UTF-16; a text the code page cannot convert is taken
// as Latin-1 so that nothing is lost.
std::wstring ToWide(const char* pszAnsi)
{
    int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pszAnsi, -1, nullptr, 0);
    if (n > 0) {
        std::wstring wide(static_cast<size_t>(n), L'\0');
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pszAnsi, -1, &wide[0], n) == n) {
            wide.resize(static_cast<size_t>(n - 1));
            return wide;
        }
    }
    std::wstring latin;
    for (const char* p = pszAnsi; *p; ++p)
        latin += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return latin;
}

void AppendUtf8(std::string& out, wchar_t ch)
{
    unsigned u = ch;
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

std::string JsonString(const char* pszAnsi)
{
    std::wstring wide = ToWide(pszAnsi);
    std::string out = "\"";
    for (size_t i = 0; i < wide.size(); ++i) {
        wchar_t ch = wide[i];
        if (ch == L'"' || ch == L'\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20 || (ch >= 0xD800 && ch <= 0xDFFF)) {
            char sz[8];
            snprintf(sz, sizeof sz, "\\u%04x", static_cast<unsigned>(ch));
            out += sz;
        } else {
            AppendUtf8(out, ch);
        }
    }
    return out + "\"";
}

std::string Number(DWORD dw)
{
    return std::to_string(static_cast<unsigned long>(dw));
}

std::string Version(DWORD dwMS, DWORD dwLS)
{
    char sz[64];
    snprintf(sz, sizeof sz, "\"%lu.%lu.%lu.%lu\"", dwMS >> 16, dwMS & 0xFFFF, dwLS >> 16, dwLS & 0xFFFF);
    return sz;
}

std::string FileToJson(const CInstalledFile& file)
{
    std::string flags;
    for (const auto& flag : FILE_FLAG_NAMES) {
        if (file.m_dwFlags & flag.dwBit)
            flags += std::string(flags.empty() ? "" : ", ") + "\"" + flag.pszName + "\"";
    }
    const VS_FIXEDFILEINFO& v = file.m_version;
    return "{\"name\": " + JsonString(file.m_strPath) + ", \"size\": " + Number(file.m_dwSize) +
           ", \"flags\": " + Number(file.m_dwFlags) + ", \"flagNames\": [" + flags +
           "], \"fileVersion\": " + Version(v.dwFileVersionMS, v.dwFileVersionLS) +
           ", \"productVersion\": " + Version(v.dwProductVersionMS, v.dwProductVersionLS) + "}";
}

void NodeToJson(const CDirNode& node, const std::string& indent, std::string& out)
{
    std::string inner = indent + "  ";
    out += "{\n" + inner + "\"name\": " + (node.dir ? JsonString(node.dir->m_strPath) : "null") + ",\n";
    out += inner + "\"dirs\": [";
    const char* pszSeparator = "\n";
    for (POSITION pos = node.children.GetHeadPosition(); pos;) {
        out += pszSeparator + inner + "  ";
        NodeToJson(*node.children.GetNext(pos), inner + "  ", out);
        pszSeparator = ",\n";
    }
    out += node.children.IsEmpty() ? "],\n" : "\n" + inner + "],\n";
    out += inner + "\"files\": [";
    pszSeparator = "\n";
    for (POSITION pos = node.files.GetHeadPosition(); pos;) {
        out += pszSeparator + inner + "  " + FileToJson(*node.files.GetNext(pos));
        pszSeparator = ",\n";
    }
    out += node.files.IsEmpty() ? "]\n" : "\n" + inner + "]\n";
    out += indent + "}";
}
}

std::string InstallInfoToJson(const CInstallMngr& info)
{
    std::string ident;
    for (BYTE b : info.m_ident) {
        char sz[3];
        snprintf(sz, sizeof sz, "%02X", b);
        ident += sz;
    }
    std::string out = "{\n";
    out += "  \"ident\": \"" + ident + "\",\n";
    out += "  \"diskType\": " + Number(info.m_nDiskType) + ",\n";
    out += "  \"extra\": " + Number(info.m_wExtra) + ",\n";
    out += "  \"appBytes\": " + Number(info.m_dwAppBytes) + ",\n";
    out += "  \"sysBytes\": " + Number(info.m_dwSysBytes) + ",\n";
    out += "  \"spare\": " + Number(info.m_dwSpare) + ",\n";
    out += "  \"otherBytes\": " + Number(info.m_dwOtherBytes) + ",\n";
    out += "  \"reserveBytes\": " + Number(info.m_dwReserveBytes) + ",\n";
    out += "  \"destDir\": " + JsonString(info.m_strDestDir) + ",\n";
    out += "  \"productName\": " + JsonString(info.m_strProductName) + ",\n";
    out += "  \"programFolder\": " + JsonString(info.m_strProgramFolder) + ",\n";
    out += "  \"title\": " + JsonString(info.m_strTitle) + ",\n";
    out += "  \"readMeLength\": " + std::to_string(info.m_nReadMeLen) + ",\n";
    out += "  \"tree\": ";
    NodeToJson(info.m_root, "  ", out);
    return out + "\n}\n";
}
