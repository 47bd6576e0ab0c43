#include "CList.h"

#include <cstdlib>
#include <new>

CPtrList::~CPtrList()
{
    RemoveAll();
}

CPtrList::CNode* CPtrList::NewNode()
{
    if (!m_pFree) {
        void* pMem = malloc(sizeof(CBlock) + sizeof(CNode) * static_cast<size_t>(m_nBlockSize));
        if (!pMem)
            throw std::bad_alloc();
        CBlock* pBlock = static_cast<CBlock*>(pMem);
        pBlock->pNext = m_pBlocks;
        m_pBlocks = pBlock;
        CNode* pNodes = pBlock->Nodes();
        for (int i = m_nBlockSize - 1; i >= 0; --i) {
            pNodes[i].pNext = m_pFree;
            m_pFree = &pNodes[i];
        }
    }
    CNode* pNode = m_pFree;
    m_pFree = pNode->pNext;
    return pNode;
}

POSITION CPtrList::AddTail(void* p)
{
    CNode* pNode = NewNode();
    pNode->data = p;
    pNode->pNext = nullptr;
    pNode->pPrev = m_pTail;
    if (m_pTail)
        m_pTail->pNext = pNode;
    else
        m_pHead = pNode;
    m_pTail = pNode;
    ++m_nCount;
    return reinterpret_cast<POSITION>(pNode);
}

void CPtrList::RemoveAll()
{
    while (m_pBlocks) {
        CBlock* pNext = m_pBlocks->pNext;
        free(m_pBlocks);
        m_pBlocks = pNext;
    }
    m_pHead = m_pTail = m_pFree = nullptr;
    m_nCount = 0;
}

void*& CPtrList::GetNext(POSITION& pos) const
{
    CNode* pNode = reinterpret_cast<CNode*>(pos);
    pos = reinterpret_cast<POSITION>(pNode->pNext);
    return pNode->data;
}
