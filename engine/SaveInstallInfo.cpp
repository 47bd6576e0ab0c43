// Saving the install information as "\Setup.inf" for the uninstaller. The
// information is written whole into a new temporary file beside the target
// and then moved over the target in one step, so that an earlier
// installation's information is never lost to a failed save, and no
// temporary file outlives one.
#include "SetupMngr.h"

#include "platform/FileUtil.h"

#include <new>

namespace {
// Deletes the temporary file on every way out but the successful move.
class CTempFile {
public:
    explicit CTempFile(const CString& strPath) : m_strPath(strPath) {}
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile()
    {
        if (m_strPath.IsEmpty())
            return;
        // The code that made the save fail is worth more than the clean-up's.
        DWORD dwError = GetLastError();
        DeleteFileA(m_strPath);
        SetLastError(dwError);
    }
    const CString& GetPath() const { return m_strPath; }
    void Keep() { m_strPath.Empty(); }

private:
    CString m_strPath;
};

// An earlier copy is replaced without a question, also when read-only.
void ClearReadOnly(const char* pszPath)
{
    CFileStatus status;
    if (!CFile::GetStatus(pszPath, status))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszPath);
    if (!(status.m_attribute & FILE_ATTRIBUTE_READONLY))
        return;
    status.m_attribute &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    CFile::SetStatus(pszPath, status);
}

void ReplaceWith(const char* pszTemp, const char* pszTarget)
{
    if (!MoveFileExA(pszTemp, pszTarget, MOVEFILE_REPLACE_EXISTING))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), pszTarget);
}
}

BOOL CSetupMngr::SaveInstallInfo()
{
    CString strTarget = m_strDestDir + "\\Setup.inf";
    CTempFile temp(MakeTempFileName(m_strDestDir, ""));
    CFile file;
    try {
        if (temp.GetPath().IsEmpty())
            CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
        DWORD dwExists = CheckFileExists(strTarget);
        if (dwExists == ERROR_SUCCESS)
            ClearReadOnly(strTarget);
        else if (dwExists != ERROR_FILE_NOT_FOUND)
            return FALSE;

        file.Open(temp.GetPath(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store, 4096);
        Serialize(ar);
        ar.Close();
        file.Close();
        ReplaceWith(temp.GetPath(), strTarget);
        temp.Keep();
        return TRUE;
    } catch (CException& e) {
        file.Abort();
        ReportFileError(&e, strTarget);
    } catch (std::bad_alloc&) {
        file.Abort();
        ReportFileError(nullptr, strTarget);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return FALSE;
}
