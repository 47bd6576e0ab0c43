// Program items as the shell keeps them: a folder of the Programs menu that
// all users share, with one shell link per item. They are written through
// the shell's link object, without Program Manager, so that a run no shell
// answers (a service, a deployment tool running as SYSTEM) gets them too.
#pragma once

#include "framework/CArray.h"
#include "framework/CString.h"

// The folder pszFolder of the all-users Programs menu; empty when the menu
// cannot be found.
CString GetCommonProgramFolder(const char* pszFolder);

// Saves a link at pszLink that starts pszCommand in the command's own
// directory, and checks that the link is there. FALSE with the system's
// code (a failure of the link object as its HRESULT).
BOOL CreateShellLink(const char* pszLink, const char* pszCommand);

// Deletes each caption's link in pszFolder (one that is not there counts as
// deleted) and then, with bDeleteEmptyFolder, the folder when nothing is
// left in it: what others put there keeps it. FALSE with the system's code
// when a link, or the empty folder, stays.
BOOL RemoveShellLinks(const char* pszFolder, const CStringArray& captions, BOOL bDeleteEmptyFolder);
