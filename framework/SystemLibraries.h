// version.dll and comctl32.dll are not known system libraries: bound by
// name at load time, a library of the same name beside the program (a
// downloads folder) would be loaded in their place. The programs bind them
// at their first call instead; this has that binding load each from the
// system directory by full path, and takes the current directory out of the
// search for any library loaded by name. Called first thing at start.
#pragma once

void LoadLibrariesFromSystemDirectoryOnly();
