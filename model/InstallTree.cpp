#include "InstallTree.h"

#include "platform/FileUtil.h"

#include <cstring>

IMPLEMENT_SERIAL(CInstallDir, CObject, 0)
IMPLEMENT_SERIAL(CInstalledFile, CObject, 2)

namespace {
// Deeper than any path of 260 characters can go: a record nested further is
// hostile, and reading it recursively would exhaust the stack.
const int MAX_TREE_DEPTH = 260;
}

void CInstallDir::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_strPath;
    else
        ar >> m_strPath;
}

CInstalledFile::CInstalledFile()
{
    memset(&m_version, 0, sizeof m_version);
}

void CInstalledFile::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_strPath << m_dwFlags << m_dwSize;
        ar.Write(&m_version, sizeof m_version);
    } else {
        ar >> m_strPath >> m_dwFlags >> m_dwSize;
        ar.Read(&m_version, sizeof m_version);
    }
}

CString CInstalledFile::GetFileName() const
{
    return GetFileNameFromPath(m_strPath);
}

void CDirNode::Clear()
{
    for (POSITION pos = children.GetHeadPosition(); pos;)
        delete children.GetNext(pos);
    children.RemoveAll();
    delete dir;
    dir = nullptr;
    for (POSITION pos = files.GetHeadPosition(); pos;)
        delete files.GetNext(pos);
    files.RemoveAll();
    posNextChild = posNextFile = nullptr;
}

CInstallTree::CInstallTree() : m_pCurNode(&m_root) {}

CInstallTree::~CInstallTree()
{
    ClearTree();
}

void CInstallTree::ClearTree()
{
    m_root.Clear();
    m_pCurNode = &m_root;
    m_pEnumNode = nullptr;
}

int CInstallTree::EnterChild(CDirNode* pParent, CObject*& pItem, POSITION& pos)
{
    pos = pParent->posNextChild;
    CDirNode* pChild = pParent->children.GetNext(pParent->posNextChild);
    m_pEnumNode = pChild;
    pChild->posNextChild = pChild->children.GetHeadPosition();
    pChild->posNextFile = pChild->files.GetHeadPosition();
    pItem = pChild->dir;
    return ITEM_ENTER_DIR;
}

int CInstallTree::GetFirstItem(CObject*& pItem, POSITION& pos)
{
    m_root.posNextChild = m_root.children.GetHeadPosition();
    m_root.posNextFile = m_root.files.GetHeadPosition();
    m_pEnumNode = &m_root;
    return GetNextItem(pItem, pos);
}

int CInstallTree::GetNextItem(CObject*& pItem, POSITION& pos)
{
    CDirNode* pNode = m_pEnumNode;
    pItem = nullptr;
    pos = nullptr;
    if (!pNode)
        return ITEM_END;
    if (pNode->posNextChild)
        return EnterChild(pNode, pItem, pos);
    if (pNode->posNextFile) {
        pos = pNode->posNextFile;
        pItem = pNode->files.GetNext(pNode->posNextFile);
        return ITEM_FILE;
    }
    if (pNode == &m_root)
        return ITEM_END;
    m_pEnumNode = pNode->parent;
    pItem = m_pEnumNode->dir;
    return ITEM_LEAVE_DIR;
}

int CInstallTree::GetFirstItem(CObject*& pItem)
{
    POSITION pos;
    return GetFirstItem(pItem, pos);
}

int CInstallTree::GetNextItem(CObject*& pItem)
{
    POSITION pos;
    return GetNextItem(pItem, pos);
}

void CInstallTree::SerializeTree(CArchive& ar)
{
    SerializeNode(ar, m_root, 0);
}

void CInstallTree::SerializeNode(CArchive& ar, CDirNode& node, int nDepth)
{
    if (ar.IsStoring()) {
        ar << static_cast<BYTE>(node.dir ? 1 : 0);
        if (node.dir)
            node.dir->Serialize(ar);
        ar << static_cast<DWORD>(node.children.GetCount());
        for (POSITION pos = node.children.GetHeadPosition(); pos;)
            SerializeNode(ar, *node.children.GetNext(pos), nDepth + 1);
        ar << static_cast<DWORD>(node.files.GetCount());
        for (POSITION pos = node.files.GetHeadPosition(); pos;) {
            CInstalledFile* pFile = node.files.GetNext(pos);
            ar << static_cast<BYTE>(pFile ? 1 : 0);
            if (pFile)
                pFile->Serialize(ar);
        }
        return;
    }

    if (nDepth > MAX_TREE_DEPTH)
        throw CArchiveException(CArchiveException::genericException);
    BYTE bPresent;
    ar >> bPresent;
    if (bPresent) {
        node.dir = new CInstallDir;
        node.dir->Serialize(ar);
    }
    LONG nChildren;
    ar >> nChildren;
    for (LONG i = 0; i < nChildren; ++i) {
        CDirNode* pChild = new CDirNode(&node);
        node.children.AddTail(pChild);
        SerializeNode(ar, *pChild, nDepth + 1);
    }
    LONG nFiles;
    ar >> nFiles;
    for (LONG i = 0; i < nFiles; ++i) {
        ar >> bPresent;
        if (!bPresent)
            continue;
        CInstalledFile* pFile = new CInstalledFile;
        node.files.AddTail(pFile);
        pFile->Serialize(ar);
    }
}
