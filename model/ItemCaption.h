// The captions of the program folder's items: the setup adds them, the
// uninstaller removes just those.
#pragma once

#include "framework/CString.h"

// The caption of the item for an installed file: a fixed one for the
// product's own files, else the file's name without its extension.
CString GetItemCaption(const char* pszFileName);
