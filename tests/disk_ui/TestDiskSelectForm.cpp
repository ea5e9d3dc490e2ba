#include "support/TestApp.h"

#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"

#include "TestConfig.h"
#include "disk/TVantrelApi.h"
#include "disk/ui/TDiskSelectForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class DiskSelectFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testApp();
        // One device with two drives, a second device with one drive.
        TDriveInfo device = TScriptedEngine::MakeDrive(0, -1, 0, "", "", 0, DRIVE_TYPE_PHYSICAL, 1);
        device.SpaceTotal = 8LL * 1024 * 1024 * 1024;
        m_engine.AddDisk(device, "/dev/sda");
        TDriveInfo system = TScriptedEngine::MakeDrive(1, 0, 'C', "SYSTEM", "NTFS", 0);
        system.SerialNumber = 0x00C0FFEE;
        system.SpaceTotal = 2097152;
        m_engine.AddDisk(system, "/dev/sda1");
        m_engine.AddDisk(TScriptedEngine::MakeDrive(2, 0, 'D', "MYDEVICE", "FAT32", 0), "/dev/sda2");
        m_engine.AddDisk(TScriptedEngine::MakeDrive(3, -1, 0, "", "", 0, DRIVE_TYPE_PHYSICAL, 0), "/dev/sdb");
        m_engine.AddDisk(TScriptedEngine::MakeDrive(4, 3, 'E', "", "exFAT", 0, DRIVE_TYPE_LOGICAL, 0),
                         "/dev/sdb1");
    }

    template<typename T> static T* find(const QWidget& form, const char* name)
    {
        T* widget = form.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static QString text(const QWidget& form, const char* name) { return find<QLabel>(form, name)->text(); }
    static QTreeWidget* tree(const QWidget& form) { return find<QTreeWidget>(form, "Page1TreeView"); }
    static QPushButton* button(const QWidget& form, const char* name)
    {
        return find<QPushButton>(form, name);
    }

    static void activate(QWidget& form)
    {
        QEvent activation(QEvent::WindowActivate);
        QApplication::sendEvent(&form, &activation);
    }

    static QStringList nodeTexts(const QWidget& form)
    {
        QStringList texts;
        for (QTreeWidgetItemIterator it(tree(form)); *it; ++it) {
            texts << QString((*it)->parent() ? "  " : "") + (*it)->text(0);
        }
        return texts;
    }

    static void selectNode(QWidget& form, const QString& nodeText)
    {
        const auto items = tree(form)->findItems(nodeText, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1) << nodeText.toStdString();
        tree(form)->setCurrentItem(items.front());
    }

    TScriptedEngine m_engine;
};

TEST_F(DiskSelectFormTest, ActivationFillsTheListAndShowsTheFirstDevice)
{
    TDiskSelectForm form;
    EXPECT_EQ(form.windowTitle(), "Disk Selection Wizard");
    EXPECT_EQ(form.size(), QSize(564, 382));
    EXPECT_EQ(form.SelectedId, -1);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveId"), "#");

    activate(form);
    // Devices are named by their path (and model and size, where known).
    QStringList texts = nodeTexts(form);
    EXPECT_TRUE(texts.value(0).startsWith(QStringLiteral("DEVICE_0 (/dev/sda")))
        << texts.value(0).toStdString();
    texts.replaceInStrings(QRegularExpression(QStringLiteral(" \\(/dev/.*\\)$")), QString());
    EXPECT_EQ(texts, QStringList({"DEVICE_0", "  C: (SYSTEM)", "  D: (MYDEVICE)", "DEVICE_3", "  E:"}));
    EXPECT_TRUE(tree(form)->topLevelItem(0)->isExpanded());
    EXPECT_TRUE(tree(form)->topLevelItem(1)->isExpanded());
    EXPECT_EQ(tree(form)->topLevelItem(0)->toolTip(0), "/dev/sda");
    EXPECT_EQ(tree(form)->topLevelItem(0)->child(0)->toolTip(0), "/dev/sda1");

    // The first node is the device: its information shows, but it cannot be scanned.
    EXPECT_EQ(form.SelectedId, 0);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveId"), "0 (-1)");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveType"), "Phisycal");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveLetter"), "");
    EXPECT_FALSE(button(form, "ButtonStart")->isEnabled());
    EXPECT_FALSE(button(form, "ButtonStart")->isHidden());
    EXPECT_TRUE(button(form, "ButtonNext")->isHidden());
}

const char* NoMedium(int32_t id)
{
    return id == 4 ? "No medium found" : "";
}

TEST_F(DiskSelectFormTest, SelectingADriveShowsItsInformation)
{
    TVantrelApi api = TVantrelApi::Current();
    api.DiskError = &NoMedium;
    const TVantrelApi::TInstalled::Scope installed(&api);
    TDiskSelectForm form;
    activate(form);
    selectNode(form, "C: (SYSTEM)");
    EXPECT_EQ(form.SelectedId, 1);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveId"), "1 (0)");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveLetter"), "C");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveSN"), "00C0FFEE");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveVolLabel"), "SYSTEM");
    EXPECT_EQ(find<QLabel>(form, "Page1InfoLabelDriveVolLabel")->textFormat(), Qt::PlainText);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveType"), "Logical");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveFileSystem"), "NTFS");
    EXPECT_TRUE(text(form, "Page1InfoLabelDriveTotalSpace").startsWith("2 MB ("));
    EXPECT_TRUE(text(form, "Page1InfoLabelDriveTotalSpace").endsWith(" bytes)"));
    EXPECT_EQ(text(form, "Page1InfoLabelDriveStatus"), "Status");
    EXPECT_TRUE(find<QLabel>(form, "Page1LabelHint")->isHidden());
    EXPECT_TRUE(button(form, "ButtonStart")->isEnabled());
    EXPECT_TRUE(button(form, "ButtonNext")->isEnabled());

    // A drive whose label contains "DEVICE" shows its information but cannot be scanned.
    selectNode(form, "D: (MYDEVICE)");
    EXPECT_EQ(form.SelectedId, 2);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveFileSystem"), "FAT32");
    EXPECT_FALSE(button(form, "ButtonStart")->isEnabled());

    // A drive that cannot be read says so, with the reason the engine was given.
    selectNode(form, "E:");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveStatus"), "Not ready");
    EXPECT_FALSE(find<QLabel>(form, "Page1LabelHint")->isHidden());
    EXPECT_EQ(find<QLabel>(form, "Page1LabelHint")->text(),
              "The disk cannot be opened for reading: No medium found.");
    EXPECT_TRUE(button(form, "ButtonStart")->isEnabled());

    // No node: the values are emptied and nothing can be started.
    tree(form)->setCurrentItem(nullptr);
    EXPECT_EQ(form.SelectedId, -1);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveId"), "");
    EXPECT_EQ(text(form, "Page1InfoLabelDriveStatus"), "");
    EXPECT_FALSE(button(form, "ButtonStart")->isEnabled());
}

TEST_F(DiskSelectFormTest, ANodeTheEngineNoLongerKnowsShowsNothing)
{
    TDiskSelectForm form;
    activate(form);
    m_engine.Disks().clear(); // the engine lost its disks since the list was filled
    selectNode(form, "C: (SYSTEM)");
    EXPECT_EQ(form.SelectedId, -1);
    EXPECT_EQ(text(form, "Page1InfoLabelDriveLetter"), "");
}

TEST_F(DiskSelectFormTest, NoDisksLeavesTheValuesUnsetAndOnlyCancel)
{
    m_engine.Disks().clear();
    TDiskSelectForm form;
    activate(form);
    EXPECT_EQ(tree(form)->topLevelItemCount(), 0);
    EXPECT_EQ(form.SelectedId, -1);
    for (const char* name : {"Page1InfoLabelDriveId", "Page1InfoLabelDriveSN", "Page1InfoLabelDriveStatus"}) {
        EXPECT_EQ(text(form, name), "#") << name;
    }
    EXPECT_FALSE(button(form, "ButtonStart")->isEnabled());
    EXPECT_TRUE(button(form, "ButtonClose")->isEnabled());
}

TEST_F(DiskSelectFormTest, ReactivationRefillsAndSelectsTheFirstNodeAgain)
{
    TDiskSelectForm form;
    activate(form);
    selectNode(form, "C: (SYSTEM)");
    const int rescans = m_engine.Calls.DisksRescan;

    m_engine.AddDisk(TScriptedEngine::MakeDrive(5, 3, 'F', "USB", "FAT16", 0));
    activate(form);
    EXPECT_EQ(m_engine.Calls.DisksRescan, rescans + 1);
    EXPECT_TRUE(nodeTexts(form).contains("  F: (USB)"));
    EXPECT_EQ(tree(form)->currentItem(), tree(form)->topLevelItem(0));
    EXPECT_EQ(form.SelectedId, 0);
    EXPECT_FALSE(button(form, "ButtonStart")->isEnabled());
}

TEST_F(DiskSelectFormTest, ButtonsFollowThePageAndTheSearchKnownBox)
{
    TDiskSelectForm form;
    auto* pages = find<QStackedWidget>(form, "PageControl");
    auto* start = button(form, "ButtonStart");
    auto* next = button(form, "ButtonNext");
    auto* back = button(form, "ButtonBack");
    auto* searchKnown = find<QCheckBox>(form, "Page2CheckBoxSearchKnown");
    activate(form);

    // Next does nothing without a valid selection.
    next->click();
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_FALSE(back->isEnabled());

    selectNode(form, "C: (SYSTEM)");
    next->click();
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_FALSE(start->isHidden());
    EXPECT_TRUE(next->isHidden());
    EXPECT_TRUE(next->isEnabled());
    EXPECT_TRUE(back->isEnabled());
    EXPECT_TRUE(start->isDefault());

    searchKnown->click();
    EXPECT_TRUE(start->isHidden());
    EXPECT_FALSE(next->isHidden());
    EXPECT_TRUE(next->isDefault());
    next->click(); // there is no third page
    EXPECT_EQ(pages->currentIndex(), 1);

    back->click();
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_FALSE(start->isHidden());
    EXPECT_TRUE(next->isHidden());
    EXPECT_FALSE(back->isEnabled());
    EXPECT_TRUE(button(form, "ButtonClose")->isEnabled());
}

TEST_F(DiskSelectFormTest, DoubleClickStartsOnlyOnADrive)
{
    TDiskSelectForm form;
    activate(form);
    QTreeWidget* list = tree(form);

    QTreeWidgetItem* device = list->topLevelItem(0);
    emit list->itemDoubleClicked(device, 0);
    EXPECT_NE(form.result(), QDialog::Accepted);

    QTreeWidgetItem* mydevice = device->child(1);
    list->setCurrentItem(mydevice);
    emit list->itemDoubleClicked(mydevice, 0);
    EXPECT_NE(form.result(), QDialog::Accepted);

    QTreeWidgetItem* drive = device->child(0);
    list->setCurrentItem(drive);
    emit list->itemDoubleClicked(drive, 0);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.SelectedId, 1);
}

TEST_F(DiskSelectFormTest, AddImageSelectsTheImagesFirstLetteredDrive)
{
    TTempDir dir;
    const QString image = dir.filePath("card.img");
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    m_engine.AcceptImage(image, {TScriptedEngine::MakeDrive(5, -1, 0, "", "", 0, DRIVE_TYPE_VIRTUAL),
                                 TScriptedEngine::MakeDrive(6, 5, 0, "", "ext4", 0),
                                 TScriptedEngine::MakeDrive(7, 5, 'G', "CARD", "FAT32", 0),
                                 TScriptedEngine::MakeDrive(8, 5, 'H', "", "FAT32", 0)});
    const TDiskSelectForm::TImageFileAnswer::Scope chosenImage([&](QWidget*) { return image; });
    TScriptedPrompt prompt;
    TDiskSelectForm form;
    activate(form);
    button(form, "ButtonAddImage")->click();

    EXPECT_EQ(m_engine.RegisteredImages(), QStringList{image});
    EXPECT_TRUE(prompt.asked().isEmpty());
    EXPECT_EQ(nodeTexts(form).mid(5), QStringList({"DEVICE_5", "  DEVICE_6", "  G: (CARD)", "  H:"}));
    EXPECT_EQ(tree(form)->currentItem()->text(0), "G: (CARD)");
    EXPECT_EQ(tree(form)->currentItem()->toolTip(0), image);
    EXPECT_EQ(form.SelectedId, 7);
    EXPECT_TRUE(button(form, "ButtonStart")->isEnabled());
}

TEST_F(DiskSelectFormTest, RefusedImageIsReportedAndChangesNothing)
{
    // A readable file that holds no image the engine takes.
    TTempDir temp;
    const QString broken = temp.filePath(QStringLiteral("broken.img"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();
    const TDiskSelectForm::TImageFileAnswer::Scope chosenImage([&](QWidget*) { return broken; });
    TScriptedPrompt prompt;
    TDiskSelectForm form;
    activate(form);
    selectNode(form, "C: (SYSTEM)");
    const QStringList before = nodeTexts(form);

    button(form, "ButtonAddImage")->click();
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked().front().caption, "Error");
    EXPECT_TRUE(prompt.asked().front().text.startsWith("Can't open disk image " + broken + "."));
    EXPECT_TRUE(prompt.asked().front().text.contains("Not a disk image."));
    EXPECT_EQ(nodeTexts(form), before);
    EXPECT_EQ(form.SelectedId, 1);

    // Cancelling the file dialog registers nothing.
    const TDiskSelectForm::TImageFileAnswer::Scope cancelled([](QWidget*) { return QString(); });
    button(form, "ButtonAddImage")->click();
    EXPECT_EQ(m_engine.Calls.RegisterImage, 1);
    EXPECT_EQ(prompt.asked().size(), 1);
}

// Runs SelectDiskDrive and lets action work on the modal window once it shows.
int runSelectDiskDrive(bool& fullScan, const std::function<void(TDiskSelectForm&)>& action)
{
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TDiskSelectForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        action(*form);
    });
    return SelectDiskDrive(fullScan);
}

TEST_F(DiskSelectFormTest, SelectDiskDriveReturnsTheChosenDrive)
{
    bool fullScan = true;
    bool radioFullWasSet = false;
    const int id = runSelectDiskDrive(fullScan, [&](TDiskSelectForm& form) {
        radioFullWasSet = find<QRadioButton>(form, "Page2RadioFull")->isChecked();
        EXPECT_FALSE(find<QRadioButton>(form, "Page2RadioFast")->isChecked());
        activate(form);
        selectNode(form, "C: (SYSTEM)");
        find<QRadioButton>(form, "Page2RadioFast")->setChecked(true);
        button(form, "ButtonStart")->click();
    });
    EXPECT_TRUE(radioFullWasSet);
    EXPECT_EQ(id, 1);
    EXPECT_FALSE(fullScan);
}

TEST_F(DiskSelectFormTest, SelectDiskDriveCancelledKeepsTheScanChoice)
{
    bool fullScan = true;
    const int id = runSelectDiskDrive(fullScan, [&](TDiskSelectForm& form) {
        activate(form);
        selectNode(form, "C: (SYSTEM)");
        find<QRadioButton>(form, "Page2RadioFast")->setChecked(true);
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    EXPECT_EQ(id, -1);
    EXPECT_TRUE(fullScan);
}

} // namespace

namespace {

// The window over the real engine, with fixture images only.
class DiskSelectFormEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY);
        VantrelClearImages();
    }
    void TearDown() override { VantrelClearImages(); }
};

TEST_F(DiskSelectFormEngineTest, AddedImagesListTheirDrives)
{
    const QString fat16 = QStringLiteral(BREVANT_TEST_IMAGE_DIR "/fat16.img");
    const QString partitioned = QStringLiteral(BREVANT_TEST_IMAGE_DIR "/mbr-fat32-ntfs.img");
    if (!QFile::exists(fat16) || !QFile::exists(partitioned)) {
        GTEST_SKIP() << "fixture images are not unpacked";
    }
    TScriptedPrompt prompt;
    TDiskSelectForm form;
    ASSERT_TRUE(form.addImage(fat16));
    ASSERT_TRUE(form.addImage(partitioned));
    EXPECT_TRUE(prompt.asked().isEmpty());

    auto* list = form.findChild<QTreeWidget*>("Page1TreeView");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    QTreeWidgetItem* current = list->currentItem();
    ASSERT_NE(current, nullptr);
    // The second image is selected at its first lettered drive.
    EXPECT_EQ(current->parent(), list->topLevelItem(1));
    EXPECT_EQ(current->toolTip(0), partitioned);
    EXPECT_TRUE(current->text(0).contains(':')) << current->text(0).toStdString();
    EXPECT_EQ(form.findChild<QLabel*>("Page1InfoLabelDriveFileSystem")->text(), "FAT32");
    EXPECT_TRUE(form.findChild<QPushButton*>("ButtonStart")->isEnabled());
    EXPECT_EQ(list->topLevelItem(0)->toolTip(0), fat16);
    EXPECT_EQ(form.findChild<QLabel*>("Page1InfoLabelDriveType")->text(), "Logical");
}

TEST_F(DiskSelectFormEngineTest, AnImageThatCannotBeOpenedIsRefused)
{
    TTempDir dir;
    const QString missing = dir.filePath("gone.img");

    TScriptedPrompt prompt;
    TDiskSelectForm form;
    EXPECT_FALSE(form.addImage(missing));
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked().front().caption, "Error");
    EXPECT_TRUE(prompt.asked().front().text.startsWith("Can't open disk image " + missing + "."));
    // The engine's reason follows on its own line, then what to do.
    EXPECT_EQ(prompt.asked().front().text.count('\n'), 2);
    EXPECT_EQ(form.findChild<QTreeWidget*>("Page1TreeView")->topLevelItemCount(), 0);
}

} // namespace
