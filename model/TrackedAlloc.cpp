#include "TrackedAlloc.h"

#include <cstring>

namespace {
const int POOL_SLOTS = 100;
const int TAG_LENGTH = 50;

struct BlockRecord {
    void* pAddress;   // null: free slot
    HGLOBAL hMem;
    DWORD dwSize;
    char szTag[TAG_LENGTH + 1];
};

struct Pool {
    Pool* pNext;
    BlockRecord slots[POOL_SLOTS];
};

// Plain data, constant-initialised: usable before and after every static
// object's lifetime, and emptied explicitly by TrackedTerm.
struct Table {
    Pool* pPools;
    int nBlocks;
    DWORD dwBytes;
} g_table = {nullptr, 0, 0};

BlockRecord* FindRecord(void* p)
{
    for (Pool* pPool = g_table.pPools; pPool; pPool = pPool->pNext)
        for (BlockRecord& rec : pPool->slots)
            if (rec.pAddress == p)
                return &rec;
    return nullptr;
}

BlockRecord* FreeSlot()
{
    BlockRecord* pRec = FindRecord(nullptr);
    if (pRec)
        return pRec;
    Pool* pPool = static_cast<Pool*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Pool)));
    if (!pPool)
        return nullptr;
    pPool->pNext = g_table.pPools;
    g_table.pPools = pPool;
    return &pPool->slots[0];
}

void ReleaseBlock(BlockRecord& rec)
{
    GlobalUnlock(rec.hMem);
    GlobalFree(rec.hMem);
    rec.pAddress = nullptr;
}
}

void* TrackedAlloc(DWORD dwSize, const char* pszTag)
{
    BlockRecord* pRec = FreeSlot();
    if (!pRec)
        return nullptr;
    HGLOBAL hMem = GlobalAlloc(GMEM_MOVEABLE, dwSize);
    if (!hMem)
        return nullptr;
    void* p = GlobalLock(hMem);
    if (!p) {
        GlobalFree(hMem);
        return nullptr;
    }
    pRec->pAddress = p;
    pRec->hMem = hMem;
    pRec->dwSize = dwSize;
    lstrcpynA(pRec->szTag, pszTag ? pszTag : "", TAG_LENGTH + 1);
    ++g_table.nBlocks;
    g_table.dwBytes += dwSize;
    return p;
}

void TrackedFree(void* p)
{
    if (!p)
        return;
    BlockRecord* pRec = FindRecord(p);
    if (!pRec)
        return;
    g_table.dwBytes -= pRec->dwSize;
    --g_table.nBlocks;
    ReleaseBlock(*pRec);
}

void TrackedTerm()
{
    while (g_table.pPools) {
        Pool* pPool = g_table.pPools;
        for (BlockRecord& rec : pPool->slots)
            if (rec.pAddress)
                ReleaseBlock(rec);
        g_table.pPools = pPool->pNext;
        HeapFree(GetProcessHeap(), 0, pPool);
    }
    g_table.nBlocks = 0;
    g_table.dwBytes = 0;
}

int TrackedBlockCount()
{
    return g_table.nBlocks;
}

DWORD TrackedByteTotal()
{
    return g_table.dwBytes;
}
