#pragma once

#include "util/TOverride.h"
#include <QString>

#include <functional>

class QWidget;

// The folder-browse dialog behind every Browse button. The dialog itself can be
// replaced (tests put a scripted answer there).
class TFolderBrowse
{
public:
    // Asks for a folder: receives the caption and the folder to start from, returns
    // false on cancel or the chosen folder in folder.
    using THandler = std::function<bool(QWidget* parent, const QString& caption, QString& folder)>;
    // Answers in place of the dialog while a scope of it lasts.
    using TAnswer = TOverride<TFolderBrowse, THandler>;

    // The folder the dialog opens in for a starting text: the folder itself when it
    // exists, else its nearest existing parent, else the user's home folder.
    static QString StartFolder(const QString& folder);
};

// Shows the folder-browse dialog starting at folder. On OK stores the chosen folder
// (native separators) in folder and returns true; on cancel leaves folder alone and
// returns false.
bool BrowseForFolder(QWidget* parent, const QString& caption, QString& folder);
