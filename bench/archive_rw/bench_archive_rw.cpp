// Writing and reading an install information of 10,000 files in 500
// directories through the setup data archive: the median of several runs.
#include "bench/timer/Timer.h"

#include "model/InstallMngr.h"

#include <cstdio>
#include <string>

namespace {
const int DIRECTORIES = 500;   // the two top-level ones included
const int FILES_PER_DIRECTORY = 20;
const int RUNS = 9;

CDirNode* AddDir(CDirNode* pParent, const std::string& name)
{
    CDirNode* pNode = new CDirNode(pParent);
    pNode->dir = new CInstallDir;
    pNode->dir->SetPath(name.c_str());
    pParent->children.AddTail(pNode);
    return pNode;
}

void AddFiles(CDirNode* pDir, int nDir)
{
    for (int i = 0; i < FILES_PER_DIRECTORY; ++i) {
        CInstalledFile* pFile = new CInstalledFile;
        pFile->SetPath(("file" + std::to_string(nDir) + "_" + std::to_string(i) + ".dll").c_str());
        pFile->m_dwSize = static_cast<DWORD>(1000 + nDir * 37 + i);
        pFile->m_dwFlags = static_cast<DWORD>(i % 16);
        pFile->m_version.dwSignature = 0xFEEF04BD;
        pFile->m_version.dwProductVersionMS = 0x00020000 | static_cast<DWORD>(i);
        pDir->files.AddTail(pFile);
    }
}

// Applikation with 497 directories below it in chains ten deep, WinSys
// with one: 500 directories of 20 files each.
void FillTree(CInstallMngr& info)
{
    CDirNode* pApp = AddDir(&info.m_root, "Applikation");
    CDirNode* pSys = AddDir(&info.m_root, "WinSys");
    AddFiles(pApp, 0);
    AddFiles(pSys, 1);
    int nDir = 2;
    CDirNode* pSysSub = AddDir(pSys, "Sub");
    AddFiles(pSysSub, nDir++);
    CDirNode* pGroup = nullptr;
    for (int i = 0; nDir < DIRECTORIES; ++i, ++nDir) {
        pGroup = (i % 10 == 0) ? AddDir(pApp, "Group" + std::to_string(i / 10)) : AddDir(pGroup, "Dir" + std::to_string(i));
        AddFiles(pGroup, nDir);
    }
    info.m_strDestDir = "\\Tilewright";
    info.m_strProductName = "Tilewright";
    info.m_strProgramFolder = "Tilewright";
    info.m_strTitle = "Welcome";
    info.SetReadMeText("A read-me text of a few words.");
}

bool Write(CInstallMngr& info, const char* pszPath)
{
    try {
        CFile file;
        file.Open(pszPath, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store);
        info.Serialize(ar);
        ar.Close();
        file.Close();
        return true;
    } catch (CFileException& e) {
        fprintf(stderr, "cannot write %s: cause %d\n", static_cast<const char*>(e.m_strFileName), e.m_cause);
    }
    return false;
}

bool Read(const char* pszPath, int& nFiles)
{
    try {
        CInstallMngr info;
        CFile file;
        file.Open(pszPath, CFile::modeRead);
        CArchive ar(&file, CArchive::load);
        if (!info.ReadHeader(ar))
            return false;
        info.Serialize(ar);
        nFiles = 0;
        CObject* pItem = nullptr;
        for (int n = info.GetFirstItem(pItem); n != ITEM_END; n = info.GetNextItem(pItem))
            nFiles += n == ITEM_FILE;
        return true;
    } catch (CFileException& e) {
        fprintf(stderr, "cannot read %s: cause %d\n", static_cast<const char*>(e.m_strFileName), e.m_cause);
    } catch (CArchiveException& e) {
        fprintf(stderr, "archive error %d\n", e.m_cause);
    }
    return false;
}
}

int main()
{
    CTimer timer;
    char szTemp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, szTemp);
    if (!timer.IsValid() || n == 0 || n >= MAX_PATH) {
        fputs("no performance counter or no temporary folder\n", stderr);
        return 1;
    }
    std::string path = std::string(szTemp) + "bench_archive_rw.dat";
    CInstallMngr info;
    FillTree(info);

    std::vector<double> writes, reads;
    int nFiles = 0;
    for (int i = 0; i < RUNS; ++i) {
        timer.Start();
        if (!Write(info, path.c_str()))
            return 1;
        writes.push_back(timer.ElapsedMs());
        timer.Start();
        if (!Read(path.c_str(), nFiles))
            return 1;
        reads.push_back(timer.ElapsedMs());
    }
    ULONGLONG ullSize = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        ullSize = data.nFileSizeLow;
    if (!DeleteFileA(path.c_str()))
        fprintf(stderr, "cannot delete %s\n", path.c_str());
    printf("archive of %d files in %d directories, %llu bytes, %d runs\n", nFiles, DIRECTORIES, ullSize, RUNS);
    printf("  write: median %.2f ms (min %.2f, max %.2f)\n", Median(writes),
           *std::min_element(writes.begin(), writes.end()), *std::max_element(writes.begin(), writes.end()));
    printf("  read:  median %.2f ms (min %.2f, max %.2f)\n", Median(reads),
           *std::min_element(reads.begin(), reads.end()), *std::max_element(reads.begin(), reads.end()));
    return nFiles == DIRECTORIES * FILES_PER_DIRECTORY ? 0 : 1;
}
