#pragma once

#include "engine/VantrelLib.h"

#include <cstdint>

// What an element is, as its icon shows it. The order is the one the properties window
// and the recovery wizard keep their five icons in.
enum class TElementKind
{
    LiveFile = 0,
    DeletedFile = 1,
    LiveFolder = 2,
    FolderWithDeleted = 3,
    DeletedFolder = 4,
};

// The kind of an element with these flags: deleted wins over "contains deleted".
inline TElementKind ElementKindOf(int64_t flags)
{
    if (flags & flag_IS_DIRECTORY) {
        if (flags & flag_IS_DELETED)
            return TElementKind::DeletedFolder;
        return (flags & flag_HAS_CHILD_DELETED) ? TElementKind::FolderWithDeleted : TElementKind::LiveFolder;
    }
    return (flags & flag_IS_DELETED) ? TElementKind::DeletedFile : TElementKind::LiveFile;
}
