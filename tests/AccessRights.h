// What a file's or directory's security descriptor grants, as the system
// gives it back. Wine 8 keeps no DACL of its own: it gives back one made
// from the Unix mode (the system and the owner full, everyone else the
// "other" bits), and a DACL handed to CreateDirectory changes only that
// mode. So a descriptor that reached the file system shows there as an
// Everyone entry missing, and a protected DACL is shown only on Windows.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <string>
#include <vector>

struct CAccessRights {
    bool bRead = false;
    std::string strSddl;          // the DACL in the string form
    bool bProtected = false;      // nothing inherited from the parent applies
    bool bEveryoneListed = false; // any entry at all for Everyone
    std::vector<std::string> userWrites;  // "WD 0x...": write rights of users

    bool GrantsUsersWrite() const { return !userWrites.empty(); }
};

namespace access_detail {

// Rights that change a directory, its entries or its descriptor.
const DWORD WRITE_RIGHTS = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES
                           | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// The accounts every user is: the users, the authenticated users, everyone.
inline const char* UserAccount(PSID pSid)
{
    static const std::pair<WELL_KNOWN_SID_TYPE, const char*> accounts[] = {
        {WinBuiltinUsersSid, "BU"}, {WinAuthenticatedUserSid, "AU"}, {WinWorldSid, "WD"}};
    for (const auto& account : accounts) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD cbSid = sizeof sid;
        if (CreateWellKnownSid(account.first, nullptr, sid, &cbSid) && EqualSid(pSid, sid))
            return account.second;
    }
    return nullptr;
}

inline std::string Hex(DWORD dw)
{
    char sz[16];
    snprintf(sz, sizeof sz, "0x%lx", static_cast<unsigned long>(dw));
    return sz;
}

}  // namespace access_detail

// An empty DACL (null) grants everything to everyone: it counts as a
// write right of Everyone.
inline CAccessRights AccessRightsOf(PSECURITY_DESCRIPTOR pDescriptor)
{
    CAccessRights rights;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD dwRevision = 0;
    BOOL bPresent = FALSE, bDefaulted = FALSE;
    PACL pDacl = nullptr;
    if (!GetSecurityDescriptorControl(pDescriptor, &control, &dwRevision)
        || !GetSecurityDescriptorDacl(pDescriptor, &bPresent, &pDacl, &bDefaulted))
        return rights;
    rights.bRead = true;
    rights.bProtected = (control & SE_DACL_PROTECTED) != 0;
    char* pszSddl = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(pDescriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &pszSddl, nullptr)) {
        rights.strSddl = pszSddl;
        LocalFree(pszSddl);
    }
    if (!bPresent || !pDacl) {
        rights.bEveryoneListed = true;
        rights.userWrites.push_back("WD (no DACL)");
        return rights;
    }
    for (DWORD i = 0; i < pDacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* pAce = nullptr;
        if (!GetAce(pDacl, i, reinterpret_cast<void**>(&pAce)) || pAce->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const char* pszAccount = access_detail::UserAccount(&pAce->SidStart);
        if (!pszAccount)
            continue;
        if (std::string(pszAccount) == "WD")
            rights.bEveryoneListed = true;
        if (pAce->Mask & access_detail::WRITE_RIGHTS)
            rights.userWrites.push_back(std::string(pszAccount) + " " + access_detail::Hex(pAce->Mask));
    }
    return rights;
}

inline CAccessRights AccessRightsOf(const std::string& path)
{
    DWORD cbNeeded = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &cbNeeded);
    std::vector<BYTE> descriptor(cbNeeded);
    if (cbNeeded == 0
        || !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), cbNeeded, &cbNeeded))
        return CAccessRights();
    return AccessRightsOf(descriptor.data());
}
