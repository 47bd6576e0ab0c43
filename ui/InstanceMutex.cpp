#include "InstanceMutex.h"

#include "framework/CString.h"

// A copy running as another account (the system's, for a deployment tool)
// made the mutex with rights that keep this one from opening it: it is
// there all the same.
BOOL CInstanceMutex::Take()
{
    m_mutex.Attach(CreateMutexA(nullptr, FALSE, CString("Global\\") + SETUP_INSTANCE_MUTEX));
    if (m_mutex.IsEmpty() && GetLastError() == ERROR_ACCESS_DENIED)
        return FALSE;
    if (m_mutex.IsEmpty())
        m_mutex.Attach(CreateMutexA(nullptr, FALSE, SETUP_INSTANCE_MUTEX));
    return m_mutex.IsEmpty() || GetLastError() != ERROR_ALREADY_EXISTS;
}
