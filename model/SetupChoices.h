// The rules a destination and a program folder name keep, whoever chooses
// them: the wizard's pages and the unattended run take them from here.
#pragma once

#include "framework/CString.h"

// The destination of a drive letter and the directory typed after its
// "C:", without the blanks around the directory.
CString MakeDestinationPath(char chDrive, const char* pszTypedDir);
// A destination written as deployment tools write one: blanks around it
// dropped, forward slashes read as backslashes, and one trailing backslash
// dropped, which leaves the form the destination page makes ("C:\" becomes
// "C:"). Whether it is valid is IsValidDestinationPath's to say.
CString MakeDestinationPath(const char* pszGiven);
// A name the group commands can carry: not blank, no character the command
// syntax or Program Manager refuses, and short enough for the command buffer.
BOOL IsValidFolderName(const char* pszName);
// The program folder as it is kept: the name without the blanks around it.
CString MakeFolderName(const char* pszTyped);
