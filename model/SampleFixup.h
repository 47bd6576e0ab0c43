// After a successful installation the VB sample projects' forms are made to
// name the resource files in the destination instead of the path on the
// machine where the samples were made.
#pragma once

#include "framework/fwdefs.h"

class CInstallMngr;

// The after-install hook: fixes each sample form under m_strDestDir; a form
// that is missing or cannot be rewritten is left alone.
void FixSampleProjects(CInstallMngr* pInfo);
// Replaces the first occurrence of pszFind in the file by pszReplace. TRUE
// when the file was opened and read and, if needed, rewritten; FALSE when it
// could not be opened, no buffer was had or reading or writing it failed.
BOOL ReplaceInFile(const char* pszPath, const char* pszFind, const char* pszReplace);
// Moves dwCount bytes between areas that may overlap.
void MoveBytes(void* pDest, const void* pSrc, DWORD dwCount);
