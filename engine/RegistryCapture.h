// A library's self-registration, captured: its registration entry runs with
// the predefined keys of its process redirected to stand-ins below a
// scratch key of the setup's own, and the setup then applies what landed
// there to the real keys itself, journaling the former state of each
// change before it makes it. A rollback, now or at the next start, undoes
// exactly those changes, and a registration that was there before the run
// (the same control registered from another directory, an older copy
// replaced) is left as it was.
//
// Known limits: the entry sees only what it writes itself (a library that
// reads a key during its registration finds the empty stand-in), and what
// it deletes is not deleted. Writes that do not go through the predefined
// keys escape the capture: under Wine 8 these are the class keys ole32
// changes itself (CoTreatAsClass, OleSetAutoConvert) and
// HKEY_CLASSES_ROOT opened with an explicit 32- or 64-bit view.
#pragma once

#include "Journal.h"

#include "framework/CString.h"

#include <windows.h>

#include <vector>

// A predefined key whose writes are captured: the name of its stand-in
// below the scratch key, and where the setup applies what was written
// there. The merged HKEY_CLASSES_ROOT goes to the machine's classes: the
// installation is for every user, and a write through the merged view
// could land in the per-user classes of whoever runs the setup.
struct CCapturedRoot {
    HKEY m_hPredefined;
    const char* m_pszStandIn;
    HKEY m_hTarget;
    const wchar_t* m_pszTargetKey;  // below m_hTarget; empty: m_hTarget itself
};

inline const CCapturedRoot CAPTURED_ROOTS[] = {
    {HKEY_CLASSES_ROOT, "HKCR", HKEY_LOCAL_MACHINE, L"Software\\Classes"},
    {HKEY_LOCAL_MACHINE, "HKLM", HKEY_LOCAL_MACHINE, L""},
    {HKEY_CURRENT_USER, "HKCU", HKEY_CURRENT_USER, L""},
    {HKEY_USERS, "HKU", HKEY_USERS, L""},
};

// What applying one captured registration changed.
struct CAppliedCount {
    DWORD m_dwKeys = 0;    // keys created
    DWORD m_dwValues = 0;  // values written
};

// One registration's scratch key, made fresh under a unique name below
// HKEY_LOCAL_MACHINE\Software\Tilewright Setup, where only the system and
// the administrators may write. It goes with the object, and the setup's
// key with it when nothing else is left there.
class CScratchKey {
public:
    CScratchKey() = default;
    CScratchKey(const CScratchKey&) = delete;
    CScratchKey& operator=(const CScratchKey&) = delete;
    ~CScratchKey();

    LONG Create();
    LONG Delete();
    // The key's full name, "HKEY_LOCAL_MACHINE\...", as the registration
    // process is given it.
    CString GetFullName() const;
    // Applies what the registration of strLibrary wrote into its stand-ins
    // to the real keys, each change journaled before it is made: one whose
    // record cannot be written is not made.
    LONG Apply(const CString& strLibrary, CJournal& journal, CAppliedCount& applied) const;

private:
    CString m_strKey;  // below HKEY_LOCAL_MACHINE; empty: none
};

// The scratch key a full name names, below HKEY_LOCAL_MACHINE, when it is
// one of the form the setup makes: FALSE for any other name.
BOOL ScratchKeyOfFullName(const char* pszFullName, CString& strKey);

// In the registration process: redirects each captured predefined key to
// its stand-in below the scratch key (below HKEY_LOCAL_MACHINE), which must
// be there. Undone when the object goes.
class CKeyRedirection {
public:
    CKeyRedirection() = default;
    CKeyRedirection(const CKeyRedirection&) = delete;
    CKeyRedirection& operator=(const CKeyRedirection&) = delete;
    ~CKeyRedirection();

    LONG Redirect(const char* pszScratchKey);

private:
    std::vector<HKEY> m_redirected;
};

// Undoes a record of a registration's change: a value gets its former type
// and bytes back, or goes when it was not there; a key that was created
// goes once nothing is left in it. A change that was never made is undone
// all the same.
LONG UndoRegistrationChange(const CJournalRecord& record);

// The scratch keys a run ended during a registration left, with the
// setup's key they lie in. Only a run of the setup makes them there, so
// with no other run under way none of them is in use.
LONG DeleteScratchKeys();
