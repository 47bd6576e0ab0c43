// Doubly linked list of pointers whose cells are allocated in blocks
// (10 cells by default) and reused through a free list.
#pragma once

#include "fwdefs.h"

class CPtrList {
public:
    explicit CPtrList(int nBlockSize = 10) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}
    CPtrList(const CPtrList&) = delete;
    CPtrList& operator=(const CPtrList&) = delete;
    ~CPtrList();

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    POSITION AddTail(void* p);
    void RemoveAll();
    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pHead); }
    void*& GetNext(POSITION& pos) const;
    void*& GetAt(POSITION pos) const { return reinterpret_cast<CNode*>(pos)->data; }

private:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        void* data;
    };
    struct CBlock {
        CBlock* pNext;
        CNode* Nodes() { return reinterpret_cast<CNode*>(this + 1); }
    };

    CNode* NewNode();

    int m_nBlockSize;
    int m_nCount = 0;
    CNode* m_pHead = nullptr;
    CNode* m_pTail = nullptr;
    CNode* m_pFree = nullptr;
    CBlock* m_pBlocks = nullptr;
};

template <class T>
class CTypedPtrList : public CPtrList {
public:
    explicit CTypedPtrList(int nBlockSize = 10) : CPtrList(nBlockSize) {}
    POSITION AddTail(T* p) { return CPtrList::AddTail(p); }
    T* GetNext(POSITION& pos) const { return static_cast<T*>(CPtrList::GetNext(pos)); }
    T* GetAt(POSITION pos) const { return static_cast<T*>(CPtrList::GetAt(pos)); }
};
