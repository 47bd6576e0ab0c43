#include "SecurityDescriptor.h"

#include "framework/CHandle.h"

#include <sddl.h>

#include <vector>

const char PROGRAM_FOLDER_SDDL[] = "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {
const char USER_AND_ADMINS_SDDL[] = "D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;BA)";
}

CSecurityDescriptor::~CSecurityDescriptor()
{
    LocalFree(m_pDescriptor);
}

BOOL CSecurityDescriptor::FromString(const char* pszSddl)
{
    LocalFree(m_pDescriptor);
    m_pDescriptor = nullptr;
    return ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1, &m_pDescriptor,
                                                                nullptr);
}

BOOL CSecurityDescriptor::ForCurrentUserAndAdmins()
{
    CString strSid;
    if (!GetCurrentUserSid(strSid))
        return FALSE;
    CString strSddl;
    strSddl.Format(USER_AND_ADMINS_SDDL, static_cast<const char*>(strSid));
    return FromString(strSddl);
}

SECURITY_ATTRIBUTES* CSecurityDescriptor::Attributes()
{
    m_attributes = {sizeof m_attributes, m_pDescriptor, FALSE};
    return &m_attributes;
}

// The user of the process token: the one who started the program, or the
// system account when a service did.
BOOL CSecurityDescriptor::GetCurrentUserSid(CString& strSid)
{
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return FALSE;
    DWORD cbUser = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &cbUser);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    std::vector<BYTE> user(cbUser);
    if (!GetTokenInformation(token, TokenUser, user.data(), cbUser, &cbUser))
        return FALSE;
    char* pszSid = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &pszSid))
        return FALSE;
    strSid = pszSid;
    LocalFree(pszSid);
    return TRUE;
}
