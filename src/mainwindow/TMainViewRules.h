#pragma once

#include "disk/TElementKind.h"

#include <QString>

#include <cstdint>
#include <vector>

class TBaseElement;

// The main window's rules that need no widgets: which commands are enabled, how a
// header click changes the sort, which image a row or node shows, which children the
// deleted-only filter lets through and how a date is written in the list.
class TMainViewRules
{
public:
    static constexpr int ColumnCount = 6;
    static constexpr int ViewStyleCount = 4;

    // File image indices.
    enum ImageIndex
    {
        imgDrive = 0,
        imgSortAscending = 1,
        imgSortDescending = 2,
        imgFolder = 3,
        imgFolderSelected = 4,
        imgDeletedFolder = 5,
        imgDeletedFolderSelected = 6,
        imgFolderWithDeleted = 7,
        imgFolderWithDeletedSelected = 8,
        imgFile = 9,
        imgDeletedFile = 10,
    };

    // What CheckState looks at.
    struct TStateInput
    {
        bool ListFocusedOnElement = false; // L: the list has the focus and its selected row is an element
        bool TreeFocusedOnElement = false; // T: the tree has the focus and its selected node is an element
        bool DriveOpen = false;            // D
        bool BackAvailable = false;        // the drive's history can go back
        bool ForwardAvailable = false;     // the drive's history can go forward
        bool TreeNodeHasElement = false;   // the tree has a selected node carrying an element
        bool ElementHasParent = false;     // ... and that element has a parent
        bool ParentIsTopRoot = false;      // ... which has TrueID 5 and TrueParentID -1
    };

    // What CheckState decides.
    struct TState
    {
        bool Recover = false;       // actFileRecover, tbRecover
        bool Properties = false;    // actFileProperties
        bool View = false;          // actFileView, actFileViewAsHex, actFileViewAsText
        bool DriveCommands = false; // actDriveClose, actDriveFindFile, actDriveInfo, tbSearch, both views
        bool Back = false;
        bool Forward = false;
        bool Up = false;
    };

    static TState ComputeState(const TStateInput& in);

    // Applies a click on a column header (or an arrange command) to the sort
    // settings: the order flips, a new column starts ascending, the mark moves.
    static void ApplyColumnClick(int column, int& lastColumn, int& sortColumn, bool& orderAZ);

    static bool ValidColumn(int column) { return column >= 0 && column < ColumnCount; }
    // Large icons, small icons, list, details, then large icons again.
    static int NextViewStyle(int style) { return (style + 1) % ViewStyleCount; }

    // Icons of list rows and tree nodes, from the element's flags.
    static int ListImageIndex(int64_t flags);
    static int KindImageIndex(TElementKind kind);
    static int TreeImageIndex(int64_t flags);
    static int TreeSelectedImageIndex(int64_t flags);

    // The deleted-only filter: with it on, a child is shown only when it is deleted
    // or contains deleted items.
    static bool PassesFilter(int64_t flags, bool onlyDeleted);

    // The user's short date and long time; the time is left out at exactly midnight.
    // Empty for a value that is no date or records no time (IsUnknownDateTime).
    static QString DateTimeText(double dateTime);

    // The long part of a hint: the text after "|", or the whole hint without one.
    static QString LongHint(const QString& hint);

    // The tips panel: a drag of its splitter may leave it 60..200 pixels high; shown
    // again, it takes its remembered height, or 75 when that is out of reason.
    static constexpr int TipsMinHeight = 60;
    static constexpr int TipsMaxHeight = 200;
    static constexpr int TipsDefaultHeight = 75;
    static bool TipsHeightAllowed(int height) { return height >= TipsMinHeight && height <= TipsMaxHeight; }
    static int TipsRestoredHeight(int remembered)
    {
        return remembered > 20 && remembered < TipsMaxHeight ? remembered : TipsDefaultHeight;
    }

    // The folders a move to `element` passes, top first: its ancestors, then the element
    // itself when it is a folder. A parent chain that loops back is cut where it repeats.
    static std::vector<TBaseElement*> FoldersFromTop(TBaseElement* element);
    // The rows the file list shows for a folder: its folders, then its files, filtered.
    static std::vector<TBaseElement*> ListedChildren(const TBaseElement& folder, bool onlyDeleted);
};
