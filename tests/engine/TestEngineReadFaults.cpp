#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QCryptographicHash>
#include <QFile>

#include <gtest/gtest.h>

// Reads that fail or stop short, laid over fixture images as a failing disk gives them:
// the entry or copy they hit fails cleanly and says why, the rest go on, nothing hangs.

namespace {

struct TFaultScope
{
    TFaultScope(const QString& path, std::vector<TVantrelReadFault> faults) : m_path(QFile::encodeName(path))
    {
        EXPECT_EQ(VantrelSetReadFaults(m_path.constData(), faults.data(), int32_t(faults.size())), 0);
    }
    ~TFaultScope() { VantrelSetReadFaults(m_path.constData(), nullptr, 0); }
    QByteArray m_path;
};

// Where a piece of a file lies in the image; -1 unless it is found exactly once.
int64_t offsetOf(const QString& image, const QByteArray& piece)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf(piece);
    return at >= 0 && bytes.indexOf(piece, at + 1) < 0 ? at : -1;
}

} // namespace

TEST(EngineReadFaults, ACopyOverABadRegionFailsAndTheNextOneSucceeds)
{
    const TManifest manifest = TManifest::load(QStringLiteral("ntfs"));
    ASSERT_TRUE(manifest.isValid());
    TTempDir out;
    QByteArray data;
    int64_t start = -1;
    {
        TEngineSession session;
        const int32_t volume = session.openImage(manifest.imagePath());
        ASSERT_TRUE(session.enumerate(volume));
        const auto found = session.find(QStringLiteral("Data/table.csv"), false);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_EQ(TEngineSession::readAll(found.front()->Info, data), 9000);
        start = offsetOf(manifest.imagePath(), data.mid(4096, 1024)) & ~int64_t{511};
        ASSERT_GE(start, 0);
    }
    for (const int32_t kind : {VANTREL_FAULT_READ_ERROR, VANTREL_FAULT_SHORT_READ}) {
        const TFaultScope faults(manifest.imagePath(), {{start, 4096, kind}});
        TEngineSession session;
        const int32_t volume = session.openImage(manifest.imagePath());
        ASSERT_TRUE(session.enumerate(volume)) << VantrelLastError();
        const TFileInfo table = session.find(QStringLiteral("Data/table.csv"), false).front()->Info;
        const TEngineSession::TRecovery failed = TEngineSession::recover(table, out.filePath("table.csv"));
        EXPECT_EQ(failed.Result, VANTREL_RECOVERY_READ_ERROR) << kind << failed.Message.toStdString();
        EXPECT_FALSE(failed.Message.isEmpty());
        EXPECT_FALSE(QFile::exists(out.filePath("table.csv")));
        // The viewer's reads give what lies before the bad region, then stop there.
        QByteArray shown;
        TEngineSession::readAll(table, shown);
        EXPECT_LE(shown.size(), 4096 + 1024) << kind;
        EXPECT_EQ(shown, data.left(shown.size()));

        const TFileInfo notes =
            session.find(QStringLiteral("Docs/Notes/Meeting notes.txt"), false).front()->Info;
        EXPECT_EQ(TEngineSession::recover(notes, out.filePath("notes.txt")).Result, VANTREL_RECOVERY_OK);
        EXPECT_EQ(QFile(out.filePath("notes.txt")).size(), 1500);
    }
}

TEST(EngineReadFaults, AnalysisOfAVolumeWithBadMetadataEnds)
{
    // Everything past the first 64 KiB of each volume (tables, folders, records) fails or
    // reads short: opening or enumerating may fail, but it returns and says why.
    for (const char* name : {"fat16", "fat32", "exfat", "ntfs"}) {
        const TManifest manifest = TManifest::load(QString::fromLatin1(name));
        ASSERT_TRUE(manifest.isValid()) << name;
        for (const int32_t kind : {VANTREL_FAULT_READ_ERROR, VANTREL_FAULT_SHORT_READ}) {
            const TFaultScope faults(manifest.imagePath(), {{64 << 10, int64_t(1) << 40, kind}});
            TEngineSession session;
            const int32_t volume = session.openImage(manifest.imagePath());
            if (volume < 0)
                continue;
            if (!session.enumerate(volume)) {
                EXPECT_STRNE(VantrelLastError(), "") << name << " " << kind;
            }
        }
    }
}
