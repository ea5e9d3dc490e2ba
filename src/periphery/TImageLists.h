#pragma once

#include "mainwindow/TMainViewRules.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

// The program's image lists, filled from the numbered icons compiled into the
// program (":/icons/ICON_MainImageList_0.png", ...). Each list takes the icons
// 0, 1, 2, ... of its name prefix up to the first missing number, scaled to the
// list's size. The tool bar, menu and extra lists also get derived lists drawn
// disabled and hot; their main icons carry those renderings as the Disabled and
// Active modes, so a button picks the right picture by itself.
class TImageLists
{
public:
    // Sizes of the lists.
    static constexpr int ToolbarSize = 24;
    static constexpr int MenuSize = 16;
    static constexpr int FileSize = 16;
    static constexpr int FileLargeSize = 32;
    static constexpr int ExSize = 20;

    // Roles of the file images, by index: the indices the window rules hand out.
    enum FileImage
    {
        fiDrive = TMainViewRules::imgDrive,
        fiSortAscending = TMainViewRules::imgSortAscending,
        fiSortDescending = TMainViewRules::imgSortDescending,
        fiFolder = TMainViewRules::imgFolder,
        fiFolderTree = TMainViewRules::imgFolderSelected,
        fiDeletedFolder = TMainViewRules::imgDeletedFolder,
        fiDeletedFolderTree = TMainViewRules::imgDeletedFolderSelected,
        fiFolderWithDeleted = TMainViewRules::imgFolderWithDeleted,
        fiFolderWithDeletedTree = TMainViewRules::imgFolderWithDeletedSelected,
        fiFile = TMainViewRules::imgFile,
        fiDeletedFile = TMainViewRules::imgDeletedFile,
    };

    // Fills every list from the icons compiled into the program and rebuilds the
    // derived lists. Returns false when a list stays empty; the caller reports
    // "Application images were not loaded." and stops. Safe to call again, for
    // example after a display change.
    static bool LoadApplicationImages();
    // The same from another resource or folder root holding the same names (the
    // larger file images under "<root>/32/"). Used by tests.
    static bool LoadApplicationImagesFrom(const QString& root);

    static const QList<QIcon>& ToolbarImages();
    static const QList<QIcon>& ToolbarImagesDisabled();
    static const QList<QIcon>& ToolbarImagesHot();
    static const QList<QIcon>& MenuImages();
    static const QList<QIcon>& MenuImagesDisabled();
    static const QList<QIcon>& FileImages();
    static const QList<QIcon>& FileImagesLarge();
    static const QList<QIcon>& ExImages();
    static const QList<QIcon>& ExImagesDisabled();
    static const QList<QIcon>& ExImagesHot();

    // Icon index of a list, or a null icon when the index is outside the list.
    static QIcon FileIcon(int index, bool large = false);

    // Renderings used for the derived lists.
    static QImage RenderDisabled(const QImage& image);
    static QImage RenderHot(const QImage& image);
};
