#include "MediumBuilder.h"

#include "MediumFormat.h"
#include "ToolFiles.h"
#include "VolumeWriter.h"

#include "model/DataVolume.h"
#include "platform/FileUtil.h"

namespace {
const DWORD COPY_BUFFER_SIZE = 1024 * 1024;
}

BOOL CMediumBuilder::Build(const char* pszOutDir)
{
    m_strOutDir = AbsolutePath(pszOutDir, "");
    if (m_strOutDir.IsEmpty()) {
        m_strError.Format("%s: the output path is too long", pszOutDir);
        return FALSE;
    }
    m_dwVolumes = DataVolumeCount(m_manifest.m_ullDataBytes, m_manifest.m_info.m_nDiskType);
    if (!CheckOutDir() || !MakeTempDir())
        return FALSE;
    try {
        WriteMedium();
    } catch (CFileException& e) {
        m_strError = "cannot write " + DescribeFileException(e);
    } catch (CArchiveException& e) {
        m_strError.Format("cannot write %s: archive error %d", static_cast<const char*>(m_strTempDir), e.m_cause);
    } catch (CUserException&) {
        // The message is set already.
    }
    if (m_strError.IsEmpty() && MoveIntoPlace())
        return TRUE;
    if (!DeleteTree(m_strTempDir))
        m_strError += "; the partial medium " + m_strTempDir + " could not be removed";
    return FALSE;
}

BOOL CMediumBuilder::CheckOutDir()
{
    CString parent = ParentDirectory(m_strOutDir);
    if (parent.IsEmpty() || parent == m_strOutDir || !IsDirectory(parent)) {
        m_strError.Format("%s: the folder that is to hold the medium does not exist", static_cast<const char*>(parent));
        return FALSE;
    }
    if (PathExists(m_strOutDir) && !(IsDirectory(m_strOutDir) && IsEmptyDirectory(m_strOutDir))) {
        m_strError.Format("%s: the output folder exists and is not empty", static_cast<const char*>(m_strOutDir));
        return FALSE;
    }
    return TRUE;
}

BOOL CMediumBuilder::MakeTempDir()
{
    for (int i = 0; i < 1000; ++i) {
        m_strTempDir.Format("%s.partial%lu-%d", static_cast<const char*>(m_strOutDir), GetCurrentProcessId(), i);
        if (CreateDirectoryA(m_strTempDir, nullptr))
            return TRUE;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    m_strError.Format("cannot create the folder %s: %s", static_cast<const char*>(m_strTempDir),
                      static_cast<const char*>(SystemMessage(GetLastError())));
    m_strTempDir.Empty();
    return FALSE;
}

void CMediumBuilder::WriteMedium()
{
    if (m_dwVolumes > 1) {
        for (DWORD i = 0; i < m_dwVolumes; ++i) {
            CString dir = CVolumeWriter::VolumeDir(m_strTempDir, m_dwVolumes, i);
            if (!CreateDirectoryA(dir, nullptr))
                CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), dir);
        }
    }
    CString firstDisk = CVolumeWriter::VolumeDir(m_strTempDir, m_dwVolumes, 0);
    WriteVolumes();
    WriteSetupData(firstDisk);
    CopyUninstaller(firstDisk);
}

void CMediumBuilder::WriteVolumes()
{
    m_buffer.resize(COPY_BUFFER_SIZE);
    CVolumeWriter writer(m_strTempDir, m_dwVolumes, DataVolumeCapacity(m_manifest.m_info.m_nDiskType));
    writer.Open();
    for (const CMediumFile& file : m_manifest.m_files)
        CopyFileData(file, writer);
    writer.Close();
}

// Exactly the size recorded in the tree goes into the stream; a source
// that changed since the manifest was read is refused.
void CMediumBuilder::CopyFileData(const CMediumFile& file, CVolumeWriter& writer)
{
    CFile source;
    source.Open(file.m_strSource, CFile::modeRead | CFile::shareDenyWrite);
    DWORD dwLeft = file.m_pFile->m_dwSize;
    while (dwLeft > 0) {
        DWORD dwWant = dwLeft < COPY_BUFFER_SIZE ? dwLeft : COPY_BUFFER_SIZE;
        UINT nRead = source.Read(m_buffer.data(), dwWant);
        if (nRead == 0)
            break;
        writer.Write(m_buffer.data(), nRead);
        dwLeft -= nRead;
    }
    BYTE bExtra;
    if (dwLeft != 0 || source.Read(&bExtra, 1) != 0) {
        m_strError.Format("%s: the file changed size while the medium was written",
                          static_cast<const char*>(file.m_strSource));
        throw CUserException();
    }
    source.Close();
}

void CMediumBuilder::WriteSetupData(const CString& strDir)
{
    CFile file;
    file.Open(JoinPath(strDir, MEDIUM_SETUP_DATA), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    CArchive ar(&file, CArchive::store);
    m_manifest.m_info.Serialize(ar);
    ar.Close();
    file.Close();
}

void CMediumBuilder::CopyUninstaller(const CString& strDir)
{
    CString target = JoinPath(strDir, MEDIUM_UNINSTALLER);
    if (!CopyFileA(m_manifest.m_strUninstaller, target, TRUE))
        CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_manifest.m_strUninstaller);
}

BOOL CMediumBuilder::MoveIntoPlace()
{
    bool bHadEmptyDir = IsDirectory(m_strOutDir);
    if (bHadEmptyDir && !RemoveDirectoryA(m_strOutDir)) {
        m_strError.Format("cannot replace the empty folder %s: %s", static_cast<const char*>(m_strOutDir),
                          static_cast<const char*>(SystemMessage(GetLastError())));
        return FALSE;
    }
    if (MoveFileA(m_strTempDir, m_strOutDir))
        return TRUE;
    m_strError.Format("cannot move the medium into %s: %s", static_cast<const char*>(m_strOutDir),
                      static_cast<const char*>(SystemMessage(GetLastError())));
    if (bHadEmptyDir && !CreateDirectoryA(m_strOutDir, nullptr))
        m_strError += "; the empty output folder could not be made again";
    return FALSE;
}
