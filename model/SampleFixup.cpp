#include "SampleFixup.h"

#include "InstallMngr.h"
#include "TrackedAlloc.h"

#include "platform/FileUtil.h"

#include <cstring>

namespace {
struct SampleForm {
    const char* pszForm;
    const char* pszFind;
    const char* pszReplace;
};

const SampleForm SAMPLE_FORMS[] = {
    {"\\VB\\Joust\\Form1.frm", "C:\\PROJEKTE\\Language\\English\\Joust.tlr", "\\VB\\Joust\\Joust.tlr"},
    {"\\VB\\Orbit\\Form1.frm", "C:\\PROJEKTE\\Language\\English\\Orbit.tlr", "\\VB\\Orbit\\Orbit.tlr"},
};

const DWORD MOVE_BUFFER_SIZE = 5000;

// A buffer of the tracked allocator, released on every way out.
class CTrackedBuffer {
public:
    CTrackedBuffer(DWORD dwSize, const char* pszTag)
        : m_p(static_cast<BYTE*>(TrackedAlloc(dwSize ? dwSize : 1, pszTag)))
    {
    }
    CTrackedBuffer(const CTrackedBuffer&) = delete;
    CTrackedBuffer& operator=(const CTrackedBuffer&) = delete;
    ~CTrackedBuffer() { TrackedFree(m_p); }

    BYTE* m_p;
};

// First position of the S bytes of pFind wholly inside the L bytes, or -1.
long FindBytes(const BYTE* pBuf, DWORD dwLength, const char* pFind, DWORD dwFindLength)
{
    if (dwFindLength == 0 || dwFindLength > dwLength)
        return -1;
    for (DWORD i = 0; i + dwFindLength <= dwLength; ++i)
        if (memcmp(pBuf + i, pFind, dwFindLength) == 0)
            return static_cast<long>(i);
    return -1;
}

// The new contents go to a "Fil" temporary file beside the form, which then
// replaces it in one move, as every other file the setup writes: a write
// that fails half-way (a full disk when the form grows) leaves the form
// with its installed bytes. The install information, where there is one,
// makes the temporary file, so that a run records it.
BOOL WriteBesideAndReplace(CInstallMngr* pInfo, const char* pszPath, const BYTE* pBuf, DWORD dwLength)
{
    CString strTemp =
        pInfo ? pInfo->NewFileBeside(pszPath) : MakeTempFileName(GetDirectoryFromPath(pszPath), nullptr);
    if (strTemp.IsEmpty())
        return FALSE;
    try {
        CFile temp;
        temp.Open(strTemp, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
        temp.Write(pBuf, dwLength);
        temp.Close();
    } catch (const CFileException&) {
        DeleteFileA(strTemp);
        return FALSE;
    }
    if (MoveFileExA(strTemp, pszPath, MOVEFILE_REPLACE_EXISTING))
        return TRUE;
    DeleteFileA(strTemp);
    return FALSE;
}

// Read and write errors are answered with FALSE and leave the form as it
// was, so that the setup still finishes.
BOOL ReplaceInFileBeside(CInstallMngr* pInfo, const char* pszPath, const char* pszFind, const char* pszReplace)
{
    try {
        CFile file;
        file.Open(pszPath, CFile::modeRead | CFile::shareDenyWrite);
        DWORD dwLength = file.GetLength();
        DWORD dwFind = static_cast<DWORD>(strlen(pszFind));
        DWORD dwReplace = static_cast<DWORD>(strlen(pszReplace));
        DWORD dwSize = dwReplace > dwFind ? dwLength + (dwReplace - dwFind) : dwLength;
        CTrackedBuffer buffer(dwSize, "SampleFixup");
        if (!buffer.m_p || file.Read(buffer.m_p, dwLength) != dwLength)
            return FALSE;
        file.Close();
        long nAt = FindBytes(buffer.m_p, dwLength, pszFind, dwFind);
        if (nAt < 0)
            return TRUE;
        DWORD i = static_cast<DWORD>(nAt);
        MoveBytes(buffer.m_p + i + dwReplace, buffer.m_p + i + dwFind, dwLength - dwFind - i);
        memcpy(buffer.m_p + i, pszReplace, dwReplace);
        return WriteBesideAndReplace(pInfo, pszPath, buffer.m_p, dwLength - dwFind + dwReplace);
    } catch (const CFileException&) {
        return FALSE;
    }
}
}

void FixSampleProjects(CInstallMngr* pInfo)
{
    for (const SampleForm& form : SAMPLE_FORMS)
        ReplaceInFileBeside(pInfo, pInfo->m_strDestDir + form.pszForm, form.pszFind,
                            pInfo->m_strDestDir + form.pszReplace);
}

// Overlapping areas go through a fixed buffer in chunks, from the front when
// the destination lies before the source and from the back otherwise, so no
// byte is overwritten before it has been moved.
void MoveBytes(void* pDest, const void* pSrc, DWORD dwCount)
{
    BYTE* pTo = static_cast<BYTE*>(pDest);
    const BYTE* pFrom = static_cast<const BYTE*>(pSrc);
    if (pTo == pFrom || dwCount == 0)
        return;
    const BYTE* pBase = pTo < pFrom ? pTo : pFrom;
    DWORD dwStart = 0;
    DWORD dwOverlap = 0;
    if (!GetRangeOverlap(dwStart, dwOverlap, static_cast<DWORD>(pTo - pBase), static_cast<DWORD>(pFrom - pBase),
                         dwCount)) {
        memcpy(pTo, pFrom, dwCount);
        return;
    }
    BYTE buffer[MOVE_BUFFER_SIZE];
    DWORD dwDone = 0;
    while (dwDone < dwCount) {
        DWORD dwChunk = dwCount - dwDone < MOVE_BUFFER_SIZE ? dwCount - dwDone : MOVE_BUFFER_SIZE;
        DWORD dwAt = pTo < pFrom ? dwDone : dwCount - dwDone - dwChunk;
        memcpy(buffer, pFrom + dwAt, dwChunk);
        memcpy(pTo + dwAt, buffer, dwChunk);
        dwDone += dwChunk;
    }
}

BOOL ReplaceInFile(const char* pszPath, const char* pszFind, const char* pszReplace)
{
    return ReplaceInFileBeside(nullptr, pszPath, pszFind, pszReplace);
}
