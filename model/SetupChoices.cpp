#include "SetupChoices.h"

#include "platform/FileUtil.h"
#include "platform/Progman.h"

namespace {
// The command syntax's own separators, and the characters Program Manager
// refuses in a group name.
const char FOLDER_FORBIDDEN[] = "#%;/\\,()[]\"";
}

CString MakeDestinationPath(char chDrive, const char* pszTypedDir)
{
    CString strPath;
    strPath.Format("%c:%s", chDrive, static_cast<const char*>(TrimBlanks(pszTypedDir)));
    return strPath;
}

// A trailing backslash after a double-byte character's lead byte is no
// separator, but such a path holds a character the destination rule
// refuses anyway.
CString MakeDestinationPath(const char* pszGiven)
{
    CString strPath = TrimBlanks(pszGiven);
    for (int i = 0; i < strPath.GetLength(); ++i)
        if (strPath[i] == '/')
            strPath.SetAt(i, '\\');
    int nLength = strPath.GetLength();
    return nLength > 0 && strPath[nLength - 1] == '\\' ? strPath.Left(nLength - 1) : strPath;
}

BOOL IsValidFolderName(const char* pszName)
{
    CString strName = MakeFolderName(pszName);
    return !strName.IsEmpty() && strName.GetLength() < PROGMAN_GROUP_BUFFER &&
           !ContainsAnyChar(strName, FOLDER_FORBIDDEN);
}

CString MakeFolderName(const char* pszTyped)
{
    return TrimBlanks(pszTyped);
}
