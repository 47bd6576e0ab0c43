#include "DataVolume.h"

namespace {
const DWORD DATAVOLUME_CAPACITY_TYPE0 = 1199998;
const DWORD DATAVOLUME_CAPACITY_TYPE1 = 1439998;
}

DWORD DataVolumeCapacity(DWORD nDiskType)
{
    switch (nDiskType) {
    case 0:
        return DATAVOLUME_CAPACITY_TYPE0;
    case 1:
        return DATAVOLUME_CAPACITY_TYPE1;
    default:
        return 0;
    }
}

DWORD DataVolumeCount(ULONGLONG ullTotal, DWORD nDiskType)
{
    DWORD dwCapacity = DataVolumeCapacity(nDiskType);
    if (dwCapacity == 0 || ullTotal <= dwCapacity)
        return 1;
    return static_cast<DWORD>((ullTotal + dwCapacity - 1) / dwCapacity);
}

void WriteDataVolumeIndex(CFile& file, WORD wIndex)
{
    BYTE bytes[DATAVOLUME_HEADER_SIZE] = {static_cast<BYTE>(wIndex), static_cast<BYTE>(wIndex >> 8)};
    file.Write(bytes, sizeof bytes);
}

BOOL ReadDataVolumeIndex(CFile& file, WORD& wIndex)
{
    BYTE bytes[DATAVOLUME_HEADER_SIZE];
    if (file.Read(bytes, sizeof bytes) != sizeof bytes)
        return FALSE;
    wIndex = static_cast<WORD>(bytes[0] | (bytes[1] << 8));
    return TRUE;
}
