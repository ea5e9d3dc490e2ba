#include "disk/TContentCheck.h"

#include "disk/TBaseElement.h"
#include "support/TModelDisk.h"
#include "support/TScriptedEngine.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

using Verdict = TContentCheck::Verdict;
using Rating = TRecoverability::Rating;

QByteArray bytes(const char* text, qsizetype size)
{
    return QByteArray(text, size);
}

// A head that starts with prefix and goes on with filler bytes.
QByteArray head(const QByteArray& prefix, qsizetype size = 64)
{
    QByteArray data = prefix;
    data.append(QByteArray(std::max<qsizetype>(0, size - prefix.size()), 'x'));
    return data;
}

} // namespace

TEST(ContentCheck, EachFamilyMatchesItsOwnStartAndNotAnother)
{
    const QByteArray zip = head("PK\x03\x04");
    const QByteArray ole = head(bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    const QByteArray riffWave = head(bytes("RIFF\x10\0\0\0WAVEfmt ", 16));
    const QByteArray iso = head(bytes("\0\0\0\x18"
                                      "ftypisom",
                                      12));
    const struct
    {
        const char* Name;
        QByteArray Head;
    } cases[] = {
        {"a.jpg", head("\xFF\xD8\xFF\xE0")},
        {"A.JPEG", head("\xFF\xD8\xFF\xE1")},
        {"a.png", head("\x89PNG\r\n\x1A\n")},
        {"a.gif", head("GIF89a")},
        {"a.docx", zip},
        {"a.odt", zip},
        {"a.apk", zip},
        {"a.epub", zip},
        {"a.xls", ole},
        {"a.msi", ole},
        {"a.rar", head("Rar!\x1A\x07\x01")},
        {"a.7z", head("7z\xBC\xAF\x27\x1C")},
        {"a.mp4", iso},
        {"a.m4a", iso},
        {"old.mov", head(bytes("\0\0\x10\0moov", 8))},
        {"a.bmp", head("BM")},
        {"a.tif", head(bytes("II*\0", 4))},
        {"a.tiff", head(bytes("MM\0*", 4))},
        {"a.webp", head(bytes("RIFF\x10\0\0\0WEBPVP8 ", 16))},
        {"a.wav", riffWave},
        {"a.avi", head(bytes("RIFF\x10\0\0\0AVI LIST", 16))},
        {"a.mp3", head("ID3\x03")},
        {"b.mp3", head("\xFF\xFB\x90\x64")},
        {"a.flac", head("fLaC")},
        {"a.ogg", head("OggS")},
        {"a.webm", head("\x1A\x45\xDF\xA3")},
        {"a.gz", head("\x1F\x8B\x08")},
        {"a.bz2", head("BZh9")},
        {"a.xz", head(bytes("\xFD"
                            "7zXZ\0",
                            6))},
        {"a.zst", head("\x28\xB5\x2F\xFD")},
        {"libx.so", head("\x7F"
                         "ELF")},
        {"a.dll", head("MZ\x90")},
        {"a.ico", head(bytes("\0\0\x01\0\x01\0", 6))},
        {"a.psd", head("8BPS")},
        {"a.sqlite", head(bytes("SQLite format 3\0", 16))},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.Name);
        EXPECT_TRUE(TContentCheck::KnownType(name)) << c.Name;
        EXPECT_EQ(TContentCheck::CheckHead(name, c.Head), Verdict::Match) << c.Name;
        // Free clusters that were zeroed, or hold another type's data.
        EXPECT_EQ(TContentCheck::CheckHead(name, QByteArray(64, '\0')), Verdict::Mismatch) << c.Name;
        EXPECT_EQ(TContentCheck::CheckHead(name, head("%PDF-1.7")), Verdict::Mismatch) << c.Name;
    }
    // A RIFF file of the wrong kind, and MPEG sync bits without a layer, do not pass.
    EXPECT_EQ(TContentCheck::CheckHead(QStringLiteral("a.avi"), riffWave), Verdict::Mismatch);
    EXPECT_EQ(TContentCheck::CheckHead(QStringLiteral("a.mp3"), head("\xFF\xE0")), Verdict::Mismatch);
}

TEST(ContentCheck, WindowsShortHeadsAndUnknownTypes)
{
    // The PDF header may come after other bytes; tar's magic sits at 257.
    EXPECT_EQ(TContentCheck::CheckHead(QStringLiteral("a.pdf"), QByteArray(600, ' ') + "%PDF-1.4"),
              Verdict::Match);
    EXPECT_EQ(TContentCheck::CheckHead(QStringLiteral("a.tar"), QByteArray(257, '\0') + "ustar"),
              Verdict::Match);
    EXPECT_EQ(TContentCheck::BytesToRead(QStringLiteral("a.pdf"), 1 << 20), 1024);
    EXPECT_EQ(TContentCheck::BytesToRead(QStringLiteral("a.png"), 3), 3);

    // Too few bytes to judge, and names that promise no type.
    EXPECT_EQ(TContentCheck::CheckHead(QStringLiteral("a.png"), QByteArray("\x89PN")), Verdict::Unknown);
    for (const char* name : {"notes.txt", "data.bin", "README", ".gz", "archive.", "a.jpg.part"}) {
        EXPECT_FALSE(TContentCheck::KnownType(QString::fromLatin1(name))) << name;
        EXPECT_EQ(TContentCheck::CheckHead(QString::fromLatin1(name), QByteArray(64, '\0')), Verdict::Unknown)
            << name;
        EXPECT_EQ(TContentCheck::BytesToRead(QString::fromLatin1(name), 100), 0) << name;
    }
}

TEST(ContentCheck, RatesDeletedFilesOnceThroughTheEngineRead)
{
    TScriptedEngine engine;
    TModelDisk disk;
    const int64_t deleted = flag_IS_DELETED;
    const QByteArray png = head("\x89PNG\r\n\x1A\n", 5000);
    TBaseElement* other = disk.Add(disk.RootElement, QStringLiteral("photo.jpg"), deleted, png.size());
    TBaseElement* own = disk.Add(disk.RootElement, QStringLiteral("image.png"), deleted, png.size());
    TBaseElement* partial = disk.Add(disk.RootElement, QStringLiteral("half.jpg"), deleted, png.size());
    TBaseElement* live = disk.Add(disk.RootElement, QStringLiteral("live.jpg"), 0, png.size());
    TBaseElement* gone = disk.Add(disk.RootElement, QStringLiteral("gone.jpg"), deleted, png.size());
    TBaseElement* text = disk.Add(disk.RootElement, QStringLiteral("notes.txt"), deleted, png.size());
    TBaseElement* unreadable = disk.Add(disk.RootElement, QStringLiteral("cut.jpg"), deleted, png.size());
    for (TBaseElement* e : {other, own, partial, live, gone, text, unreadable})
        engine.SetCopy(e->TrueID, png);
    other->Recovery = own->Recovery = unreadable->Recovery = Rating::Intact;
    partial->Recovery = Rating::Partial;
    partial->RecoveryPercent = 40;
    gone->Recovery = Rating::Overwritten;
    engine.SetReadable(unreadable->TrueID, 0);

    EXPECT_EQ(TContentCheck::Check(*other), Verdict::Mismatch);
    EXPECT_EQ(other->Recovery, Rating::Mismatch);
    EXPECT_EQ(TContentCheck::Check(*own), Verdict::Match);
    EXPECT_EQ(own->Recovery, Rating::Intact);
    EXPECT_EQ(TContentCheck::Check(*partial), Verdict::Mismatch);
    EXPECT_EQ(partial->Recovery, Rating::Mismatch);
    EXPECT_EQ(partial->RecoveryPercent, 0);
    // An unreadable start gives no verdict and keeps the rating.
    EXPECT_EQ(TContentCheck::Check(*unreadable), Verdict::Unknown);
    EXPECT_EQ(unreadable->Recovery, Rating::Intact);
    const int reads = engine.FileReads();
    EXPECT_GE(reads, 4);

    // Live files, files already known overwritten, types without a signature and files
    // checked before are never read.
    for (TBaseElement* e : {live, gone, text, other, own, partial, unreadable})
        EXPECT_EQ(TContentCheck::Check(*e), Verdict::Unknown) << e->Name.toStdString();
    EXPECT_EQ(engine.FileReads(), reads);
    EXPECT_EQ(live->Recovery, Rating::None);
    EXPECT_EQ(gone->Recovery, Rating::Overwritten);
}
