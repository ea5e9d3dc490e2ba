#pragma once

#include "recovery/TStateTree.h"

#include <functional>

class TBaseElement;

// Fills a check tree with elements the way the recovery wizard shows them: one node per
// element, text = its display name, every node ticked when added; below each folder first
// its sub-folders (each followed by its own content), then its files, in list order.
class TCheckTreeFiller
{
public:
    // Image index of an element's node: file 0, deleted file 1, folder 2, folder that
    // contains deleted elements 3, deleted folder 4.
    static int ImageIndexOf(const TBaseElement* element);

    // Adds element under parent (-1: as a root node) with its whole branch. before, when
    // set, is called before each node is added; returning false stops the filling at
    // once. folderDone, when set, is called when a folder's content has been added.
    // Returns false when the filling was stopped.
    static bool AddElement(TStateTree& tree, TStateTree::NodeId parent, TBaseElement* element,
                           const std::function<bool(const TBaseElement*)>& before = {},
                           const std::function<void(const TBaseElement*)>& folderDone = {});
};
