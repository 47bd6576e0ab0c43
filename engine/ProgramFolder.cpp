// The program folder: one Program Manager group with an item for each file
// the install information marks for it. What was there before is noted, so
// that a failed run takes away only the items it added, and the group only
// when it made it.
#include "ProgramFolder.h"
#include "SetupMngr.h"

#include "model/ItemCaption.h"
#include "platform/FileUtil.h"

#include <memory>

CProgmanItemArray::~CProgmanItemArray()
{
    for (int i = 0; i < GetSize(); ++i)
        delete (*this)[i];
}

CProgmanItem* CProgmanItemArray::AddNew()
{
    std::unique_ptr<CProgmanItem> pItem(new CProgmanItem);
    Add(pItem.get());
    return pItem.release();
}

namespace {
// An item that was there is journaled with its link's bytes, which a
// rollback writes back over the new one. A Programs menu that cannot be
// found tells nothing: the group counts as there before, and each item
// too, with nothing to give back, so that a rollback removes nothing.
BOOL JournalProgramFolder(CJournal& journal, const CString& strGroup, const CProgmanItemArray& items,
                          BOOL& bGroupExisted)
{
    CString strFolder = GetProgmanGroupFolder(strGroup);
    CJournalRecord group;
    group.m_op = JOURNAL_PROGRAM_GROUP;
    group.m_strPath = strGroup;
    group.m_bExisted = strFolder.IsEmpty() || CheckDirectoryExists(strFolder) == ERROR_SUCCESS;
    bGroupExisted = group.m_bExisted;
    if (!journal.Add(group))
        return FALSE;
    for (int i = 0; i < items.GetSize(); ++i) {
        CJournalRecord item;
        item.m_op = JOURNAL_PROGRAM_ITEM;
        item.m_strPath = strGroup;
        item.m_strKept = items[i]->m_strCaption;
        if (!strFolder.IsEmpty()) {
            DWORD dwRead = ReadFileBytes(GetProgmanItemLink(strFolder, item.m_strKept), item.m_data);
            item.m_bExisted = !IsNotFound(dwRead);
        } else {
            item.m_bExisted = TRUE;
        }
        if (!journal.Add(item))
            return FALSE;
    }
    return TRUE;
}
}

BOOL CSetupMngr::CreateProgramFolder()
{
    CProgmanItemArray items;
    CObject* pObject;
    for (int n = GetFirstItem(pObject); n != ITEM_END; n = GetNextItem(pObject)) {
        if (n != ITEM_FILE)
            continue;
        const CInstalledFile* pFile = static_cast<const CInstalledFile*>(pObject);
        if (!(pFile->m_dwFlags & FILE_PROGRAM_ITEM))
            continue;
        CProgmanItem* pItem = items.AddNew();
        pItem->m_strCaption = GetItemCaption(pFile->GetFileName());
        pItem->m_strCommand = pFile->m_strPath;
    }
    BOOL bGroupExisted = TRUE;
    if (!JournalProgramFolder(m_journal, m_strProgramFolder, items, bGroupExisted)) {
        Log("program folder \"%s\": not made, the journal cannot be written, error %lu",
            static_cast<const char*>(m_strProgramFolder), GetLastError());
        return FALSE;
    }
    BOOL bCreated = CreateProgmanGroupWithItems(m_strProgramFolder, items);
    Log("program folder \"%s\" (%s): %s", static_cast<const char*>(m_strProgramFolder),
        bGroupExisted ? "there before" : "new", bCreated ? "created" : "failed");
    for (int i = 0; bCreated && i < items.GetSize(); ++i)
        Log("program item \"%s\": %s", static_cast<const char*>(items[i]->m_strCaption),
            static_cast<const char*>(items[i]->m_strCommand));
    return bCreated;
}
