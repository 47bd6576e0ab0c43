#include "Progman.h"

#include "FileUtil.h"

#include <shlobj.h>

#include <cstring>
#include <new>

namespace {

const char PROGMAN_NAME[] = "PROGMAN";
const char PROGMAN_GROUPS_ITEM[] = "Groups";
// Characters that end an argument or the command in Program Manager's syntax.
const char PROGMAN_SYNTAX_CHARS[] = ",()[]\"";
const char PROGMAN_QUOTE_CHARS[] = "\"";

// A group name that fits its buffer always fits the CreateGroup command.
static_assert(sizeof("[CreateGroup()]") - 1 + PROGMAN_GROUP_BUFFER <= PROGMAN_CREATE_BUFFER,
              "the CreateGroup command buffer must hold the longest group name");
// The context record is the same on 32 and 64 bits.
static_assert(sizeof(CONVCONTEXT) == 36, "CONVCONTEXT is expected to be 36 bytes");

CString g_strService = PROGMAN_NAME;

BOOL Refuse(DWORD dwError)
{
    SetLastError(dwError);
    return FALSE;
}

BOOL CheckGroupName(const char* pszGroup)
{
    if (!pszGroup)
        return Refuse(ERROR_INVALID_PARAMETER);
    if (!*pszGroup || ContainsAnyChar(pszGroup, PROGMAN_SYNTAX_CHARS))
        return Refuse(ERROR_INVALID_NAME);
    if (strlen(pszGroup) >= static_cast<size_t>(PROGMAN_GROUP_BUFFER))
        return Refuse(ERROR_FILENAME_EXCED_RANGE);
    return TRUE;
}

BOOL FormatAddItemCommand(const CProgmanItem* pItem, CString& strCommand)
{
    if (!pItem)
        return Refuse(ERROR_INVALID_PARAMETER);
    if (ContainsAnyChar(pItem->m_strCaption, PROGMAN_SYNTAX_CHARS)
        || ContainsAnyChar(pItem->m_strCommand, PROGMAN_QUOTE_CHARS))
        return Refuse(ERROR_INVALID_NAME);
    strCommand.Format("[AddItem(\"%s\",%s)]", static_cast<const char*>(pItem->m_strCommand),
                      static_cast<const char*>(pItem->m_strCaption));
    if (strCommand.GetLength() >= PROGMAN_ADDITEM_BUFFER)
        return Refuse(ERROR_FILENAME_EXCED_RANGE);
    return TRUE;
}

// Every item's command, or FALSE at the first item that cannot be sent.
BOOL FormatAddItemCommands(const CProgmanItemPtrArray& items, CStringArray& commands)
{
    for (int i = 0; i < items.GetSize(); ++i) {
        CString strCommand;
        if (!FormatAddItemCommand(items[i], strCommand))
            return FALSE;
        commands.Add(strCommand);
    }
    return TRUE;
}

// A string handle of one library instance.
class CDdeString {
public:
    CDdeString(DWORD dwInst, const char* psz)
        : m_dwInst(dwInst), m_hsz(DdeCreateStringHandleA(dwInst, psz, CP_WINANSI))
    {
    }
    CDdeString(const CDdeString&) = delete;
    CDdeString& operator=(const CDdeString&) = delete;
    ~CDdeString()
    {
        if (m_hsz)
            DdeFreeStringHandle(m_dwInst, m_hsz);
    }
    HSZ Get() const { return m_hsz; }

private:
    DWORD m_dwInst;
    HSZ m_hsz;
};

// One client instance of the library and at most one conversation with
// Program Manager; both end with the object. Transactions on a conversation
// that could not be made do nothing: Program Manager's absence is not
// reported to the callers.
class CDdeClient {
public:
    CDdeClient()
    {
        UINT uResult = DdeInitializeA(&m_dwInst, ProgmanDdeCallback, APPCMD_CLIENTONLY, 0);
        if (uResult != DMLERR_NO_ERROR) {
            m_dwInst = 0;
            SetLastError(uResult);
        }
    }
    CDdeClient(const CDdeClient&) = delete;
    CDdeClient& operator=(const CDdeClient&) = delete;
    ~CDdeClient()
    {
        if (m_hConv)
            DdeDisconnect(m_hConv);
        if (m_dwInst)
            DdeUninitialize(m_dwInst);
    }

    bool IsStarted() const { return m_dwInst != 0; }

    void Connect()
    {
        CDdeString service(m_dwInst, g_strService);
        CDdeString topic(m_dwInst, PROGMAN_NAME);
        if (!service.Get() || !topic.Get())
            return;
        CONVCONTEXT context = {};
        context.cb = sizeof(context);
        m_hConv = DdeConnect(m_dwInst, service.Get(), topic.Get(), &context);
    }

    void Execute(const char* pszCommand, DWORD dwTimeout)
    {
        if (!m_hConv)
            return;
        DWORD cb = static_cast<DWORD>(strlen(pszCommand)) + 1;
        HDDEDATA hData = DdeCreateDataHandle(
            m_dwInst, reinterpret_cast<LPBYTE>(const_cast<char*>(pszCommand)), cb, 0, nullptr,
            CF_TEXT, 0);
        if (!hData)
            return;
        // The library frees the handle; a rejected command is not reported.
        DdeClientTransaction(reinterpret_cast<LPBYTE>(hData), static_cast<DWORD>(-1), m_hConv,
                             nullptr, 0, XTYP_EXECUTE, dwTimeout, nullptr);
    }

    void Request(const char* pszItem, CByteArray& data)
    {
        if (!m_hConv)
            return;
        CDdeString item(m_dwInst, pszItem);
        if (!item.Get())
            return;
        HDDEDATA hData = DdeClientTransaction(nullptr, 0, m_hConv, item.Get(), CF_TEXT,
                                              XTYP_REQUEST, DDE_TIMEOUT, nullptr);
        if (!hData)
            return;
        CopyData(hData, data);
        DdeFreeDataHandle(hData);
    }

private:
    static void CopyData(HDDEDATA hData, CByteArray& data)
    {
        DWORD cb = 0;
        const BYTE* pb = DdeAccessData(hData, &cb);
        if (!pb)
            return;
        try {
            data.SetSize(static_cast<int>(cb));
            if (cb)
                memcpy(&data[0], pb, cb);
        } catch (const std::bad_alloc&) {
            data.RemoveAll();
        }
        DdeUnaccessData(hData);
    }

    DWORD m_dwInst = 0;
    HCONV m_hConv = nullptr;
};

}

BOOL GetProgmanGroups(CStringArray& groups)
{
    CByteArray data;
    if (!RequestProgmanData(PROGMAN_GROUPS_ITEM, data))
        return FALSE;
    return ParseProgmanGroups(data.IsEmpty() ? nullptr : &data[0],
                              static_cast<DWORD>(data.GetSize()), groups);
}

BOOL ParseProgmanGroups(const BYTE* pData, DWORD dwSize, CStringArray& groups)
{
    groups.RemoveAll();
    if (dwSize == 0)
        return FALSE;
    const char* pch = reinterpret_cast<const char*>(pData);
    const void* pZero = memchr(pch, 0, dwSize);
    DWORD cch = pZero ? static_cast<DWORD>(static_cast<const char*>(pZero) - pch) : dwSize;

    int nLineFeeds = 0;
    for (DWORD i = 1; i < cch; ++i)
        if (pch[i] == '\n')
            ++nLineFeeds;
    groups.SetSize(nLineFeeds);

    int nEntry = 0;
    for (DWORD i = 0; i < cch;) {
        if (pch[i] == '\n') {
            ++i;
            continue;
        }
        DWORD dwStart = i;
        while (i < cch && pch[i] != '\n')
            ++i;
        DWORD dwEnd = dwStart;
        while (dwEnd < i && pch[dwEnd] != '\r')
            ++dwEnd;
        CString strName(pch + dwStart, static_cast<int>(dwEnd - dwStart));
        if (nEntry < groups.GetSize())
            groups.SetAt(nEntry, strName);
        else
            groups.Add(strName);
        ++nEntry;
    }
    return TRUE;
}

BOOL CreateProgmanGroupWithItems(const char* pszGroup, const CProgmanItemPtrArray& items)
{
    CStringArray commands;
    if (!CheckGroupName(pszGroup) || !FormatAddItemCommands(items, commands))
        return FALSE;
    return CreateProgmanGroup(pszGroup) && ExecuteProgmanCommands(commands);
}

BOOL CreateProgmanGroup(const char* pszGroup)
{
    if (!CheckGroupName(pszGroup))
        return FALSE;
    CString strCommand;
    strCommand.Format("[CreateGroup(%s)]", pszGroup);
    CDdeClient client;
    if (!client.IsStarted())
        return FALSE;
    client.Connect();
    client.Execute(strCommand, DDE_EXEC_TIMEOUT_GROUP);
    return TRUE;
}

BOOL AddProgmanItems(const CProgmanItemPtrArray& items)
{
    CStringArray commands;
    if (!FormatAddItemCommands(items, commands))
        return FALSE;
    return ExecuteProgmanCommands(commands);
}

BOOL DeleteProgmanItems(const char* pszGroup, const CStringArray& captions)
{
    if (!CheckGroupName(pszGroup))
        return FALSE;
    CStringArray commands;
    CString strCommand;
    strCommand.Format("[ShowGroup(%s,1)]", pszGroup);
    commands.Add(strCommand);
    for (int i = 0; i < captions.GetSize(); ++i) {
        if (captions[i].IsEmpty() || ContainsAnyChar(captions[i], PROGMAN_SYNTAX_CHARS))
            continue;
        strCommand.Format("[DeleteItem(%s)]", static_cast<const char*>(captions[i]));
        commands.Add(strCommand);
    }
    return ExecuteProgmanCommands(commands);
}

CString GetProgmanGroupFolder(const char* pszGroup)
{
    return GetProgramsMenuFolder(CSIDL_PROGRAMS, pszGroup);
}

CString GetProgramsMenuFolder(int nCsidl, const char* pszFolder)
{
    char szPrograms[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, nCsidl, nullptr, SHGFP_TYPE_CURRENT, szPrograms)))
        return CString();
    return CString(szPrograms) + "\\" + pszFolder;
}

CString GetProgmanItemLink(const char* pszGroupFolder, const char* pszCaption)
{
    return CString(pszGroupFolder) + "\\" + pszCaption + ".lnk";
}

BOOL RemoveProgmanItems(const char* pszGroup, const CStringArray& captions, BOOL bDeleteEmptyGroup)
{
    if (!DeleteProgmanItems(pszGroup, captions))
        return FALSE;
    if (!bDeleteEmptyGroup)
        return TRUE;
    // A group whose folder cannot be told empty may hold others' items.
    CString strFolder = GetProgmanGroupFolder(pszGroup);
    if (strFolder.IsEmpty() || !IsEmptyDirectory(strFolder))
        return TRUE;
    CStringArray commands;
    CString strCommand;
    strCommand.Format("[DeleteGroup(%s)]", pszGroup);
    commands.Add(strCommand);
    return ExecuteProgmanCommands(commands);
}

BOOL RequestProgmanData(const char* pszItem, CByteArray& data)
{
    data.RemoveAll();
    CDdeClient client;
    if (!client.IsStarted())
        return FALSE;
    client.Connect();
    client.Request(pszItem, data);
    return TRUE;
}

BOOL ExecuteProgmanCommands(const CStringArray& commands)
{
    CDdeClient client;
    if (!client.IsStarted())
        return FALSE;
    client.Connect();
    for (int i = 0; i < commands.GetSize(); ++i)
        client.Execute(commands[i], DDE_EXEC_TIMEOUT_ITEM);
    return TRUE;
}

HDDEDATA CALLBACK ProgmanDdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

void SetProgmanService(const char* pszService)
{
    g_strService = pszService ? pszService : PROGMAN_NAME;
}
