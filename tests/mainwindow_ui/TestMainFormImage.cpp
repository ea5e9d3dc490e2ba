#include "support/TManifest.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"
#include "support/TestApp.h"
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"
#include "mainwindow/ui/TFileListModel.h"
#include "mainwindow/ui/TFoldersTreeView.h"
#include "mainwindow/ui/TMainForm.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

// The main window over a fixture image read by the real engine.

namespace {

TBaseElement* childNamed(TBaseElement* folder, const QString& name)
{
    for (TBaseElement* child : folder->ChildrenFolders) {
        if (child->GetName() == name)
            return child;
    }
    return nullptr;
}

} // namespace

TEST(MainFormImage, BrowsesAFatImage)
{
    testApp();
    TTempDir temp;
    const TRegistryStore::TFileOverride::Scope settingsFile(temp.filePath(QStringLiteral("settings.conf")));
    resetSettingsToInitialValues();
    GlobalStartupDefaultAction = sdaNothing;
    GlobalConfirmInterrupt = false;
    TScriptedPrompt prompt;

    const TManifest manifest = TManifest::load(QStringLiteral("fat16"));
    ASSERT_TRUE(manifest.isValid()) << manifest.errorString().toStdString();
    const QByteArray path = QFile::encodeName(manifest.imagePath());
    ASSERT_EQ(TVantrelApi::Library().RegisterImage(path.constData()), 0)
        << TVantrelApi::Library().LastError();
    const int id = TManifest::EngineVolumeOf(manifest.imagePath());
    ASSERT_GE(id, 0);

    const TMainForm::TSelectDiskDriveAnswer::Scope selectImage([id](QWidget*, bool&) { return id; });
    {
        TMainForm form;
        form.show();
        form.findChild<QAction*>(QStringLiteral("actDriveSelectDrive"))->trigger();
        form.FoldersTreeView()->FlushChangeReport();
        ASSERT_NE(CurDisk, nullptr);
        EXPECT_EQ(prompt.asked().size(), 0);

        // Walk down to Docs/Notes by the tree and check the live entries the image holds.
        TBaseElement* root = childNamed(CurDisk->RootElement, QString(QLatin1Char(form.DriveChar)) + ':');
        ASSERT_NE(root, nullptr);
        TBaseElement* docs = childNamed(root, QStringLiteral("Docs"));
        ASSERT_NE(docs, nullptr);
        TBaseElement* notes = childNamed(docs, QStringLiteral("Notes"));
        ASSERT_NE(notes, nullptr);
        form.ChangeFolder(notes);
        form.FoldersTreeView()->FlushChangeReport();
        EXPECT_EQ(form.FoldersTreeView()->SelectedElement(), notes);
        EXPECT_EQ(form.AddressComboBox()->currentText(),
                  QStringLiteral("%1:\\Docs\\Notes\\").arg(QLatin1Char(form.DriveChar)));

        QSet<QString> listed;
        for (int r = 0; r < form.FilesModel()->rowCount(); ++r)
            listed.insert(form.FilesModel()->Text(r, TFileListModel::colName));
        int checked = 0;
        for (const TManifest::Entry& e : manifest.volumes().first().entries) {
            if (e.parentPath() == QStringLiteral("Docs/Notes") && !e.deleted) {
                EXPECT_TRUE(listed.contains(e.name())) << e.path.toStdString();
                ++checked;
            }
        }
        EXPECT_GT(checked, 1);

        // The deleted draft is listed as deleted.
        bool deletedSeen = false;
        for (int r = 0; r < form.FilesModel()->rowCount(); ++r)
            deletedSeen |=
                form.FilesModel()->Text(r, TFileListModel::colCondition) == QStringLiteral("Deleted");
        EXPECT_TRUE(deletedSeen);
    }
    EXPECT_EQ(CurDisk, nullptr);
}
