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
// A Programs menu that cannot be found tells nothing: the group counts as
// there before, and no item as added, so that a rollback removes nothing.
void NoteProgramFolder(RollbackInfo& rb, const CString& strGroup, const CProgmanItemArray& items)
{
    CString strFolder = GetProgmanGroupFolder(strGroup);
    rb.m_bGroupExisted = strFolder.IsEmpty() || CheckDirectoryExists(strFolder) == ERROR_SUCCESS;
    for (int i = 0; !strFolder.IsEmpty() && i < items.GetSize(); ++i) {
        const CString& strCaption = items[i]->m_strCaption;
        DWORD dwExists = CheckFileExists(GetProgmanItemLink(strFolder, strCaption));
        if (dwExists == ERROR_FILE_NOT_FOUND || dwExists == ERROR_PATH_NOT_FOUND)
            rb.m_addedItems.Add(strCaption);
    }
    rb.m_bProgramFolderWritten = TRUE;
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
    NoteProgramFolder(m_rollback, m_strProgramFolder, items);
    BOOL bCreated = CreateProgmanGroupWithItems(m_strProgramFolder, items);
    Log("program folder \"%s\" (%s): %s", static_cast<const char*>(m_strProgramFolder),
        m_rollback.m_bGroupExisted ? "there before" : "new", bCreated ? "created" : "failed");
    for (int i = 0; bCreated && i < items.GetSize(); ++i)
        Log("program item \"%s\": %s", static_cast<const char*>(items[i]->m_strCaption),
            static_cast<const char*>(items[i]->m_strCommand));
    return bCreated;
}
