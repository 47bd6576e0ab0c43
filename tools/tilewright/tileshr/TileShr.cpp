// Tilewright's shared tile-format library, installed once into the system
// directory and counted by every product that uses it.
#include <windows.h>

extern "C" __declspec(dllexport) int __stdcall TileFormatVersion()
{
    return 0x0100;
}
