// Tilewright's shared tile-format library.
#pragma once

#ifdef TILESHR_BUILD
#define TILESHR_API extern "C" __declspec(dllexport)
#else
#define TILESHR_API extern "C" __declspec(dllimport)
#endif

// The version of the tile format the library reads: 0x0100 for 1.0.
TILESHR_API int __stdcall TileFormatVersion();
