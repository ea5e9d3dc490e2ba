#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TVantrelApi.h"
#include "support/TManifest.h"
#include "support/TestApp.h"
#include "viewers/TByteSource.h"
#include "viewers/ui/THexDump.h"
#include "viewers/ui/TFileViewerForm.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

// The viewer over files of fixture images read by the real engine: the bytes its hex view
// reads are the manifest's.

namespace {

// The element at a manifest path below the drive's top, by name at each level.
TBaseElement* elementAt(const TBaseDisk& disk, const TManifest::Entry& entry)
{
    TBaseElement* folder = nullptr;
    for (TBaseElement* top : disk.RootElement->ChildrenFolders)
        if (top->TrueParentID != -1 || top->GetName().endsWith(QLatin1Char(':')))
            folder = folder ? folder : top;
    if (!folder)
        return nullptr;
    const QStringList parts = entry.path.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        TBaseElement* next = nullptr;
        for (TBaseElement* child : last ? folder->ChildrenFiles : folder->ChildrenFolders) {
            const bool deletedMatch = !last || child->IsDeleted() == entry.deleted;
            if (child->GetName() == parts[i] && deletedMatch)
                next = child;
        }
        if (!next)
            return nullptr;
        folder = next;
    }
    return folder;
}

QString shownHash(TFileViewerForm& viewer, int64_t size)
{
    TByteSource* source = viewer.HexDump->Source();
    if (!source)
        return QStringLiteral("no source");
    source->prefetch(0, size);
    QByteArray bytes;
    const bool arrived = QTest::qWaitFor([&] {
        bytes.clear();
        for (int64_t i = 0; i < size; ++i) {
            const int value = source->byte(i);
            if (value == TByteSource::Pending) {
                source->prefetch(i, size - i);
                return false;
            }
            if (value < 0)
                break;
            bytes.append(char(value));
        }
        return true;
    });
    return arrived ? QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
                   : QStringLiteral("timed out");
}

} // namespace

TEST(FileViewerImage, ShowsTheManifestsBytesOfLiveAndIntactDeletedFiles)
{
    testApp();
    for (const char* name : {"fat16", "ntfs", "exfat"}) {
        const TManifest manifest = TManifest::load(QString::fromLatin1(name));
        ASSERT_TRUE(manifest.isValid()) << name;
        const QByteArray path = QFile::encodeName(manifest.imagePath());
        ASSERT_EQ(TVantrelApi::Library().RegisterImage(path.constData()), 0) << name;
        const int id = TManifest::EngineVolumeOf(manifest.imagePath());
        ASSERT_GE(id, 0) << name;
        CurDisk = CreateDisk(id);
        ASSERT_TRUE(CurDisk->AnalyzeDisk(nullptr, false)) << name;

        int shown = 0;
        for (const TManifest::Entry& e : manifest.volumes().first().entries) {
            if (e.isDir || e.reused || !e.recoverable || e.noData || e.nameFirstCharLost ||
                e.size > (1 << 20))
                continue;
            TBaseElement* element = elementAt(*CurDisk, e);
            if (!element)
                continue;
            const TFileViewerForm::TModalAnswer::Scope driven([&](TFileViewerForm& viewer) {
                EXPECT_EQ(shownHash(viewer, e.size), e.sha256) << name << " " << e.path.toStdString();
                if (e.deleted) {
                    EXPECT_TRUE(QTest::qWaitFor([&] {
                        return viewer.StatusText().contains(QStringLiteral(" bytes can be read"));
                    })) << viewer.StatusText().toStdString();
                }
                if (e.size > 0 && e.path.endsWith(QLatin1String(".txt"))) {
                    viewer.miViewText->trigger();
                    EXPECT_TRUE(QTest::qWaitFor([&] { return !viewer.TextView->toPlainText().isEmpty(); }));
                }
            });
            OpenFileView(fvmHEX, element, nullptr);
            ++shown;
        }
        EXPECT_GE(shown, 4) << name;
        CloseCurDisk();
    }
}
