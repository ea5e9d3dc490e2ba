#include "settings/ui/LanguageForms.h"

#include "settings/Language.h"
#include "settings/TLanguageFile.h"
#include "settings/ui/TFTPAccountEditForm.h"
#include "settings/ui/TPrefsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

TLanguageFile table(const char* text)
{
    return TLanguageFile::Parse(QByteArray(text));
}

} // namespace

TEST(LanguageForms, PreferencesWindowTakesItsTextsByControlName)
{
    TPrefsForm form;
    FillProps({nullptr, &form}, table("[prefsform]\n"
                                      "PREFSFORM.CAPTION=Voorkeuren\n"
                                      "PrefsForm.OkButton.Caption = &Akkoord \n"
                                      "PrefsForm.CancelButton.Caption=\n"
                                      "PrefsForm.StartupLabel1.Hint=Kies|Wat er gebeurt bij de start\n"
                                      "PrefsForm.StartupTabSheet.Caption=Bij de &start\n"
                                      "PrefsForm.StartupComboBox.items[0]=Station A\n"
                                      "PrefsForm.StartupComboBox.items[26]=buiten de lijst\n"
                                      "PrefsForm.LanguageLabel1.Caption=Kies %1 taal\n"
                                      "PrefsForm.NoSuchControl.Caption=niets\n"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Voorkeuren"));
    EXPECT_EQ(form.OkButton->text(), QStringLiteral("&Akkoord"));
    EXPECT_EQ(form.CancelButton->text(), QStringLiteral("&Cancel")); // empty value
    EXPECT_EQ(form.HelpButton->text(), QStringLiteral("&Help"));     // not mentioned
    EXPECT_EQ(form.StartupLabel1->toolTip(), QStringLiteral("Kies"));
    EXPECT_EQ(form.StartupLabel1->statusTip(), QStringLiteral("Wat er gebeurt bij de start"));
    EXPECT_EQ(form.MainPageControl->tabText(1), QStringLiteral("Bij de &start"));
    EXPECT_EQ(form.StartupComboBox->itemText(0), QStringLiteral("Station A"));
    EXPECT_EQ(form.StartupComboBox->count(), 26);
    EXPECT_EQ(form.StartupComboBox->itemText(25), QStringLiteral("Z"));
    // The translation brings a placeholder the original has not: refused.
    EXPECT_EQ(form.LanguageLabel1->text(),
              QStringLiteral("Choose your most preferred program interface language:"));
}

TEST(LanguageForms, LinesColumnsAndPlaceholdersOfOtherControls)
{
    QWidget window;
    window.setObjectName(QStringLiteral("TestForm"));
    auto* memo = new QPlainTextEdit(QStringLiteral("one\ntwo\nthree"), &window);
    memo->setObjectName(QStringLiteral("Memo"));
    auto* view = new QTreeView(&window);
    view->setObjectName(QStringLiteral("List"));
    auto* model = new QStandardItemModel(0, 2, view);
    model->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("%1 items")});
    view->setModel(model);
    auto* status = new QLabel(QStringLiteral("Found %1 of %2"), &window);
    status->setObjectName(QStringLiteral("Status"));

    FillProps({&window}, table("[TestForm]\n"
                               "TestForm.Memo.lines[0]=een\n"
                               "TestForm.Memo.lines[1]=fsdef\n"
                               "TestForm.Memo.lines[2]=\n"
                               "TestForm.Memo.lines[3]=vier\n"
                               "TestForm.List.Columns[0].Caption=Naam\n"
                               "TestForm.List.Columns[1].Caption=%1 stuks %2\n"
                               "TestForm.Status.Caption=%2: %1 gevonden\n"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("een\ntwo\n"));
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Naam"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("%1 items"));
    EXPECT_EQ(status->text(), QStringLiteral("%2: %1 gevonden"));
}

TEST(LanguageForms, WindowsCreatedLaterTakeTheCurrentTableOpenOnesKeepTheirs)
{
    TFTPAccountEditForm open;
    CurrentLanguageFile = std::make_unique<TLanguageFile>(
        table("[FTPAccountEditForm]\nFTPAccountEditForm.Caption=FTP-instellingen\n"
              "FTPAccountEditForm.PassiveModeCheckBox.Caption=Passieve modus\n"));
    TFTPAccountEditForm later;
    CurrentLanguageFile.reset();
    EXPECT_EQ(open.windowTitle(), QStringLiteral("FTP Settings"));
    EXPECT_EQ(later.windowTitle(), QStringLiteral("FTP-instellingen"));
    EXPECT_EQ(later.PassiveModeCheckBox->text(), QStringLiteral("Passieve modus"));
    EXPECT_EQ(later.OkButton->text(), QStringLiteral("&OK"));
}
