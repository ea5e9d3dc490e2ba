#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// The manifest of a fixture image (tests/data/<name>.json): what the builder wrote into each
// volume of the image, live and deleted, with sizes, times and content hashes.
//
//   TManifest m = TManifest::load("fat16");
//   ASSERT_TRUE(m.isValid()) << m.errorString().toStdString();
//   openImage(m.imagePath());
//   for (const TManifest::Entry& e : m.volumes().first().entries) ...
class TManifest
{
public:
    struct Entry
    {
        QString path; // "/"-separated from the volume root
        bool isDir = false;
        bool deleted = false;
        qint64 size = -1; // files only; -1 for folders
        QString sha256;   // files only, lower-case hex of the content as written
        // Times as stored on the disk, no zone shift (UTC time spec); invalid when not recorded.
        QDateTime mtime;
        QDateTime atime;
        QDateTime ctime; // creation time
        bool reused = false;
        bool recoverable = true;
        bool nameFirstCharLost = false;
        // The parent folder's record now holds another file: the entry still names it as parent
        // (parentRecord), so a reader can only place the entry in a stand-in folder for that id.
        // Entries further down keep their real parent; their path runs through the lost folder's
        // old name, which no entry of the volume carries any more.
        bool parentLost = false;
        qint64 parentRecord = -1;
        // Nothing leads from its folder to it any more (its folder's later clusters were
        // freed): a reader shows it, and what it holds, under a lost folder of its own making.
        bool lostFolder = false;
        // Only the entry's name, times, size and folder survive (in its folder's index; its
        // own record holds another file now): listed, but nothing can be recovered.
        bool noData = false;
        // Bytes of the data the disk still describes when less than the size (the rest was
        // described by a record freed with the file): reads stop there and a copy fails; -1: all.
        qint64 readable = -1;
        // The rating word a reader must give a deleted file ("intact", "partial", ...), where
        // the builder recorded it.
        QString recovery;

        QString name() const;       // the last path component
        QString parentPath() const; // "" for entries in the root folder
        int depth() const;          // 1 for entries in the root folder
        // The rating words a reader may give the entry: the recorded one, else those its other
        // fields allow (damaged data for a reused or unrecoverable file); "" for live entries
        // and folders.
        QStringList acceptedRecovery() const;
    };

    struct Volume
    {
        int index = 0;
        qint64 offset = 0;
        qint64 size = 0;
        QString filesystem; // FAT12 FAT16 FAT32 exFAT NTFS
        QString label;
        QString serial;
        int bytesPerSector = 0;
        int sectorsPerCluster = 0;
        QList<Entry> entries;

        // The entry with exactly this path, or nullptr. With a deleted and a live entry of the same
        // path, the live one is returned unless `deleted` asks otherwise.
        const Entry* find(const QString& path, bool deleted = false) const;
        const Entry* findAny(const QString& path) const;
        QList<Entry> liveEntries() const;
        QList<Entry> deletedEntries() const;
        QList<Entry> childrenOf(const QString& folderPath) const;
    };

    // Reads tests/data/<name>.json; `name` is the image name without ".img" (e.g. "fat16").
    static TManifest load(const QString& name);
    // Reads any manifest file; the image path is then resolved beside BREVANT_TEST_IMAGE_DIR as well.
    static TManifest loadFile(const QString& jsonPath);
    // Names of all manifests in tests/data, sorted.
    static QStringList available();
    // The engine id of the first lettered volume of an image registered with the real
    // engine; -1 if none.
    static int EngineVolumeOf(const QString& imagePath);
    // Days since 30 December 1899 with the time of day as fraction, the way element dates count.
    static double dayValue(const QDateTime& time);

    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    QString name() const { return m_name; }
    QString image() const { return m_image; }
    // The unpacked image in the build tree (made by the brevant_testdata target).
    QString imagePath() const;
    QString description() const { return m_description; }
    bool broken() const { return m_broken; }
    QString expect() const { return m_expect; }
    QString timezone() const { return m_timezone; }
    // Further fields of the top-level object, e.g. "damage" on broken images.
    QJsonObject extra() const { return m_extra; }
    const QList<Volume>& volumes() const { return m_volumes; }

private:
    bool parse(const QByteArray& json);
    bool fail(const QString& message);

    QString m_error;
    QString m_name;
    QString m_image;
    QString m_description;
    bool m_broken = false;
    QString m_expect;
    QString m_timezone;
    QJsonObject m_extra;
    QList<Volume> m_volumes;
};
