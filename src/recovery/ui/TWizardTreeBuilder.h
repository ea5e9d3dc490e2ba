#pragma once

#include "util/TThrottle.h"

#include <cstdint>

class TBaseElement;
class TElementsList;
class TFileRecoveryLoadForm;
class TStateTree;

// Fills the wizard's check tree: every element with its sub-folders (each followed by its
// own content), then its files, every node ticked when added. Before each element the
// loading window's label shows its name and its Cancel is served; once more than 100
// elements have been added, the end of a folder shows the loading window.
class TWizardTreeBuilder
{
public:
    TWizardTreeBuilder(TStateTree& tree, TFileRecoveryLoadForm& loadForm) : m_tree(tree), m_load(loadForm) {}

    // Adds the elements in their order; stops early once the user cancelled.
    void AddElements(const TElementsList& elements);

private:
    // Counts the element and lets pending messages run; false once the user cancelled.
    bool next(const TBaseElement* element);
    // The end of a folder's content: a large selection shows the loading window.
    void folderDone();

    TStateTree& m_tree;
    TFileRecoveryLoadForm& m_load;
    int64_t m_addedCounter = 0;
    TThrottle m_pumpThrottle;
};
