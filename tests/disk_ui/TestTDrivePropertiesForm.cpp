#include "disk/ui/TDrivePropertiesForm.h"

#include "support/TestApp.h"
#include "disk/TBaseDisk.h"
#include "disk/TDriveProperties.h"
#include "support/TScriptedEngine.h"
#include "support/TScriptedPrompt.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

const QLocale us(QLocale::English, QLocale::UnitedStates);

TDriveInfo ntfsDrive()
{
    TDriveInfo d =
        TScriptedEngine::MakeDrive(3, 0, 'C', QStringLiteral("SYSTEM"), QStringLiteral("NTFS"), 2097152);
    d.SpaceFree = 1048576;
    d.SerialNumber = 0x1A2B;
    std::memcpy(d.OEM_ID, "NTFS    ", 8);
    d.SectorsPerCluster = 8;
    d.BytesPerSector = 512;
    d.BytesPerCluster = 4096;
    d.OffsetInPhysical = 32256;
    d.FileSystemFlags = FILE_NAMED_STREAMS | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    return d;
}

QString field(QWidget* w, const char* name)
{
    auto* edit = w->findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing>");
}

// Runs inspect on the modal window the call opens and closes it with OK; false when
// no modal window appeared.
bool runModal(const std::function<bool()>& call, const std::function<void(QWidget*)>& inspect)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        seen = modal != nullptr;
        if (!modal)
            return;
        inspect(modal);
        if (auto* ok = modal->findChild<QPushButton*>(QStringLiteral("Button1")))
            ok->click();
    });
    const bool result = call();
    QCoreApplication::processEvents();
    return result && seen;
}

} // namespace

TEST(DriveProperties, TextsOfARecord)
{
    const TDriveProperties p(ntfsDrive(), us);
    EXPECT_EQ(p.Letter, QStringLiteral("C:  (3)"));
    EXPECT_EQ(p.FileSystem, QStringLiteral("NTFS"));
    EXPECT_EQ(p.Status, QStringLiteral("Ready"));
    EXPECT_EQ(p.VolumeLabel, QStringLiteral("SYSTEM"));
    EXPECT_EQ(p.OEMId, QStringLiteral("NTFS    "));
    EXPECT_EQ(p.SerialNumber, QStringLiteral("00001A2B"));
    EXPECT_EQ(p.TotalSpace, QStringLiteral("2 MB (2,097,152 bytes)"));
    EXPECT_EQ(p.FreeSpace, QStringLiteral("1,024 KB (1,048,576 bytes)"));
    EXPECT_EQ(p.SectorsPerCluster, QStringLiteral("8"));
    EXPECT_EQ(p.BytesPerSector, QStringLiteral("512"));
    EXPECT_EQ(p.BytesPerCluster, QStringLiteral("4096"));
    EXPECT_EQ(p.OffsetInPhysical, QStringLiteral("32256"));
    EXPECT_EQ(TDriveProperties::Caption(ntfsDrive(), QStringLiteral("Drive Properties")),
              QStringLiteral("C: Drive Properties"));
}

TEST(DriveProperties, EdgeValuesOfARecord)
{
    TDriveInfo d = ntfsDrive();
    d.Status = 0;
    d.OffsetInPhysical = 0;
    d.SerialNumber = 0xDEADBEEF12;
    EXPECT_EQ(TDriveProperties(d, us).Status, QStringLiteral("Not ready"));
    EXPECT_EQ(TDriveProperties(d, us).OffsetInPhysical, QStringLiteral("Unknown"));
    EXPECT_EQ(TDriveProperties(d, us).SerialNumber, QStringLiteral("DEADBEEF12"));
    d.OffsetInPhysical = -512;
    EXPECT_EQ(TDriveProperties(d, us).OffsetInPhysical, QStringLiteral("Unknown"));
    // Free space the engine could not read at once is not shown as a number.
    d.SpaceFree = -1;
    EXPECT_EQ(TDriveProperties(d, us).FreeSpace, QStringLiteral("Unknown"));
    // A 64-bit serial with its top bit set is shown as the unsigned number it is.
    d.SerialNumber = -1;
    EXPECT_EQ(TDriveProperties(d, us).SerialNumber, QStringLiteral("FFFFFFFFFFFFFFFF"));
    d.SerialNumber = 0;
    EXPECT_EQ(TDriveProperties(d, us).SerialNumber, QStringLiteral("00000000"));

    // Text fields that fill their whole width carry no NUL; nothing past them is read.
    std::memset(d.VolumeLabel, 'L', sizeof d.VolumeLabel);
    std::memcpy(d.OEM_ID, "MSDOS5.0", 8);
    const TDriveProperties full(d, us);
    EXPECT_EQ(full.VolumeLabel, QString(30, QLatin1Char('L')));
    EXPECT_EQ(full.OEMId, QStringLiteral("MSDOS5.0"));
    std::memcpy(d.OEM_ID, "AB\0CDEFG", 8);
    EXPECT_EQ(TDriveProperties(d, us).OEMId, QStringLiteral("AB"));

    // A record without a letter shows none, rather than a NUL character.
    d.Letter = 0;
    EXPECT_EQ(TDriveProperties(d, us).Letter, QStringLiteral(":  (3)"));
    EXPECT_EQ(TDriveProperties::Caption(d, QStringLiteral("Drive Properties")),
              QStringLiteral(": Drive Properties"));
}

TEST(DriveProperties, EachCapabilityReadsItsOwnBit)
{
    const auto& capabilities = TDriveProperties::Capabilities();
    QSet<uint32_t> bits;
    for (const TDriveCapability& c : capabilities)
        bits.insert(c.Bit);
    EXPECT_EQ(bits.size(), TDriveProperties::CapabilityCount);
    EXPECT_EQ(capabilities[0].Bit, 0x40000u);
    EXPECT_STREQ(capabilities[0].Caption, "Named streams:");
    EXPECT_EQ(capabilities[12].Bit, 0x8000u);
    EXPECT_STREQ(capabilities[12].Field, "CapabilitiesEdit13");

    TDriveInfo d = ntfsDrive();
    for (int i = 0; i < TDriveProperties::CapabilityCount; ++i) {
        d.FileSystemFlags = static_cast<int32_t>(capabilities[i].Bit);
        const QStringList values = TDriveProperties(d, us).CapabilityValues;
        ASSERT_EQ(values.size(), TDriveProperties::CapabilityCount);
        for (int j = 0; j < values.size(); ++j)
            EXPECT_EQ(values[j], i == j ? QStringLiteral("Yes") : QStringLiteral("No")) << i << "," << j;
    }
    // Bits outside the table (hard links, extended attributes, the journal) show nowhere;
    // all bits set, the sign bit included, gives Yes everywhere.
    d.FileSystemFlags =
        FILE_SUPPORTS_HARD_LINKS | FILE_SUPPORTS_EXTENDED_ATTRIBUTES | FILE_SUPPORTS_USN_JOURNAL;
    EXPECT_FALSE(TDriveProperties(d, us).CapabilityValues.contains(QStringLiteral("Yes")));
    d.FileSystemFlags = -1;
    EXPECT_FALSE(TDriveProperties(d, us).CapabilityValues.contains(QStringLiteral("No")));
}

class DrivePropertiesFormTest : public ::testing::Test
{
protected:
    void SetUp() override { testApp(); }
};

TEST_F(DrivePropertiesFormTest, ShowsTheEnginesRecordOnItsGeneralPage)
{
    TScriptedEngine engine;
    engine.AddDisk(ntfsDrive(), QStringLiteral("/dev/sda1"));
    TDriveInfo notReady =
        TScriptedEngine::MakeDrive(4, 0, 'D', QString(), QStringLiteral("FAT32"), 0, DRIVE_TYPE_LOGICAL, 0);
    engine.AddDisk(notReady);

    ASSERT_TRUE(runModal([] { return ShowDriveProperties(3); },
                         [](QWidget* w) {
                             EXPECT_EQ(w->windowTitle(), QStringLiteral("C: Drive Properties"));
                             // The first size, or what the page's texts need beyond it.
                             EXPECT_EQ(w->width(), 359);
                             EXPECT_GE(w->height(), 416);
                             auto* pages = w->findChild<QTabWidget*>(QStringLiteral("PageControl"));
                             ASSERT_NE(pages, nullptr);
                             EXPECT_EQ(pages->count(), 3);
                             EXPECT_EQ(pages->currentIndex(), 0);
                             EXPECT_EQ(field(w, "GeneralLetterEdit"), QStringLiteral("C:  (3)"));
                             EXPECT_EQ(field(w, "GeneralSNEdit"), QStringLiteral("00001A2B"));
                             EXPECT_EQ(field(w, "InfoOffsetInPhysicalEdit"), QStringLiteral("32256"));
                             EXPECT_EQ(field(w, "CapabilitiesEdit1"), QStringLiteral("Yes"));
                             EXPECT_EQ(field(w, "CapabilitiesEdit2"), QStringLiteral("No"));
                             EXPECT_EQ(field(w, "CapabilitiesEdit7"), QStringLiteral("Yes"));
                             EXPECT_EQ(field(w, "CapabilitiesEdit12"), QStringLiteral("Yes"));
                             EXPECT_TRUE(
                                 w->findChild<QLineEdit*>(QStringLiteral("GeneralSNEdit"))->isReadOnly());
                         }));

    // A drive that is not ready still opens, saying so.
    ASSERT_TRUE(runModal([] { return ShowDriveProperties(4); },
                         [](QWidget* w) {
                             EXPECT_EQ(w->windowTitle(), QStringLiteral("D: Drive Properties"));
                             EXPECT_EQ(field(w, "GeneralStatusEdit"), QStringLiteral("Not ready"));
                             EXPECT_EQ(field(w, "InfoOffsetInPhysicalEdit"), QStringLiteral("Unknown"));
                         }));
}

TEST_F(DrivePropertiesFormTest, FieldsStartAsPlaceholders)
{
    TDrivePropertiesForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Drive Properties"));
    const QList<QLineEdit*> edits = form.findChildren<QLineEdit*>();
    EXPECT_EQ(edits.size(), 12 + TDriveProperties::CapabilityCount);
    for (QLineEdit* edit : edits)
        EXPECT_EQ(edit->text(), QStringLiteral("---")) << qPrintable(edit->objectName());
}

TEST_F(DrivePropertiesFormTest, AnIdWithoutRecordReportsInsteadOfOpening)
{
    TScriptedEngine engine;
    TScriptedPrompt prompt;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    EXPECT_FALSE(ShowDriveProperties(7));
    QCoreApplication::processEvents();
    EXPECT_FALSE(shown);
    ASSERT_EQ(prompt.asked().size(), 1);
    EXPECT_EQ(prompt.asked().at(0).caption, QStringLiteral("Error"));
    EXPECT_TRUE(prompt.asked().at(0).text.contains(QStringLiteral("drive 7")));

    // Without an open drive the command does nothing.
    ASSERT_EQ(CurDisk, nullptr);
    ShowDriveProperties(static_cast<QWidget*>(nullptr));
    EXPECT_EQ(prompt.asked().size(), 1);
}
