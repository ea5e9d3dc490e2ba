#pragma once

#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"
#include "support/TModelDisk.h"
#include "support/TestApp.h"
#include "disk/TElementsList.h"
#include "recovery/ui/TFileRecoveryLoadForm.h"
#include "recovery/ui/TRecoveryForm.h"
#include "recovery/ui/TStateTreeView.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"
#include "support/TTestClock.h"

#include <optional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The wizard over a hand-built drive D: (engine id 1) read by the scripted engine:
//   D:\Docs\            live, contains deleted
//   D:\Docs\Old\        deleted        b.txt (deleted, "bbb")
//   D:\Docs\a.txt       deleted, "aaaaa"
//   D:\Docs\keep.txt    live, "kk"
//   D:\c.txt            live, "cc"
// Settings live in a temporary folder; recovered files go to <temp>/out.
class WizardTest : public ::testing::Test
{
protected:
    static constexpr int64_t Deleted = flag_IS_DELETED;
    static constexpr int64_t Folder = flag_IS_DIRECTORY;

    void SetUp() override
    {
        testApp();
        m_settingsFile.emplace(temp.filePath(QStringLiteral("settings.conf")));
        resetSettingsToInitialValues();
        GlobalConfirmInterrupt = false;

        const QString image = temp.filePath(QStringLiteral("disk.img"));
        engine.AddDisk(
            TScriptedEngine::MakeDrive(0, -1, 0, QString(), QString(), 1 << 20, DRIVE_TYPE_VIRTUAL), image);
        engine.AddDisk(
            TScriptedEngine::MakeDrive(1, 0, 'D', QStringLiteral("DATA"), QStringLiteral("FAT32"), 1 << 20),
            image);
        root = disk.Add(disk.RootElement, QStringLiteral("D:"), Folder | flag_HAS_CHILD_DELETED);
        docs = disk.Add(root, QStringLiteral("Docs"), Folder | flag_HAS_CHILD_DELETED);
        old = disk.Add(docs, QStringLiteral("Old"), Folder | Deleted);
        b = disk.Add(old, QStringLiteral("b.txt"), Deleted, 3);
        a = disk.Add(docs, QStringLiteral("a.txt"), Deleted, 5);
        keep = disk.Add(docs, QStringLiteral("keep.txt"), 0, 2);
        c = disk.Add(root, QStringLiteral("c.txt"), 0, 2);
        engine.SetCopy(b->TrueID, "bbb");
        engine.SetCopy(a->TrueID, "aaaaa");
        engine.SetCopy(keep->TrueID, "kk");
        engine.SetCopy(c->TrueID, "cc");
        out = temp.filePath(QStringLiteral("out"));
        GlobalRecoveryDestinationFolder = out;
    }

    void TearDown() override
    {
        resetSettingsToInitialValues();
        m_settingsFile.reset();
    }

    // Opens the wizard over selection and runs body while it is shown; false when the
    // wizard was not shown.
    bool wizard(const QList<TBaseElement*>& selection, const std::function<void(TRecoveryForm&)>& body)
    {
        TElementsList list;
        for (TBaseElement* element : selection)
            list.SetItem(element);
        bool shown = false;
        const TRecoveryForm::TModalAnswer::Scope driven([&](TRecoveryForm& form) {
            shown = true;
            form.show();
            if (!QTest::qWaitFor([&] { return !form.FirstActivation; })) {
                ADD_FAILURE() << "the wizard was never activated";
                return;
            }
            body(form);
        });
        StartRecoveryWizard(list, nullptr);
        return shown;
    }

    static int stateOf(const TRecoveryForm& form, const TBaseElement* element)
    {
        const TStateTree& tree = form.FilesTreeView->Tree();
        for (TStateTree::NodeId node = 0; node < tree.Count(); ++node) {
            if (tree.Data(node) == element)
                return tree.StateIndex(node);
        }
        return -100;
    }
    static std::vector<int> states(const TRecoveryForm& form)
    {
        std::vector<int> result;
        const TStateTree& tree = form.FilesTreeView->Tree();
        for (TStateTree::NodeId node = 0; node < tree.Count(); ++node)
            result.push_back(tree.StateIndex(node));
        return result;
    }
    static QStringList log(const TRecoveryForm& form)
    {
        return form.ProgressLog->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static void write(const QString& path, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    // Next from the Files page to the end of the run.
    static void runFromFiles(TRecoveryForm& form)
    {
        form.NextButton->click();
        form.NextButton->click();
    }

    TTempDir temp;
    TEveryTurnClock clock; // long work serves the window after every step
    std::optional<TRegistryStore::TFileOverride::Scope> m_settingsFile;
    TScriptedEngine engine;
    TModelDisk disk;
    TBaseElement *root = nullptr, *docs = nullptr, *old = nullptr, *b = nullptr, *a = nullptr,
                 *keep = nullptr, *c = nullptr;
    QString out;
};
