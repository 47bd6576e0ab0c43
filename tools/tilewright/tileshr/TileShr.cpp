// Tilewright's shared tile-format library, installed once into the system
// directory and counted by every product that uses it.
#include "TileShr.h"

#include <windows.h>

TILESHR_API int __stdcall TileFormatVersion()
{
    return 0x0100;
}
