// A CObList that owns its elements: the lists an evaluation builds for itself
// are deleted, with everything still in them, on every way out of it.
#pragma once

#include "framework/CObList.h"

namespace zen::profile {

// Deletes every element of list (through CObject's virtual destructor) and
// empties it.
inline void DeleteElements(CObList& list)
{
    while (!list.IsEmpty())
        delete list.RemoveHead();
}

class COwnedObList : public CObList {
public:
    COwnedObList() = default;
    ~COwnedObList() override { DeleteElements(*this); }
};

// Removes the element at pos from list and deletes it; pos must be valid.
inline void DeleteAt(CObList& list, POSITION pos)
{
    CObject* element = list.GetAt(pos);
    list.RemoveAt(pos);
    delete element;
}

}  // namespace zen::profile
