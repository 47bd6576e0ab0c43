// A security descriptor written in the system's string form, for creating
// a directory that only the named accounts may change.
#pragma once

#include "framework/CString.h"

#include <windows.h>

// A program folder's: full control for the system and the administrators,
// read and execute for the users. Protected, so that nothing a parent (a
// drive's root, say) hands down applies; what is created below inherits it.
extern const char PROGRAM_FOLDER_SDDL[];

class CSecurityDescriptor {
public:
    CSecurityDescriptor() = default;
    CSecurityDescriptor(const CSecurityDescriptor&) = delete;
    CSecurityDescriptor& operator=(const CSecurityDescriptor&) = delete;
    ~CSecurityDescriptor();

    // FALSE, with the system's error, when the text is not a descriptor.
    BOOL FromString(const char* pszSddl);
    // Full control for the user this process runs as and the
    // administrators, nobody else; protected, inherited below.
    BOOL ForCurrentUserAndAdmins();
    // Not inherited by child processes; valid while the object lives.
    SECURITY_ATTRIBUTES* Attributes();

private:
    static BOOL GetCurrentUserSid(CString& strSid);

    PSECURITY_DESCRIPTOR m_pDescriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes = {};
};
