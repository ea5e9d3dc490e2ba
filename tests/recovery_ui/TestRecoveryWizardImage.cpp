#include "support/TManifest.h"
#include "support/TScriptedPrompt.h"
#include "support/TTempDir.h"
#include "support/TestApp.h"
#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TElementsList.h"
#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"
#include "recovery/ui/TRecoveryForm.h"
#include "settings/Settings.h"
#include "settings/TRegistryStore.h"

#include <optional>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

// The wizard over fixture images read by the real engine: what it recovers is what the
// image builder wrote, in the folders it was written to.

namespace {

QString sha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

TBaseElement* findNamed(TBaseElement* folder, const QString& name)
{
    for (TBaseElement* file : folder->ChildrenFiles) {
        if (file->GetName() == name)
            return file;
    }
    for (TBaseElement* sub : folder->ChildrenFolders) {
        if (TBaseElement* found = findNamed(sub, name))
            return found;
    }
    return nullptr;
}

class WizardImage : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        testApp();
        m_settingsFile.emplace(temp.filePath(QStringLiteral("settings.conf")));
        resetSettingsToInitialValues();
        GlobalConfirmInterrupt = false;

        manifest = TManifest::load(QString::fromLatin1(GetParam()));
        ASSERT_TRUE(manifest.isValid()) << manifest.errorString().toStdString();
        const QByteArray path = QFile::encodeName(manifest.imagePath());
        ASSERT_EQ(TVantrelApi::Library().RegisterImage(path.constData()), 0)
            << TVantrelApi::Library().LastError();
        const int id = TManifest::EngineVolumeOf(manifest.imagePath());
        ASSERT_GE(id, 0);
        CurDisk = CreateDisk(id);
        ASSERT_TRUE(CurDisk->AnalyzeDisk(nullptr, false));
        out = temp.filePath(QStringLiteral("out"));
        GlobalRecoveryDestinationFolder = out;
    }

    void TearDown() override
    {
        CloseCurDisk();
        resetSettingsToInitialValues();
        m_settingsFile.reset();
    }

    bool isFat() const { return manifest.volumes().first().filesystem != QStringLiteral("NTFS"); }

    // Opens the wizard over selection with only deleted elements ticked and runs the
    // recovery; returns the log and the Finish page's count.
    void recover(const QList<TBaseElement*>& selection)
    {
        TElementsList list;
        for (TBaseElement* element : selection)
            list.SetItem(element);
        const TRecoveryForm::TModalAnswer::Scope driven([this](TRecoveryForm& form) {
            form.show();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !form.FirstActivation; }));
            form.NextButton->click();
            form.NextButton->click();
            form.NextButton->click();
            logLines = form.ProgressLog->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            recovered = form.FinishLabel2->text().toInt();
            damaged = form.Counters().DamagedFiles;
        });
        StartRecoveryWizard(list, nullptr);
    }

    // The recovered file of a manifest entry: a deleted 8.3-only FAT name has lost its
    // first character, the rest must match.
    QString recoveredPath(const TManifest::Entry& entry) const
    {
        const QString folder =
            entry.parentPath().isEmpty() ? out : out + QLatin1Char('/') + entry.parentPath();
        if (!entry.nameFirstCharLost)
            return folder + QLatin1Char('/') + entry.name();
        const QStringList names = QDir(folder).entryList(QDir::Files);
        for (const QString& name : names) {
            if (name.size() == entry.name().size() && name.mid(1) == entry.name().mid(1))
                return folder + QLatin1Char('/') + name;
        }
        return QString();
    }

    TTempDir temp;
    std::optional<TRegistryStore::TFileOverride::Scope> m_settingsFile;
    TScriptedPrompt prompt;
    TManifest manifest;
    QString out;
    QStringList logLines;
    int recovered = -1; // the Finish page's count: clean copies only
    int damaged = -1;
};

} // namespace

TEST_P(WizardImage, EveryDeletedFileComesBackIdenticalInItsFolder)
{
    recover({CurDisk->RootElement});
    ASSERT_FALSE(logLines.isEmpty());
    EXPECT_EQ(logLines.last(), QStringLiteral("Recovery finished.")) << logLines.join('\n').toStdString();
    for (const QString& line : logLines)
        EXPECT_FALSE(line.startsWith(QStringLiteral("Can't"))) << line.toStdString();

    int checked = 0, deletedFiles = 0;
    for (const TManifest::Entry& entry : manifest.volumes().first().entries) {
        if (!entry.deleted || entry.isDir)
            continue;
        ++deletedFiles;
        if (entry.reused || !entry.recoverable)
            continue;
        const QString path = recoveredPath(entry);
        ASSERT_FALSE(path.isEmpty()) << entry.path.toStdString();
        EXPECT_EQ(sha256(path), entry.sha256) << entry.path.toStdString();
        if (entry.mtime.isValid()) {
            // FAT times are local calendar fields: the copy gets the same wall-clock time.
            const QDateTime modified = QFileInfo(path).lastModified();
            const QDateTime asWritten =
                isFat() ? QDateTime(modified.date(), modified.time(), Qt::UTC) : modified.toUTC();
            EXPECT_EQ(asWritten, entry.mtime) << entry.path.toStdString();
        }
        ++checked;
    }
    EXPECT_GT(checked, 5);
    EXPECT_GE(recovered + damaged, deletedFiles);

    // Live files stay where they are: only deleted ones were ticked.
    for (const TManifest::Entry& entry : manifest.volumes().first().liveEntries()) {
        if (!entry.isDir && !manifest.volumes().first().find(entry.path, true)) {
            EXPECT_FALSE(QFileInfo::exists(out + QLatin1Char('/') + entry.path)) << entry.path.toStdString();
        }
    }
}

TEST_P(WizardImage, AHostileNameStaysInsideTheDestination)
{
    const TManifest::Entry* report =
        manifest.volumes().first().find(QStringLiteral("Deleted report.txt"), true);
    ASSERT_NE(report, nullptr);
    TBaseElement* element = findNamed(CurDisk->RootElement, QStringLiteral("Deleted report.txt"));
    ASSERT_NE(element, nullptr);
    element->Name = QStringLiteral("../../escape.txt");

    recover({element});
    EXPECT_EQ(recovered, 1);
    QString written;
    for (const QString& line : logLines) {
        if (line.startsWith(QStringLiteral("Recovering file: ")))
            written = line.mid(17);
    }
    ASSERT_FALSE(written.isEmpty()) << logLines.join('\n').toStdString();
    EXPECT_TRUE(
        QFileInfo(written).canonicalFilePath().startsWith(QDir(out).canonicalPath() + QLatin1Char('/')))
        << written.toStdString();
    EXPECT_EQ(sha256(written), report->sha256);
    EXPECT_FALSE(QFileInfo::exists(QDir(out).absoluteFilePath(QStringLiteral("../../escape.txt"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(out).absoluteFilePath(QStringLiteral("../escape.txt"))));
}

TEST_P(WizardImage, AFileOnAnUnreadablePartFailsAndTheRunGoesOn)
{
    TBaseElement* report = findNamed(CurDisk->RootElement, QStringLiteral("Deleted report.txt"));
    ASSERT_NE(report, nullptr);
    recover({report});
    QFile copy(out + QStringLiteral("/Deleted report.txt"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    QFile image(manifest.imagePath());
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const int64_t at = image.readAll().indexOf(copy.readAll().left(512));
    ASSERT_GE(at, 0);
    copy.remove();

    // The disk now fails to read the file's first sector.
    const QByteArray path = QFile::encodeName(manifest.imagePath());
    const TVantrelReadFault fault{at & ~int64_t{511}, 512, VANTREL_FAULT_READ_ERROR};
    ASSERT_EQ(VantrelSetReadFaults(path.constData(), &fault, 1), 0);
    const int id = CurDisk->DriveId;
    CloseCurDisk();
    CurDisk = CreateDisk(id);
    ASSERT_TRUE(CurDisk->AnalyzeDisk(nullptr, false));
    recover({CurDisk->RootElement});
    VantrelSetReadFaults(path.constData(), nullptr, 0);

    EXPECT_EQ(logLines
                  .filter(QRegularExpression(
                      QStringLiteral("^Can't recover file: .*/Deleted report.txt \\(.+\\)$")))
                  .size(),
              1)
        << logLines.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(out + QStringLiteral("/Deleted report.txt")));
    EXPECT_EQ(logLines.last(), QStringLiteral("Recovery finished."));
    EXPECT_GT(recovered + damaged, 3);
}

INSTANTIATE_TEST_SUITE_P(Images, WizardImage, ::testing::Values("fat16", "ntfs", "exfat"));
