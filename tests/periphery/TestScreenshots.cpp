// Renders the program's windows to PNG files for the documentation. Runs only when
// BREVANT_SCREENSHOT_DIR names the output folder (scripts/screenshots.sh sets it, with
// BREVANT_SCREENSHOT_IMAGES listing the demo images, separated by ':').

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TVantrelApi.h"
#include "disk/ui/TDiskSelectForm.h"
#include "disk/ui/TDrivePropertiesForm.h"
#include "disk/ui/TScanDiskForm.h"
#include "mainwindow/ui/TMainForm.h"
#include "periphery/TAboutForm.h"
#include "periphery/THelpWindow.h"
#include "periphery/TSplashForm.h"
#include "recovery/ui/TRecoveryForm.h"
#include "search/ui/TFileFindForm.h"
#include "settings/Language.h"
#include "settings/ui/TPrefsForm.h"
#include "viewers/TFileProperties.h"
#include "viewers/ui/TFilePropertiesForm.h"
#include "viewers/ui/TFileViewerForm.h"

#include "TestConfig.h"
#include "support/TestApp.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void shoot(QWidget& w, const QString& dir, const QString& name)
{
    w.show();
    settle();
    const QString path = QDir(dir).filePath(name + QStringLiteral(".png"));
    ASSERT_TRUE(w.grab().save(path, "PNG")) << qPrintable(path);
    std::printf("wrote %s\n", qPrintable(path));
}

// The first element of the open drive that satisfies pred, in id order.
template<class Pred> TBaseElement* findElement(Pred pred)
{
    for (int32_t i = 0; CurDisk && i < CurDisk->Elements.Count(); ++i) {
        TBaseElement* e = CurDisk->Elements.GetItem(i);
        if (e && pred(*e))
            return e;
    }
    return nullptr;
}

} // namespace

TEST(Screenshots, RenderEveryWindow)
{
    const QString out = qEnvironmentVariable("BREVANT_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "BREVANT_SCREENSHOT_DIR not set";
    testApp();
    ASSERT_TRUE(QDir().mkpath(out));
    // The main window saves its settings when it closes; keep them out of the user's.
    TTempDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    TScriptedPrompt prompt; // any message is recorded, never shown
    ReadVerInfo();

    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY);
    const QStringList images =
        qEnvironmentVariable("BREVANT_SCREENSHOT_IMAGES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    ASSERT_FALSE(images.isEmpty()) << "BREVANT_SCREENSHOT_IMAGES lists no image";

    TSplashForm splash;
    shoot(splash, out, QStringLiteral("splash"));

    int32_t driveId = -1;
    {
        TDiskSelectForm select;
        select.show();
        settle();
        for (const QString& image : images)
            ASSERT_TRUE(select.addImage(image)) << qPrintable(image);
        driveId = select.SelectedId;
        shoot(select, out, QStringLiteral("drive-selection"));
    }
    ASSERT_GE(driveId, 0);

    {
        TScanDiskForm scan;
        scan.Step1Label->setText(QStringLiteral("Searching for lost files and folders on drive %1:")
                                     .arg(QLatin1Char(GetDriveLetterById(driveId))));
        scan.SetMaximum(1000);
        scan.SetPosition(420);
        scan.SetFileLabel(QStringLiteral("Pictures\\Holiday 2023\\IMG_0004.jpg"));
        shoot(scan, out, QStringLiteral("scan"));
    }

    {
        const TMainForm::TSelectDiskDriveAnswer::Scope noSelection([](QWidget*, bool&) { return -1; });
        TMainForm form;
        form.resize(900, 600);
        form.show();
        settle();
        form.StartScan(driveId, false);
        settle();
        ASSERT_TRUE(CurDisk);
        if (TBaseElement* documents = findElement([](const TBaseElement& e) {
                return e.IsFolder() && e.ContainDeleted() && e.GetName() == QLatin1String("Documents");
            }))
            form.ChangeFolder(documents);
        shoot(form, out, QStringLiteral("main-window"));

        if (TBaseElement* deleted = findElement([](const TBaseElement& e) {
                return !e.IsFolder() && e.IsDeleted() && e.Size > 0 && e.Parent;
            })) {
            TFilePropertiesForm properties;
            properties.FillFrom(TFileProperties(*deleted));
            shoot(properties, out, QStringLiteral("file-properties"));
        }

        const TDriveInfo* info = TVantrelApi::Current().DiskGetInformation(CurDisk->DriveId);
        ASSERT_NE(info, nullptr);
        TDrivePropertiesForm drive;
        drive.FillFrom(*info);
        shoot(drive, out, QStringLiteral("drive-properties"));
        drive.findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(2);
        shoot(drive, out, QStringLiteral("drive-properties-capabilities"));

        // The wizard over the whole drive, on its first and its destination page.
        const TRecoveryForm::TModalAnswer::Scope wizardShown([&](TRecoveryForm& wizard) {
            wizard.show();
            settle();
            shoot(wizard, out, QStringLiteral("recovery-files"));
            wizard.NextButton->click();
            settle();
            shoot(wizard, out, QStringLiteral("recovery-destination"));
        });
        TElementsList everything;
        everything.SetItem(CurDisk->RootElement);
        StartRecoveryWizard(everything, &form);

        // The find window after a search for every deleted element.
        const TFileFindForm::TModalAnswer::Scope findShown([&](TFileFindForm& find) {
            find.show();
            find.FilenameEdit->setText(QStringLiteral("*"));
            find.SearchOnlyDeletedCheckBox->setChecked(true);
            find.StartButtonClick();
            settle();
            shoot(find, out, QStringLiteral("find"));
        });
        FindFile(&form);

        // The viewer on a deleted picture, as it is and as hex.
        if (TBaseElement* picture = findElement([](const TBaseElement& e) {
                return !e.IsFolder() && e.IsDeleted() && e.GetName().endsWith(QLatin1String(".jpg"));
            })) {
            const TFileViewerForm::TModalAnswer::Scope viewerShown([&](TFileViewerForm& viewer) {
                viewer.resize(640, 480);
                viewer.show();
                EXPECT_TRUE(QTest::qWaitFor([&] { return !viewer.PictureLabel->pixmap().isNull(); }, 3000));
                settle();
                shoot(viewer, out, QStringLiteral("viewer-picture"));
                viewer.SetViewMode(fvmHEX);
                settle();
                shoot(viewer, out, QStringLiteral("viewer-hex"));
            });
            OpenFileView(fvmNative, picture, &form);
        }
        form.close();
    }

    TAboutForm about;
    shoot(about, out, QStringLiteral("about"));

    {
        TPrefsForm preferences;
        preferences.LoadSettings(0);
        shoot(preferences, out, QStringLiteral("preferences"));
    }

    // The main window and the preferences window in Dutch.
    {
        const TLanguageFolder::Scope folder(QStringLiteral(BREVANT_SOURCE_DIR "/lang"));
        CurrentLanguageFile = LoadLanguage(QStringLiteral("Dutch.lng"));
        ASSERT_NE(CurrentLanguageFile, nullptr);
        {
            const TMainForm::TSelectDiskDriveAnswer::Scope noSelection([](QWidget*, bool&) { return -1; });
            TMainForm form;
            form.resize(900, 600);
            form.show();
            settle();
            form.StartScan(driveId, false);
            settle();
            ASSERT_TRUE(CurDisk);
            shoot(form, out, QStringLiteral("main-window-nl"));
            form.close();
        }
        TPrefsForm preferences;
        preferences.LoadSettings(0);
        shoot(preferences, out, QStringLiteral("preferences-nl"));
        CurrentLanguageFile.reset();
    }

    THelpWindow help;
    help.resize(820, 580);
    ASSERT_TRUE(help.OpenPage(QStringLiteral("/files/basics.quickstart.html")));
    shoot(help, out, QStringLiteral("help"));
}
