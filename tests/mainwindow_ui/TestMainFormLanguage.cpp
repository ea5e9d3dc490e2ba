#include "TMainFormFixture.h"

#include "settings/Language.h"
#include "settings/TLanguageFile.h"

#include <QMenu>

// The stored language reaches the main window as it is created.

TEST_F(MainFormTest, NewMainWindowShowsTheCurrentLanguage)
{
    form.reset();
    CurrentLanguageFile = std::make_unique<TLanguageFile>(
        TLanguageFile::Parse(QString::fromUtf8("[MainForm]\n"
                                               "MainForm.Caption=Brevant Pro (Nederlands)\n"
                                               "MainForm.miDrive.Caption=&Station\n"
                                               "MainForm.actDriveSelectDrive.Caption=&Openen...\n"
                                               "MainForm.actDriveSelectDrive.Hint=Openen|Kies een station\n"
                                               "MainForm.actDriveClose.Caption=%1 sluiten\n"
                                               "MainForm.FilesListViewDetails.Columns[3].Caption=Aangemaakt\n"
                                               "MainForm.actHelpAbout.Caption=\xC3\x9C"
                                               "ber...\n")
                                 .toUtf8()));
    form = std::make_unique<TMainForm>();
    CurrentLanguageFile.reset();

    EXPECT_EQ(form->windowTitle(), QStringLiteral("Brevant Pro (Nederlands)"));
    EXPECT_EQ(form->findChild<QMenu*>(QStringLiteral("miDrive"))->title(), QStringLiteral("&Station"));
    EXPECT_EQ(action("actDriveSelectDrive")->text(), QStringLiteral("&Openen..."));
    EXPECT_EQ(action("actDriveSelectDrive")->toolTip(), QStringLiteral("Openen"));
    EXPECT_EQ(action("actDriveSelectDrive")->statusTip(), QStringLiteral("Kies een station"));
    EXPECT_EQ(action("actHelpAbout")->text(), QString::fromUtf8("\xC3\x9C"
                                                                "ber..."));
    EXPECT_EQ(model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Aangemaakt"));
    EXPECT_EQ(model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    // A placeholder the original does not have is refused; unmentioned texts stay.
    EXPECT_EQ(action("actDriveClose")->text(), QStringLiteral("&Close"));
    EXPECT_EQ(action("actDriveExit")->text(), QStringLiteral("E&xit"));
}
