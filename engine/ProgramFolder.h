// The program folder's items: the array that owns them.
#pragma once

#include "platform/Progman.h"

// The items of one program folder; deletes each of them when it goes.
class CProgmanItemArray : public CProgmanItemPtrArray {
public:
    CProgmanItemArray() = default;
    CProgmanItemArray(const CProgmanItemArray&) = delete;
    CProgmanItemArray& operator=(const CProgmanItemArray&) = delete;
    ~CProgmanItemArray();

    // Takes ownership of a new, empty item and returns it.
    CProgmanItem* AddNew();
};
