#include "recovery/TProgramLog.h"

#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

QStringList texts(const QString& path)
{
    QFile file(path);
    QStringList lines;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            lines << line.mid(21); // the text after the time stamp and its two blanks
    }
    return lines;
}

// A log left by an earlier run.
bool writeEarlierLog(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("from an earlier run\n") > 0;
}

} // namespace

TEST(ProgramLog, RecyclesOncePerRunAppendsAndRotatesAtItsLimit)
{
    TTempDir temp;
    const QString path = temp.filePath(QStringLiteral("run.log"));
    ASSERT_TRUE(writeEarlierLog(path));

    TProgramLog::Options options;
    options.Path = path;
    options.Debug = false;
    {
        TProgramLog log(options);
        EXPECT_TRUE(log.Add(TProgramLog::Kind::Status, QStringLiteral("one\ntwo")));
        EXPECT_TRUE(log.Add(TProgramLog::Kind::Debug, QStringLiteral("left out")));
    }
    {
        TProgramLog log(options); // the same run: the log is not emptied again
        EXPECT_TRUE(log.Add(TProgramLog::Kind::Error, QStringLiteral("three")));
    }
    EXPECT_EQ(texts(path), (QStringList{QStringLiteral("one two"), QStringLiteral("three")}));

    options.Path = temp.filePath(QStringLiteral("kept.log"));
    options.Recycle = false;
    options.MaxBytes = 70;
    ASSERT_TRUE(writeEarlierLog(options.Path));
    TProgramLog log(options);
    EXPECT_TRUE(log.Add(TProgramLog::Kind::Status, QStringLiteral("appended")));
    EXPECT_TRUE(log.Add(TProgramLog::Kind::Status, QStringLiteral("past the limit")));
    EXPECT_EQ(texts(options.Path), QStringList{QStringLiteral("past the limit")});
    EXPECT_EQ(texts(options.Path + QStringLiteral(".1")).size(), 2); // the earlier line and "appended"
}

TEST(ProgramLog, NeverWritesThroughALink)
{
    TTempDir temp;
    const QString target = temp.filePath(QStringLiteral("precious"));
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    TProgramLog::Options options;
    options.Path = temp.filePath(QStringLiteral("link.log"));
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(options.Path).constData()),
              0);
    TProgramLog log(options);
    EXPECT_FALSE(log.Add(TProgramLog::Kind::Status, QStringLiteral("line")));
    EXPECT_FALSE(log.Error().isEmpty());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep"));
}
