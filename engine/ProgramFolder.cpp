// The program folder: one Program Manager group, or for a run without a
// shell one folder of links in the Programs menu all users share, with an
// item for each file the install information marks for it. What was there
// before is noted, so that a failed run takes away only the items it added,
// and the group only when it made it.
#include "ProgramFolder.h"
#include "SetupMngr.h"

#include "model/ItemCaption.h"
#include "platform/FileUtil.h"
#include "platform/ShellLinks.h"

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
// Links made directly name their folder in the records, so that the undo
// needs no Program Manager either.
BOOL JournalProgramFolder(CJournal& journal, const CString& strGroup, const CString& strFolder, BOOL bDirect,
                          const CProgmanItemArray& items, BOOL& bGroupExisted)
{
    CString strWhere = bDirect ? strFolder : CString();
    CJournalRecord group;
    group.m_op = JOURNAL_PROGRAM_GROUP;
    group.m_strPath = strGroup;
    group.m_strTemp = strWhere;
    group.m_bExisted = strFolder.IsEmpty() || CheckDirectoryExists(strFolder) == ERROR_SUCCESS;
    bGroupExisted = group.m_bExisted;
    if (!journal.Add(group))
        return FALSE;
    for (int i = 0; i < items.GetSize(); ++i) {
        CJournalRecord item;
        item.m_op = JOURNAL_PROGRAM_ITEM;
        item.m_strPath = strGroup;
        item.m_strKept = items[i]->m_strCaption;
        item.m_strTemp = strWhere;
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

void CollectProgramItems(CInstallMngr& info, CProgmanItemArray& items)
{
    CObject* pObject;
    for (int n = info.GetFirstItem(pObject); n != ITEM_END; n = info.GetNextItem(pObject)) {
        if (n != ITEM_FILE)
            continue;
        const CInstalledFile* pFile = static_cast<const CInstalledFile*>(pObject);
        if (!(pFile->m_dwFlags & FILE_PROGRAM_ITEM))
            continue;
        CProgmanItem* pItem = items.AddNew();
        pItem->m_strCaption = GetItemCaption(pFile->GetFileName());
        pItem->m_strCommand = pFile->m_strPath;
    }
}
}

BOOL CSetupMngr::CreateProgramFolder()
{
    if (m_bNoProgramFolder) {
        Log("program folder: none, as the command line asks");
        m_strProgramFolder.Empty();
        return TRUE;
    }
    CProgmanItemArray items;
    CollectProgramItems(*this, items);
    return m_bCommonLinks ? CreateProgramLinks(items) : CreateProgmanFolder(items);
}

BOOL CSetupMngr::CreateProgmanFolder(const CProgmanItemArray& items)
{
    BOOL bGroupExisted = TRUE;
    if (!JournalProgramFolder(m_journal, m_strProgramFolder, GetProgmanGroupFolder(m_strProgramFolder), FALSE, items,
                              bGroupExisted)) {
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

// The folder is made by the run itself; an item that cannot be made is
// passed over, as Program Manager would pass over an item it refused.
BOOL CSetupMngr::CreateProgramLinks(const CProgmanItemArray& items)
{
    const char* pszGroup = m_strProgramFolder;
    CString strFolder = GetCommonProgramFolder(pszGroup);
    if (strFolder.IsEmpty()) {
        Log("program folder \"%s\": not made, the Programs menu of all users cannot be found", pszGroup);
        return FALSE;
    }
    BOOL bFolderExisted = TRUE;
    if (!JournalProgramFolder(m_journal, m_strProgramFolder, strFolder, TRUE, items, bFolderExisted)) {
        Log("program folder \"%s\": not made, the journal cannot be written, error %lu", pszGroup, GetLastError());
        return FALSE;
    }
    if (!bFolderExisted && !CreateDirectoryA(strFolder, nullptr)) {
        Log("program folder \"%s\" (new): %s failed, error %lu", pszGroup, static_cast<const char*>(strFolder),
            GetLastError());
        return FALSE;
    }
    Log("program folder \"%s\" (%s): %s", pszGroup, bFolderExisted ? "there before" : "new",
        static_cast<const char*>(strFolder));
    for (int i = 0; i < items.GetSize(); ++i) {
        const CProgmanItem* pItem = items[i];
        CString strLink = GetProgmanItemLink(strFolder, pItem->m_strCaption);
        if (CreateShellLink(strLink, pItem->m_strCommand))
            Log("program item \"%s\": %s, link %s", static_cast<const char*>(pItem->m_strCaption),
                static_cast<const char*>(pItem->m_strCommand), static_cast<const char*>(strLink));
        else
            Log("warning: program item \"%s\": %s not made, error %lu", static_cast<const char*>(pItem->m_strCaption),
                static_cast<const char*>(strLink), GetLastError());
    }
    return TRUE;
}
