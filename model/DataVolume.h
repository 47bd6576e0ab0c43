// The data volumes "\Data.dat": one per distribution disk, a 2-byte
// little-endian disk index (0 for the first disk) followed by file data.
// The file data of all volumes, read volume after volume, is one stream;
// every volume but the last holds exactly its disk type's capacity.
#pragma once

#include "framework/CFile.h"

const char* const DATAVOLUME_NAME = "Data.dat";
const DWORD DATAVOLUME_HEADER_SIZE = 2;
// Offsets within a volume are seeked to as signed 32-bit values: no volume
// may be larger than this.
const DWORD DATAVOLUME_MAX_BYTES = 0x7FFFFFFF;

// Bytes of file data one volume of the disk type holds; 0 for a type that
// defines no capacity (its data must fit in one volume).
DWORD DataVolumeCapacity(DWORD nDiskType);

// Volumes needed for ullTotal bytes of file data: the data fill each volume
// up to the capacity, and no volume is left empty except a lone first one.
DWORD DataVolumeCount(ULONGLONG ullTotal, DWORD nDiskType);

void WriteDataVolumeIndex(CFile& file, WORD wIndex);
// FALSE when the file ends before the two bytes of the index.
BOOL ReadDataVolumeIndex(CFile& file, WORD& wIndex);
