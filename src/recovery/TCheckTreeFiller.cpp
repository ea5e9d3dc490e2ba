#include "recovery/TCheckTreeFiller.h"

#include "disk/TBaseElement.h"
#include "disk/TElementKind.h"

#include <unordered_set>
#include <vector>

int TCheckTreeFiller::ImageIndexOf(const TBaseElement* element)
{
    return static_cast<int>(ElementKindOf(element->Flags));
}

bool TCheckTreeFiller::AddElement(TStateTree& tree, TStateTree::NodeId parent, TBaseElement* element,
                                  const std::function<bool(const TBaseElement*)>& before,
                                  const std::function<void(const TBaseElement*)>& folderDone)
{
    auto add = [&](TStateTree::NodeId under, TBaseElement* e, TStateTree::NodeId& node) {
        if (before && !before(e))
            return false;
        node = tree.AddNode(under, e->GetName(), e, ImageIndexOf(e), 2);
        return true;
    };

    TStateTree::NodeId node = -1;
    if (!add(parent, element, node))
        return false;
    if (!element->IsFolder())
        return true;

    // Depth first without recursion; a folder already on the way down (only a damaged
    // model could list one below itself) is not entered again.
    struct TLevel
    {
        TBaseElement* folder;
        TStateTree::NodeId node;
        int nextFolder;
    };
    std::vector<TLevel> stack{{element, node, 0}};
    std::unordered_set<const TBaseElement*> onPath{element};
    while (!stack.empty()) {
        TLevel& level = stack.back();
        if (level.nextFolder < level.folder->ChildrenFolders.Count()) {
            TBaseElement* child = level.folder->ChildrenFolders[level.nextFolder++];
            if (!child || onPath.count(child))
                continue;
            TStateTree::NodeId childNode = -1;
            if (!add(level.node, child, childNode))
                return false;
            stack.push_back({child, childNode, 0});
            onPath.insert(child);
            continue;
        }
        const TLevel done = level;
        for (TBaseElement* file : done.folder->ChildrenFiles) {
            TStateTree::NodeId fileNode = -1;
            if (file && !add(done.node, file, fileNode))
                return false;
        }
        onPath.erase(done.folder);
        stack.pop_back();
        if (folderDone)
            folderDone(done.folder);
    }
    return true;
}
