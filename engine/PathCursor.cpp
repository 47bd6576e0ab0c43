// The path cursor: the node of the tree the copy walk stands in and the full
// destination path of that node.
#include "SetupMngr.h"

namespace {
const int CURSOR_TOP_NONE = 3;
const int CURSOR_TOP_NOT_FOUND = -1;
const int CURSOR_TO_ROOT = -2;
const int CURSOR_TO_PARENT = -1;

int DirNameLength(const CDirNode* pNode)
{
    return pNode->dir ? pNode->dir->m_strPath.GetLength() : 0;
}
}

void CSetupMngr::EnterDirectory(CDirNode* pNode)
{
    if (m_nDepth == 0) {
        m_nTopIndex = CURSOR_TOP_NOT_FOUND;
        int nIndex = 0;
        for (POSITION pos = m_pCurNode->children.GetHeadPosition(); pos; ++nIndex) {
            if (m_pCurNode->children.GetNext(pos)->dir == pNode->dir) {
                m_nTopIndex = nIndex;
                break;
            }
        }
    }
    m_pCurNode = pNode;
    ++m_nDepth;
    if (m_nDepth > 1)
        m_strCurPath += '\\';
    if (pNode->dir)
        m_strCurPath += pNode->dir->m_strPath;
}

void CSetupMngr::ChangeDirectory(int nIndex)
{
    if (nIndex == CURSOR_TO_ROOT) {
        m_strCurPath.Empty();
        m_nDepth = 0;
        m_pCurNode = &m_root;
        m_nTopIndex = CURSOR_TOP_NONE;
    } else if (nIndex == CURSOR_TO_PARENT) {
        // At the root there is no parent to go to.
        if (m_nDepth == 0 || !m_pCurNode->parent)
            return;
        if (m_nDepth == 1)
            m_strCurPath.Empty();
        else
            m_strCurPath = m_strCurPath.Left(m_strCurPath.GetLength() - DirNameLength(m_pCurNode) - 1);
        m_pCurNode = m_pCurNode->parent;
        if (--m_nDepth == 0)
            m_nTopIndex = CURSOR_TOP_NONE;
    } else if (CDirNode* pChild = GetChildNode(nIndex)) {
        EnterDirectory(pChild);
    }
}

CDirNode* CSetupMngr::GetChildNode(int nIndex)
{
    if (nIndex < 0)
        return nullptr;
    POSITION pos = m_pCurNode->children.GetHeadPosition();
    for (int i = 0; pos && i < nIndex; ++i)
        m_pCurNode->children.GetNext(pos);
    return pos ? m_pCurNode->children.GetAt(pos) : nullptr;
}
