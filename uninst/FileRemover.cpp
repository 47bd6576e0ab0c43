#include "FileRemover.h"

#include "InfoCheck.h"

#include "framework/SystemLibraries.h"
#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "ui/SetupLog.h"

#include <ole2.h>

#include <vector>

namespace {
const char KEY_SHARED_DLLS[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

typedef HRESULT(STDAPICALLTYPE* PFNDLLUNREGISTERSERVER)();

// A library that registered itself is asked to remove its registration
// before it goes; one without the entry, or whose entry fails, goes all
// the same, as the registration then points at nothing.
void Unregister(const char* pszPath)
{
    HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr)) {
        LogFormat("library not unregistered: %s: OLE did not start (0x%08lx)", pszPath,
                  static_cast<unsigned long>(hr));
        return;
    }
    HMODULE hLibrary = LoadLibraryBesideItsDependencies(pszPath);
    if (hLibrary) {
        FARPROC pfnEntry = GetProcAddress(hLibrary, "DllUnregisterServer");
        if (pfnEntry) {
            hr = reinterpret_cast<PFNDLLUNREGISTERSERVER>(reinterpret_cast<void (*)()>(pfnEntry))();
            LogFormat(SUCCEEDED(hr) ? "library unregistered: %s" : "library did not unregister: %s (0x%08lx)",
                      pszPath, static_cast<unsigned long>(hr));
        }
        FreeLibrary(hLibrary);
    } else {
        LogLine(CString("library not unregistered: ") + pszPath + ": it does not load", GetLastError());
    }
    OleUninitialize();
}

BOOL IsGone(DWORD dwError)
{
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

BOOL IsEmptyNode(const CDirNode& node)
{
    return node.children.IsEmpty() && node.files.IsEmpty();
}

// A symbolic link or junction in place of one of the tree's directories.
BOOL IsLink(const CString& strDir)
{
    DWORD dwAttributes = GetFileAttributesA(strDir);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
}

void CFileRemover::RemoveTree(CInstallMngr& info)
{
    int nIndex = 0;
    for (POSITION pos = info.m_root.children.GetHeadPosition(); pos; ++nIndex) {
        m_bInDestination = nIndex == 0;
        RemoveNode(*info.m_root.children.GetNext(pos),
                   CInfoCheck::TopLevelPath(info, m_strSystemDir, nIndex));
    }
}

void CFileRemover::RemoveNode(CDirNode& node, const CString& strDir)
{
    RemoveChildren(node, strDir);
    RemoveFiles(node);
}

// A directory left empty goes with its node; one that still holds
// something (left files, or files the user put there) stays.
void CFileRemover::RemoveChildren(CDirNode& node, const CString& strDir)
{
    std::vector<CDirNode*> kept;
    for (POSITION pos = node.children.GetHeadPosition(); pos;) {
        CDirNode* pChild = node.children.GetNext(pos);
        CString strChildDir = strDir + "\\" + pChild->dir->m_strPath;
        if (IsLink(strChildDir)) {
            RemoveLink(strChildDir);
            delete pChild;
        } else if (RemoveSubdirectory(*pChild, strChildDir)) {
            delete pChild;
        } else {
            kept.push_back(pChild);
        }
    }
    node.children.RemoveAll();
    for (CDirNode* pChild : kept)
        node.children.AddTail(pChild);
}

BOOL CFileRemover::RemoveSubdirectory(CDirNode& node, const CString& strDir)
{
    RemoveNode(node, strDir);
    if (!IsEmptyNode(node))
        return FALSE;
    if (!m_bInDestination)
        return TRUE;
    if (RemoveDirectoryA(strDir)) {
        LogFormat("directory removed: %s", static_cast<const char*>(strDir));
        return TRUE;
    }
    DWORD dwError = GetLastError();
    if (IsGone(dwError))
        return TRUE;
    LogLine("directory left: " + strDir, dwError);
    return FALSE;
}

// Whoever could put a link where the tree has a directory could point it
// anywhere: nothing is followed through it, and its records go, as what it
// leads to is not the product's. At most the link itself goes, which
// leaves its target alone; one that cannot go stays, as anything else put
// into the tree does.
void CFileRemover::RemoveLink(const CString& strLink)
{
    if (!m_bInDestination)
        return;
    if (RemoveDirectoryA(strLink))
        LogFormat("link removed, not followed: %s", static_cast<const char*>(strLink));
    else
        LogLine("link left, not followed: " + strLink, GetLastError());
}

void CFileRemover::RemoveFiles(CDirNode& node)
{
    std::vector<CInstalledFile*> kept;
    for (POSITION pos = node.files.GetHeadPosition(); pos;) {
        CInstalledFile* pFile = node.files.GetNext(pos);
        m_onFile(pFile->m_strPath);
        if (RemoveFile(*pFile)) {
            delete pFile;
        } else {
            kept.push_back(pFile);
            m_leftFiles.Add(pFile->m_strPath);
        }
    }
    node.files.RemoveAll();
    for (CInstalledFile* pFile : kept)
        node.files.AddTail(pFile);
}

// A file outside the destination that no count marks as shared is not
// this product's to remove (nor to unregister): it stays, and its record
// goes.
BOOL CFileRemover::RemoveFile(const CInstalledFile& file)
{
    if (file.m_dwFlags & FILE_SHARED)
        return ReleaseShared(file);
    if (m_bInDestination)
        return DeleteInstalled(file);
    LogFormat("file kept: %s: outside the destination and not counted as shared",
              static_cast<const char*>(file.m_strPath));
    return TRUE;
}

// Without a count nobody can say who else uses the library: it stays.
// The count is lowered, or its value deleted with the file, only once
// the file is really gone, so that another try finds it as it was. A
// further record of a file already handled goes without touching it.
BOOL CFileRemover::ReleaseShared(const CInstalledFile& file)
{
    if (!m_releasedFiles.insert(file.m_strPath).second)
        return TRUE;
    const char* pszPath = file.m_strPath;
    DWORD dwCount = 0;
    LONG lResult = GetRegDword(HKEY_LOCAL_MACHINE, KEY_SHARED_DLLS, pszPath, dwCount);
    if (lResult == ERROR_FILE_NOT_FOUND) {
        LogFormat("file kept: %s: shared, without a count", pszPath);
        return TRUE;
    }
    if (lResult == ERROR_SUCCESS && dwCount > 1) {
        lResult = SetRegDword(HKEY_LOCAL_MACHINE, KEY_SHARED_DLLS, pszPath, dwCount - 1);
        if (lResult == ERROR_SUCCESS) {
            LogFormat("file kept: %s: shared, its count lowered to %lu", pszPath,
                      static_cast<unsigned long>(dwCount - 1));
            return TRUE;
        }
    } else if (lResult == ERROR_SUCCESS) {
        if (!DeleteInstalled(file))
            return FALSE;
        lResult = DeleteRegValue(HKEY_LOCAL_MACHINE, KEY_SHARED_DLLS, pszPath);
        if (lResult == ERROR_SUCCESS) {
            LogFormat("shared count removed: %s", pszPath);
            return TRUE;
        }
    }
    LogLine(CString("file left: ") + pszPath + ": its shared count", static_cast<DWORD>(lResult));
    return FALSE;
}

BOOL CFileRemover::DeleteInstalled(const CInstalledFile& file)
{
    DWORD dwExists = CheckFileExists(file.m_strPath);
    if (IsGone(dwExists)) {
        LogFormat("file already gone: %s", static_cast<const char*>(file.m_strPath));
        return TRUE;
    }
    if ((file.m_dwFlags & FILE_REGISTER) && dwExists == ERROR_SUCCESS)
        Unregister(file.m_strPath);
    // A read-only file is the product's as well; should the attribute not
    // clear, the deletion fails and says so.
    SetFileAttributesA(file.m_strPath, FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(file.m_strPath)) {
        LogFormat("file removed: %s", static_cast<const char*>(file.m_strPath));
        return TRUE;
    }
    DWORD dwError = GetLastError();
    if (IsGone(dwError))
        return TRUE;
    LogLine("file left: " + file.m_strPath, dwError);
    return FALSE;
}
