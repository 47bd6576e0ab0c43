// One handle of the system, owned or borrowed. A managed handle is closed
// when the object goes; an unmanaged one only wraps a handle that someone
// else closes. Each kind of handle names its empty value and its close
// function in a traits class.
#pragma once

#include <windows.h>

#include <cassert>

template <class TTraits, bool t_bManaged = true>
class CHandleT {
public:
    typedef typename TTraits::HandleType HandleType;

    explicit CHandleT(HandleType h = TTraits::Empty()) : m_h(h) {}
    CHandleT(const CHandleT&) = delete;
    CHandleT& operator=(const CHandleT&) = delete;
    ~CHandleT()
    {
        if (t_bManaged)
            Close();
    }

    // Takes over h; a managed object must not hold another handle then.
    void Attach(HandleType h)
    {
        assert(!t_bManaged || IsEmpty() || h == m_h);
        m_h = h;
    }
    HandleType Detach()
    {
        HandleType h = m_h;
        m_h = TTraits::Empty();
        return h;
    }
    // The close function's own result; an empty handle closes as success.
    BOOL Close()
    {
        if (IsEmpty())
            return TRUE;
        return TTraits::Close(Detach());
    }

    bool IsEmpty() const { return m_h == TTraits::Empty(); }
    operator HandleType() const { return m_h; }
    // For the out parameter of the call that opens the handle.
    HandleType* operator&()
    {
        assert(IsEmpty());
        return &m_h;
    }

    HandleType m_h;
};

// Kernel objects: processes, threads, events, mutexes; empty is null.
struct CKernelHandleTraits {
    typedef HANDLE HandleType;
    static HANDLE Empty() { return nullptr; }
    static BOOL Close(HANDLE h) { return CloseHandle(h); }
};

// Files, whose open call returns INVALID_HANDLE_VALUE on failure.
struct CFileHandleTraits {
    typedef HANDLE HandleType;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static BOOL Close(HANDLE h) { return CloseHandle(h); }
};

struct CFindHandleTraits {
    typedef HANDLE HandleType;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static BOOL Close(HANDLE h) { return FindClose(h); }
};

struct CRegKeyTraits {
    typedef HKEY HandleType;
    static HKEY Empty() { return nullptr; }
    static BOOL Close(HKEY h) { return RegCloseKey(h) == ERROR_SUCCESS; }
};

typedef CHandleT<CKernelHandleTraits> CKernelHandle;
typedef CHandleT<CFileHandleTraits> CFileHandle;
typedef CHandleT<CFindHandleTraits> CFindHandle;
typedef CHandleT<CRegKeyTraits> CRegKey;
