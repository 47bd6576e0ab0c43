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

void RewriteFile(CFile& file, const BYTE* pBuf, DWORD dwLength)
{
    file.SeekToBegin();
    file.SetLength(0);
    file.Write(pBuf, dwLength);
}
}

void FixSampleProjects(CInstallMngr* pInfo)
{
    for (const SampleForm& form : SAMPLE_FORMS)
        ReplaceInFile(pInfo->m_strDestDir + form.pszForm, form.pszFind, pInfo->m_strDestDir + form.pszReplace);
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

// Read and write errors arrive as file exceptions; they leave the form as
// far as it was written and are answered with FALSE, so that the setup
// still finishes.
BOOL ReplaceInFile(const char* pszPath, const char* pszFind, const char* pszReplace)
{
    CFile file;
    try {
        file.Open(pszPath, CFile::modeReadWrite | CFile::shareDenyWrite);
    } catch (const CFileException&) {
        return FALSE;
    }
    try {
        DWORD dwLength = file.GetLength();
        DWORD dwFind = static_cast<DWORD>(strlen(pszFind));
        DWORD dwReplace = static_cast<DWORD>(strlen(pszReplace));
        DWORD dwSize = dwReplace > dwFind ? dwLength + (dwReplace - dwFind) : dwLength;
        CTrackedBuffer buffer(dwSize, "SampleFixup");
        if (!buffer.m_p) {
            file.Close();
            return FALSE;
        }
        if (file.Read(buffer.m_p, dwLength) != dwLength) {
            file.Close();
            return FALSE;
        }
        long nAt = FindBytes(buffer.m_p, dwLength, pszFind, dwFind);
        if (nAt >= 0) {
            DWORD i = static_cast<DWORD>(nAt);
            MoveBytes(buffer.m_p + i + dwReplace, buffer.m_p + i + dwFind, dwLength - dwFind - i);
            memcpy(buffer.m_p + i, pszReplace, dwReplace);
            RewriteFile(file, buffer.m_p, dwLength - dwFind + dwReplace);
        }
        file.Close();
    } catch (const CFileException&) {
        file.Abort();
        return FALSE;
    }
    return TRUE;
}
