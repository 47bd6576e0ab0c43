// Small install informations written with the model's own writer, for the
// tests that start the setup on a medium of their own.
#pragma once

#include "model/InstallMngr.h"

#include <string>
#include <vector>

// An install information with the application and system directories and
// no files: the smallest one the setup accepts.
inline void MakeMinimalInfo(CInstallMngr& info, const char* pszProduct)
{
    info.ClearTree();
    for (const char* pszName : {"Applikation", "WinSys"}) {
        CDirNode* pNode = new CDirNode(&info.m_root);
        pNode->dir = new CInstallDir;
        pNode->dir->SetPath(pszName);
        info.m_root.children.AddTail(pNode);
    }
    info.m_strProductName = pszProduct;
    info.m_strDestDir = "\\Tilewright";
    info.m_strProgramFolder = "Tilewright";
    info.m_strTitle = "Welcome";
    info.SetReadMeText("Read me first.\r\nSecond line.");
}

inline void WriteInfo(CInstallMngr& info, const std::string& path)
{
    CFile file;
    file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    CArchive ar(&file, CArchive::store);
    info.Serialize(ar);
    ar.Close();
    file.Close();
}

inline void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes)
{
    CFile file;
    file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    if (!bytes.empty())
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
}

inline std::vector<BYTE> ReadBytes(const std::string& path)
{
    CFile file;
    file.Open(path.c_str(), CFile::modeRead);
    std::vector<BYTE> bytes(file.GetLength());
    if (!bytes.empty())
        file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

// A first volume with no file data: its disk index word only.
inline void WriteEmptyVolume(const std::string& path)
{
    WriteBytes(path, {0, 0});
}
