// A set of path names as the file system tells them apart: case is ignored,
// by characters of the ANSI code page. A look-up takes logarithmic time,
// where a walk over a list of the run's names would take time in
// proportion to the list for every name asked about.
#pragma once

#include "CString.h"

#include <set>

struct CNoCaseLess {
    bool operator()(const CString& a, const CString& b) const { return a.CompareNoCase(b) < 0; }
};

typedef std::set<CString, CNoCaseLess> CNameSet;
