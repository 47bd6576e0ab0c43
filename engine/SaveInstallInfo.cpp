// Saving the install information as "\Setup.inf" for the uninstaller. The
// information is written whole into a new temporary file beside the target
// and then moved into place in one step; an earlier installation's file is
// kept aside until the run is complete, so that a failed save, or any later
// failure, gives it back. No temporary file outlives the save.
#include "SetupMngr.h"

#include "platform/FileUtil.h"

#include <new>

BOOL CSetupMngr::SaveInstallInfo()
{
    CString strTarget = m_strDestDir + "\\Setup.inf";
    // Declared before the file, so that the file is closed before it goes.
    CFileGuard temp(MakeTempFileName(m_strDestDir, ""));
    CFile file;
    try {
        if (temp.IsEmpty())
            CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), strTarget);
        DWORD dwExists = CheckFileExists(strTarget);
        if (dwExists != ERROR_SUCCESS && dwExists != ERROR_FILE_NOT_FOUND)
            return FALSE;

        file.Open(temp.GetPath(), CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store, 4096);
        Serialize(ar);
        ar.Close();
        file.Close();
        MoveIntoPlace(temp, strTarget, dwExists == ERROR_SUCCESS);
        Log("install information saved: %s", static_cast<const char*>(strTarget));
        ReleaseKeptFiles();
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

// Nothing after the saved information can fail the run.
void CSetupMngr::ReleaseKeptFiles()
{
    for (CFileGuard& kept : m_rollback.m_keptFiles)
        kept.Commit();
    m_rollback.m_keptFiles.clear();
}
