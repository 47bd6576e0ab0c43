// The program folder: one Program Manager group with an item for each file
// the install information marks for it.
#include "ProgramFolder.h"
#include "SetupMngr.h"

#include "model/ItemCaption.h"

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
    return CreateProgmanGroupWithItems(m_strProgramFolder, items);
}
