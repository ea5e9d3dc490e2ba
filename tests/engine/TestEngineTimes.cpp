#include "TEngineSession.h"

#include "support/TManifest.h"
#include "support/TTempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sys/stat.h>

namespace {

// Runs a test body with the process in another time zone, restoring it afterwards.
class ZoneGuard
{
public:
    explicit ZoneGuard(const char* zone)
    {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
            m_hadOld = true;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneGuard()
    {
        if (m_hadOld) {
            ::setenv("TZ", m_old.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::string m_old;
    bool m_hadOld = false;
};

// FAT stores local calendar fields; whatever zone the program runs in, the engine
// reports those fields unchanged, and a recovered copy shows them on the local clock.
TEST(EngineTimes, FatTimesPassThroughInAnyZone)
{
    const TManifest manifest = TManifest::load("fat16");
    ASSERT_TRUE(manifest.isValid());
    ASSERT_EQ(manifest.timezone(), "UTC");
    for (const char* zone : {"EST5EDT,M3.2.0,M11.1.0", "JST-9", "UTC"}) {
        ZoneGuard guard(zone);
        TEngineSession session;
        ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
        const auto found = session.find("Docs/Report 2024.txt", false);
        ASSERT_EQ(found.size(), 1u);
        const TFileInfo& info = found.front()->Info;
        const TManifest::Entry* expected = manifest.volumes().first().find("Docs/Report 2024.txt");
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(TEngineSession::toDateTime(info.DateModified), expected->mtime) << zone;
        EXPECT_EQ(TEngineSession::toDateTime(info.DateCreated), expected->ctime) << zone;
        EXPECT_EQ(TEngineSession::toDateTime(info.DateAccessed), expected->atime) << zone;

        TTempDir dir;
        const QString target = dir.filePath("report.txt");
        ASSERT_EQ(TEngineSession::recover(info, target).Result, VANTREL_RECOVERY_OK);
        struct stat status
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &status), 0);
        struct tm local
        {
        };
        ASSERT_NE(::localtime_r(&status.st_mtime, &local), nullptr);
        EXPECT_EQ(local.tm_year + 1900, expected->mtime.date().year()) << zone;
        EXPECT_EQ(local.tm_mon + 1, expected->mtime.date().month()) << zone;
        EXPECT_EQ(local.tm_mday, expected->mtime.date().day()) << zone;
        EXPECT_EQ(local.tm_hour, expected->mtime.time().hour()) << zone;
        EXPECT_EQ(local.tm_min, expected->mtime.time().minute()) << zone;
        EXPECT_EQ(local.tm_sec, expected->mtime.time().second()) << zone;
    }
}

// exFAT entries that record their UTC offset are true instants, to the 10 ms: the zone the
// program runs in changes neither the listed times nor the recovered copy's.
TEST(EngineTimes, ExfatTimesWithOffsetAreInstantsInAnyZone)
{
    const TManifest manifest = TManifest::load("exfat-cases");
    ASSERT_TRUE(manifest.isValid());
    for (const char* zone : {"JST-9", "EST5EDT,M3.2.0,M11.1.0"}) {
        ZoneGuard guard(zone);
        TEngineSession session;
        ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
        for (const char* path : {"Stamped/live stamped.txt", "Stamped/west.txt"}) {
            const TManifest::Entry* expected = manifest.volumes().first().find(path);
            ASSERT_NE(expected, nullptr);
            ASSERT_NE(expected->mtime.time().msec(), 0) << "the fixture stamps 10 ms parts";
            const auto found = session.find(path, false);
            ASSERT_EQ(found.size(), 1u);
            const TFileInfo& info = found.front()->Info;
            EXPECT_EQ(TEngineSession::toDateTime(info.DateModified), expected->mtime) << zone << path;
            EXPECT_EQ(TEngineSession::toDateTime(info.DateCreated), expected->ctime) << zone << path;

            TTempDir dir;
            const QString target = dir.filePath("stamped.txt");
            ASSERT_EQ(TEngineSession::recover(info, target).Result, VANTREL_RECOVERY_OK);
            struct stat status
            {
            };
            ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &status), 0);
            const qint64 ms = qint64{status.st_mtim.tv_sec} * 1000 + status.st_mtim.tv_nsec / 1000000;
            EXPECT_EQ(ms, expected->mtime.toMSecsSinceEpoch()) << zone << path;
        }
    }
}

// NTFS keeps UTC instants: the zone the program runs in changes nothing.
TEST(EngineTimes, NtfsTimesIgnoreTheZone)
{
    const TManifest manifest = TManifest::load("ntfs");
    ASSERT_TRUE(manifest.isValid());
    const TManifest::Entry* expected = manifest.volumes().first().find("Docs/Notes/Meeting notes.txt");
    ASSERT_NE(expected, nullptr);
    for (const char* zone : {"JST-9", "UTC"}) {
        ZoneGuard guard(zone);
        TEngineSession session;
        ASSERT_TRUE(session.enumerate(session.openImage(manifest.imagePath())));
        const auto found = session.find(expected->path, false);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(TEngineSession::toDateTime(found.front()->Info.DateModified), expected->mtime) << zone;
    }
}

} // namespace
