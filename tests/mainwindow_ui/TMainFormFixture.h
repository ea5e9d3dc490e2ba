#pragma once

#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"
#include "support/TestApp.h"
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "mainwindow/ui/TFileListModel.h"
#include "mainwindow/ui/TFilesListView.h"
#include "mainwindow/ui/TFoldersTreeView.h"
#include "mainwindow/ui/TMainForm.h"
#include "mainwindow/ui/TTipsPanel.h"
#include "recovery/ui/TRecoveryForm.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"

#include <optional>
#include <QAction>
#include <QLocale>
#include <QStringList>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

// A main window over a scripted drive D: (engine id 1) with this content:
//   Docs (live)        Sub (live) / deep.txt (deleted); report.doc (live); old.txt (deleted)
//   Music (live)       song.mp3 (live)
//   Trash (deleted)    gone.bin (deleted)
//   readme.txt (live), and orphan.dat (deleted) whose folder 500 is unknown;
//   Even and Odd (live) with 1000 and 1001 files.
// Settings live in a temporary folder; no start-up action runs unless a test asks.
class MainFormTest : public ::testing::Test
{
protected:
    enum Id : int64_t
    {
        Docs = 1,
        Sub,
        Deep,
        Report,
        Old,
        Music,
        Song,
        Trash,
        Gone,
        Readme,
        Orphan,
        Even,
        Odd
    };

    void SetUp() override
    {
        testApp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_settingsFile.emplace(temp.filePath(QStringLiteral("settings.conf")));
        resetSettingsToInitialValues();
        GlobalStartupDefaultAction = sdaNothing;
        GlobalConfirmExit = false;
        GlobalConfirmInterrupt = false;

        engine = std::make_unique<TScriptedEngine>();
        engine->AddDisk(
            TScriptedEngine::MakeDrive(0, -1, 0, QString(), QString(), 1 << 24, DRIVE_TYPE_VIRTUAL));
        engine->AddDisk(
            TScriptedEngine::MakeDrive(1, 0, 'D', QStringLiteral("DATA"), QStringLiteral("FAT16"), 1 << 24));
        const int64_t dir = flag_IS_DIRECTORY, del = flag_IS_DELETED;
        add(Docs, 0, dir, 0, "Docs");
        add(Sub, Docs, dir, 0, "Sub");
        add(Deep, Sub, del, 100, "deep.txt");
        add(Report, Docs, 0, 5000, "report.doc");
        add(Old, Docs, del, 3000, "old.txt");
        add(Music, 0, dir, 0, "Music");
        add(Song, Music, 0, 4000000, "song.mp3");
        add(Trash, 0, dir | del, 0, "Trash");
        add(Gone, Trash, del, 10, "gone.bin");
        add(Readme, 0, 0, 700, "readme.txt");
        add(Orphan, 500, del, 20, "orphan.dat");
        // Two large folders: 1000 and 1001 children.
        add(Even, 0, dir, 0, "Even");
        add(Odd, 0, dir, 0, "Odd");
        int64_t next = 1000;
        for (int i = 0; i < 1000; ++i)
            add(next++, Even, 0, i, "e.bin");
        for (int i = 0; i < 1001; ++i)
            add(next++, Odd, 0, i, "o.bin");

        m_selectAnswer.emplace([this](QWidget*, bool& fullScan) {
            ++selectCalls;
            fullScan = chooseFullScan;
            return chooseDrive;
        });
        // The recovery wizard is counted, not shown.
        m_wizardAnswer.emplace([this](TRecoveryForm&) { ++wizardCalls; });
        form = std::make_unique<TMainForm>();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        form.reset();
        CloseCurDisk();
        engine.reset();
        resetSettingsToInitialValues();
        QLocale::setDefault(QLocale::system());
    }

    void add(int64_t id, int64_t parent, int64_t flags, int64_t size, const char* name)
    {
        engine->AddRecord(1, TScriptedEngine::MakeFile(id, parent, flags, size, QString::fromUtf8(name)));
    }

    // Opens drive D: through the drive-selection command.
    void openDrive()
    {
        chooseDrive = 1;
        action("actDriveSelectDrive")->trigger();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QCoreApplication::processEvents();
        tree()->FlushChangeReport();
    }

    QAction* action(const char* name) const
    {
        auto* a = form->findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    QToolButton* button(const char* name) const
    {
        auto* b = form->findChild<QToolButton*>(QLatin1String(name));
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    TFoldersTreeView* tree() const { return form->FoldersTreeView(); }
    TFilesListView* list() const { return form->FilesListView(); }
    TFileListModel* model() const { return form->FilesModel(); }
    TBaseElement* element(int64_t id) const
    {
        return CurDisk ? CurDisk->Elements.GetItem(int32_t(id)) : nullptr;
    }

    // The names listed, in list order.
    QStringList listed() const
    {
        QStringList names;
        for (int r = 0; r < model()->rowCount(); ++r)
            names << model()->Text(r, TFileListModel::colName);
        return names;
    }
    // The folder shown: the element of the tree's selected node.
    TBaseElement* shown() const { return tree()->SelectedElement(); }
    QStringList childNodes(QTreeWidgetItem* node) const
    {
        QStringList names;
        for (int i = 0; node && i < node->childCount(); ++i)
            names << node->child(i)->text(0);
        return names;
    }
    // Selects a folder's node by a mouse click on its label and lets the delayed report run.
    void clickNode(int64_t id)
    {
        QTreeWidgetItem* node = tree()->FindNode(element(id));
        ASSERT_NE(node, nullptr);
        tree()->scrollToItem(node);
        const QRect rect = tree()->visualItemRect(node);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
        tree()->FlushChangeReport();
    }

    TTempDir temp;
    std::optional<TRegistryStore::TFileOverride::Scope> m_settingsFile;
    std::optional<TMainForm::TSelectDiskDriveAnswer::Scope> m_selectAnswer;
    std::optional<TRecoveryForm::TModalAnswer::Scope> m_wizardAnswer;
    std::unique_ptr<TScriptedEngine> engine;
    std::unique_ptr<TMainForm> form;
    TScriptedPrompt prompt{TUserPrompt::Answer::Ok};
    int chooseDrive = -1;
    bool chooseFullScan = false;
    int selectCalls = 0;
    int wizardCalls = 0;
};
