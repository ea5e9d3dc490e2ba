// Runs "brevant-cli cat" against fixture images: the bytes written equal what the image's
// manifest says was written, by path as scan prints it and by id; errors exit non-zero.
#include "TestConfig.h"
#include "support/TManifest.h"

#include <QCryptographicHash>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct TRawRun
{
    int Exit = -1;
    QByteArray Out;
    QString Err;
};

// brevant-cli with its standard output kept as bytes.
TRawRun runRaw(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(BREVANT_CLI_PATH), arguments);
    TRawRun run;
    if (!process.waitForStarted(30000))
        return run;
    process.closeWriteChannel();
    process.waitForFinished(300000);
    run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = process.readAllStandardOutput();
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString sha256(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

// The ids scan gives each path it prints (the path is the ninth column, the rating the tenth).
QHash<QString, QString> scanIds(const QString& image)
{
    QHash<QString, QString> ids;
    const TRawRun scan = runRaw({"scan", image});
    for (const QString& line : QString::fromUtf8(scan.Out).split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split('\t');
        if (fields.size() == 10)
            ids.insert(fields[8], fields[0]);
    }
    return ids;
}

class CliCat : public testing::TestWithParam<const char*>
{
};

TEST_P(CliCat, LiveAndDeletedFilesByPathAndById)
{
    const TManifest manifest = TManifest::load(GetParam());
    ASSERT_TRUE(manifest.isValid());
    const TManifest::Volume& volume = manifest.volumes().first();
    const QString image = manifest.imagePath();
    const QHash<QString, QString> ids = scanIds(image);
    ASSERT_FALSE(ids.isEmpty());
    const QStringList paths = {"README.TXT", "Pictures/photo.bin", "Data/replacement.bin",
                               "Old/Sub/Charlie file.bin", "Pictures/Ünïcode deleted.txt"};
    for (const QString& path : paths) {
        const TManifest::Entry* expected = volume.findAny(path);
        ASSERT_NE(expected, nullptr) << path.toStdString();
        const QString shown = "C:\\" + QString(path).replace('/', '\\');
        const TRawRun byPath = runRaw({"cat", image, shown});
        EXPECT_EQ(byPath.Exit, 0) << shown.toStdString() << ": " << byPath.Err.toStdString();
        EXPECT_EQ(byPath.Out.size(), expected->size) << shown.toStdString();
        EXPECT_EQ(sha256(byPath.Out), expected->sha256) << shown.toStdString();
        EXPECT_TRUE(byPath.Err.isEmpty()) << byPath.Err.toStdString();

        ASSERT_TRUE(ids.contains(shown)) << shown.toStdString();
        const TRawRun byId = runRaw({"cat", image, "#" + ids.value(shown)});
        EXPECT_EQ(byId.Exit, 0) << byId.Err.toStdString();
        EXPECT_EQ(byId.Out, byPath.Out) << shown.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Images, CliCat, testing::Values("fat16", "ntfs"));

TEST(CliCatErrors, WhatCannotBeCatExitsNonZero)
{
    const QString image = TManifest::load("fat16").imagePath();
    struct TCase
    {
        QStringList Arguments;
        int Exit;
        const char* Says;
    };
    const TCase cases[] = {
        {{"cat", image, "C:\\Docs\\"}, 2, "is a folder"},
        {{"cat", image, "C:\\No such file.txt"}, 2, "has no entry"},
        {{"cat", image, "#abc"}, 2, "no engine id"},
        {{"cat", image, "#999999"}, 2, "has no entry"},
        {{"cat", image}, 2, "SOURCE and an ENTRY"},
        {{"cat", "/no/such/image.img", "#1"}, 2, ""},
    };
    for (const TCase& test : cases) {
        const TRawRun run = runRaw(test.Arguments);
        const std::string shown = test.Arguments.join(' ').toStdString();
        EXPECT_EQ(run.Exit, test.Exit) << shown << ": " << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << shown;
        EXPECT_TRUE(run.Err.contains(test.Says)) << shown << ": " << run.Err.toStdString();
    }
}

// On an image cut short, a file whose data runs past the cut: what is there is written,
// then the error says how many bytes could be read.
TEST(CliCatErrors, ShortReadWritesWhatReadsAndSaysHowMuch)
{
    const TManifest manifest = TManifest::load("ntfs-truncated");
    const TRawRun run = runRaw({"cat", manifest.imagePath(), "C:\\Data\\replacement.bin"});
    EXPECT_EQ(run.Exit, 1) << run.Err.toStdString();
    const QRegularExpressionMatch counts =
        QRegularExpression("Only (\\d+) of the (\\d+) bytes of .* could be read").match(run.Err);
    ASSERT_TRUE(counts.hasMatch()) << run.Err.toStdString();
    EXPECT_EQ(run.Out.size(), counts.captured(1).toLongLong());
    EXPECT_GT(run.Out.size(), 0);
    EXPECT_LT(run.Out.size(), counts.captured(2).toLongLong());

    // What was written is the file's head as the intact image holds it.
    const TRawRun intact = runRaw({"cat", TManifest::load("ntfs").imagePath(), "C:\\Data\\replacement.bin"});
    EXPECT_EQ(intact.Out.left(run.Out.size()), run.Out);
}

} // namespace
