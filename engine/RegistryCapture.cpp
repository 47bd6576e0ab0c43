#include "RegistryCapture.h"

#include "framework/CHandle.h"
#include "platform/Registry.h"
#include "platform/RegistryTree.h"
#include "platform/SecurityDescriptor.h"

#include <objbase.h>

namespace {
const char MACHINE_ROOT_NAME[] = "HKEY_LOCAL_MACHINE\\";
const char SCRATCH_PARENT[] = "Software\\Tilewright Setup";
// Full control for the system and the administrators, nobody else, handed
// down to the stand-ins and all the registration writes below them.
const char SCRATCH_SDDL[] = "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)";

LONG Finish(LONG lResult)
{
    if (lResult != ERROR_SUCCESS)
        SetLastError(static_cast<DWORD>(lResult));
    return lResult;
}

std::wstring Widened(const char* psz)
{
    int cch = MultiByteToWideChar(CP_ACP, 0, psz, -1, nullptr, 0);
    if (cch <= 0)
        return std::wstring();
    std::wstring str(static_cast<size_t>(cch), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, psz, -1, &str[0], cch) != cch)
        return std::wstring();
    str.resize(static_cast<size_t>(cch - 1));
    return str;
}

std::wstring SubkeyPath(const std::wstring& strKey, const std::wstring& strName)
{
    return strKey.empty() ? strName : strKey + L"\\" + strName;
}

// A name no other registration has: the text of a new GUID.
LONG NewScratchName(CString& strName)
{
    GUID guid;
    HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr))
        return HRESULT_CODE(hr);
    strName.Format("{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(guid.Data1),
                   guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                   guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return ERROR_SUCCESS;
}

// Not volatile: a library creates its keys as lasting ones, which a
// volatile key refuses below it.
LONG CreateNewKey(HKEY hParent, const char* pszName, SECURITY_ATTRIBUTES* pAttributes, CRegKey& key)
{
    DWORD dwDisposition = 0;
    LONG lResult = RegCreateKeyExA(hParent, pszName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY,
                                   pAttributes, &key, &dwDisposition);
    if (lResult == ERROR_SUCCESS && dwDisposition != REG_CREATED_NEW_KEY)
        lResult = ERROR_ALREADY_EXISTS;
    return lResult;
}

// Deletes the key unless something is left in it: a value or a subkey
// another program put there since stays, with the key. An empty name is
// refused: it would name hRoot itself.
LONG DeleteKeyWhenEmpty(HKEY hRoot, const std::wstring& strKey)
{
    if (strKey.empty())
        return ERROR_INVALID_PARAMETER;
    CRegKey key;
    LONG lResult = RegOpenKeyExW(hRoot, strKey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (lResult == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (lResult != ERROR_SUCCESS)
        return lResult;
    DWORD dwSubkeys = 0;
    DWORD dwValues = 0;
    lResult = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &dwSubkeys, nullptr, nullptr, &dwValues, nullptr,
                               nullptr, nullptr, nullptr);
    if (lResult != ERROR_SUCCESS || dwSubkeys > 0 || dwValues > 0)
        return lResult;
    key.Close();
    return RegDeleteKeyW(hRoot, strKey.c_str());
}

// Where the changes of one library's registration go, each journaled
// before it is made.
struct CApplyTarget {
    const CString& m_strLibrary;
    CJournal& m_journal;
    CAppliedCount& m_applied;
};

CJournalRecord ChangeRecord(const CApplyTarget& target, JournalOp op, HKEY hRoot)
{
    CJournalRecord record;
    record.m_op = op;
    record.m_strPath = target.m_strLibrary;
    record.m_hRoot = hRoot;
    return record;
}

LONG AddRecord(const CApplyTarget& target, const CJournalRecord& record)
{
    return target.m_journal.Add(record) ? ERROR_SUCCESS : static_cast<LONG>(GetLastError());
}

LONG JournalNewKey(const CApplyTarget& target, HKEY hRoot, const std::wstring& strKey)
{
    CJournalRecord record = ChangeRecord(target, JOURNAL_REGISTRY_NEW_KEY, hRoot);
    StoreRegKeyPath(strKey, record.m_data);
    return AddRecord(target, record);
}

LONG JournalValue(const CApplyTarget& target, HKEY hRoot, const std::wstring& strKey, BOOL bExisted,
                  const CRegValueCopy& former)
{
    CJournalRecord record = ChangeRecord(target, JOURNAL_REGISTRY_VALUE, hRoot);
    record.m_bExisted = bExisted;
    StoreRegValueCopy(strKey, former, record.m_data);
    return AddRecord(target, record);
}

// Writes the values of copy that the key lacks or holds with another type
// or other bytes; the ones it holds as they are stay untouched.
LONG ApplyValues(const CApplyTarget& target, HKEY hRoot, const std::wstring& strKey, HKEY hKey,
                 const CRegKeyCopy& copy)
{
    for (const CRegValueCopy& value : copy.m_values) {
        CRegValueCopy former;
        LONG lResult = ReadRegValue(hKey, value.m_strName, former);
        BOOL bExisted = lResult == ERROR_SUCCESS;
        if (bExisted && former.m_dwType == value.m_dwType && former.m_data == value.m_data)
            continue;
        if (!bExisted && lResult != ERROR_FILE_NOT_FOUND)
            return lResult;
        if (!bExisted)
            former = CRegValueCopy{value.m_strName, REG_NONE, {}};
        lResult = JournalValue(target, hRoot, strKey, bExisted, former);
        if (lResult != ERROR_SUCCESS)
            return lResult;
        lResult = RegSetValueExW(hKey, value.m_strName.c_str(), 0, value.m_dwType, value.m_data.data(),
                                 static_cast<DWORD>(value.m_data.size()));
        if (lResult != ERROR_SUCCESS)
            return lResult;
        ++target.m_applied.m_dwValues;
    }
    return ERROR_SUCCESS;
}

// Gives strKey of hRoot what copy holds, adding to what is there: parents
// before their subkeys, so that each key created is one level and one
// record.
LONG ApplyKey(const CApplyTarget& target, HKEY hRoot, const std::wstring& strKey, const CRegKeyCopy& copy)
{
    CRegKey key;
    const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE;
    LONG lResult = RegOpenKeyExW(hRoot, strKey.c_str(), 0, access, &key);
    if (lResult == ERROR_FILE_NOT_FOUND) {
        lResult = JournalNewKey(target, hRoot, strKey);
        if (lResult == ERROR_SUCCESS)
            lResult = RegCreateKeyExW(hRoot, strKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                      &key, nullptr);
        if (lResult == ERROR_SUCCESS)
            ++target.m_applied.m_dwKeys;
    }
    if (lResult == ERROR_SUCCESS)
        lResult = ApplyValues(target, hRoot, strKey, key, copy);
    for (const CRegKeyCopy& subkey : copy.m_subkeys) {
        if (lResult != ERROR_SUCCESS)
            return lResult;
        lResult = ApplyKey(target, hRoot, SubkeyPath(strKey, subkey.m_strName), subkey);
    }
    return lResult;
}

// A value that was not there goes, and stays gone when its key is gone.
LONG PutBackValue(HKEY hRoot, const std::wstring& strKey, BOOL bExisted, const CRegValueCopy& former)
{
    CRegKey key;
    if (!bExisted) {
        LONG lResult = RegOpenKeyExW(hRoot, strKey.c_str(), 0, KEY_SET_VALUE, &key);
        if (lResult == ERROR_SUCCESS)
            lResult = RegDeleteValueW(key, former.m_strName.c_str());
        return lResult == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : lResult;
    }
    LONG lResult = RegCreateKeyExW(hRoot, strKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                   &key, nullptr);
    if (lResult == ERROR_SUCCESS)
        lResult = RegSetValueExW(key, former.m_strName.c_str(), 0, former.m_dwType, former.m_data.data(),
                                 static_cast<DWORD>(former.m_data.size()));
    return lResult;
}
}

// "HKEY_LOCAL_MACHINE\Software\Tilewright Setup\<name>" with a name of one
// key: any other key would let the registration write where the setup
// never reads nor deletes.
BOOL ScratchKeyOfFullName(const char* pszFullName, CString& strKey)
{
    CString strFull = pszFullName;
    CString strPrefix = CString(MACHINE_ROOT_NAME) + SCRATCH_PARENT + "\\";
    int nPrefix = strPrefix.GetLength();
    if (strFull.GetLength() <= nPrefix || strFull.Left(nPrefix).CompareNoCase(strPrefix) != 0 ||
        strFull.Mid(nPrefix).Find('\\') >= 0)
        return FALSE;
    strKey = strFull.Mid(static_cast<int>(sizeof MACHINE_ROOT_NAME) - 1);
    return TRUE;
}

CScratchKey::~CScratchKey()
{
    Delete();
}

LONG CScratchKey::Create()
{
    CString strName;
    LONG lResult = NewScratchName(strName);
    CSecurityDescriptor descriptor;
    if (lResult == ERROR_SUCCESS && !descriptor.FromString(SCRATCH_SDDL))
        lResult = static_cast<LONG>(GetLastError());
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    CRegKey parent;
    lResult = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SCRATCH_PARENT, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_CREATE_SUB_KEY, descriptor.Attributes(), &parent, nullptr);
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    CRegKey key;
    lResult = CreateNewKey(parent, strName, descriptor.Attributes(), key);
    if (lResult != ERROR_SUCCESS) {
        DeleteKeyWhenEmpty(HKEY_LOCAL_MACHINE, Widened(SCRATCH_PARENT));
        return Finish(lResult);
    }
    m_strKey = CString(SCRATCH_PARENT) + "\\" + strName;
    return ERROR_SUCCESS;
}

LONG CScratchKey::Delete()
{
    if (m_strKey.IsEmpty())
        return ERROR_SUCCESS;
    LONG lResult = DeleteRegKeyTree(HKEY_LOCAL_MACHINE, m_strKey);
    if (lResult == ERROR_FILE_NOT_FOUND)
        lResult = ERROR_SUCCESS;
    if (lResult != ERROR_SUCCESS)
        return Finish(lResult);
    m_strKey.Empty();
    return Finish(DeleteKeyWhenEmpty(HKEY_LOCAL_MACHINE, Widened(SCRATCH_PARENT)));
}

CString CScratchKey::GetFullName() const
{
    return MACHINE_ROOT_NAME + m_strKey;
}

LONG CScratchKey::Apply(const CString& strLibrary, CJournal& journal, CAppliedCount& applied) const
{
    const CApplyTarget target = {strLibrary, journal, applied};
    for (const CCapturedRoot& root : CAPTURED_ROOTS) {
        CRegKeyCopy copy;
        LONG lResult = SaveRegKeyTree(HKEY_LOCAL_MACHINE, m_strKey + "\\" + root.m_pszStandIn, copy);
        if (lResult == ERROR_SUCCESS)
            lResult = ApplyKey(target, root.m_hTarget, root.m_pszTargetKey, copy);
        if (lResult != ERROR_SUCCESS)
            return Finish(lResult);
    }
    return ERROR_SUCCESS;
}

// The process ends soon after; a redirection that cannot be undone changes
// nothing it still does.
CKeyRedirection::~CKeyRedirection()
{
    for (HKEY hPredefined : m_redirected)
        RegOverridePredefKey(hPredefined, nullptr);
}

// The stand-ins are made here, below the key the setup made for this one
// registration; each is opened with full access, as the library would
// open the key it stands in for.
LONG CKeyRedirection::Redirect(const char* pszScratchKey)
{
    CRegKey scratch;
    LONG lResult = RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszScratchKey, 0, KEY_CREATE_SUB_KEY, &scratch);
    for (const CCapturedRoot& root : CAPTURED_ROOTS) {
        if (lResult != ERROR_SUCCESS)
            return Finish(lResult);
        CRegKey standIn;
        lResult = RegCreateKeyExA(scratch, root.m_pszStandIn, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &standIn, nullptr);
        // The system keeps a handle of its own to the stand-in.
        if (lResult == ERROR_SUCCESS)
            lResult = RegOverridePredefKey(root.m_hPredefined, standIn);
        if (lResult == ERROR_SUCCESS)
            m_redirected.push_back(root.m_hPredefined);
    }
    return Finish(lResult);
}

LONG UndoRegistrationChange(const CJournalRecord& record)
{
    std::wstring strKey;
    if (record.m_op == JOURNAL_REGISTRY_NEW_KEY) {
        if (!LoadRegKeyPath(record.m_data, strKey))
            return Finish(ERROR_INVALID_DATA);
        return Finish(DeleteKeyWhenEmpty(record.m_hRoot, strKey));
    }
    CRegValueCopy former;
    if (record.m_op != JOURNAL_REGISTRY_VALUE || !LoadRegValueCopy(record.m_data, strKey, former))
        return Finish(ERROR_INVALID_DATA);
    return Finish(PutBackValue(record.m_hRoot, strKey, record.m_bExisted, former));
}

LONG DeleteScratchKeys()
{
    LONG lResult = DeleteRegKeyTree(HKEY_LOCAL_MACHINE, SCRATCH_PARENT);
    return Finish(lResult == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : lResult);
}
