#include "support/TManifest.h"

#include "disk/TSourceArgument.h"
#include "disk/TVantrelApi.h"

#include "TestConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {

// Manifest times are written "2024-03-05T10:20:30" without a zone: the wall-clock value stored on the
// disk. They are kept as UTC so that no local zone of the test machine shifts them.
QDateTime parseTime(const QJsonValue& value)
{
    if (!value.isString())
        return {};
    QDateTime t = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!t.isValid())
        return {};
    t.setTimeSpec(Qt::UTC);
    return t;
}

} // namespace

QString TManifest::Entry::name() const
{
    return path.section(QLatin1Char('/'), -1);
}

QString TManifest::Entry::parentPath() const
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

int TManifest::Entry::depth() const
{
    return int(path.count(QLatin1Char('/'))) + 1;
}

QStringList TManifest::Entry::acceptedRecovery() const
{
    if (!deleted || isDir)
        return {QString()};
    if (!recovery.isEmpty())
        return {recovery};
    if (noData)
        return {QStringLiteral("no-data")};
    if (reused || !recoverable)
        return {QStringLiteral("overwritten"), QStringLiteral("partial"), QStringLiteral("guess")};
    return {QStringLiteral("intact"), QStringLiteral("data-in-record")};
}

const TManifest::Entry* TManifest::Volume::find(const QString& path, bool deleted) const
{
    for (const Entry& e : entries) {
        if (e.path == path && e.deleted == deleted)
            return &e;
    }
    return nullptr;
}

const TManifest::Entry* TManifest::Volume::findAny(const QString& path) const
{
    const Entry* live = find(path, false);
    return live ? live : find(path, true);
}

QList<TManifest::Entry> TManifest::Volume::liveEntries() const
{
    QList<Entry> out;
    for (const Entry& e : entries) {
        if (!e.deleted)
            out.append(e);
    }
    return out;
}

QList<TManifest::Entry> TManifest::Volume::deletedEntries() const
{
    QList<Entry> out;
    for (const Entry& e : entries) {
        if (e.deleted)
            out.append(e);
    }
    return out;
}

QList<TManifest::Entry> TManifest::Volume::childrenOf(const QString& folderPath) const
{
    QList<Entry> out;
    for (const Entry& e : entries) {
        if (e.parentPath() == folderPath)
            out.append(e);
    }
    return out;
}

TManifest TManifest::load(const QString& name)
{
    return loadFile(QStringLiteral(BREVANT_TEST_DATA_DIR) + QLatin1Char('/') + name +
                    QStringLiteral(".json"));
}

TManifest TManifest::loadFile(const QString& jsonPath)
{
    TManifest m;
    m.m_name = QFileInfo(jsonPath).completeBaseName();
    QFile file(jsonPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m.fail(QStringLiteral("cannot read %1: %2").arg(jsonPath, file.errorString()));
        return m;
    }
    if (!m.parse(file.readAll()))
        m.m_error = jsonPath + QStringLiteral(": ") + m.m_error;
    return m;
}

QStringList TManifest::available()
{
    QStringList names;
    const QStringList files = QDir(QStringLiteral(BREVANT_TEST_DATA_DIR))
                                  .entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& f : files)
        names.append(QFileInfo(f).completeBaseName());
    return names;
}

double TManifest::dayValue(const QDateTime& time)
{
    static const QDateTime origin(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return double(origin.msecsTo(time.toUTC())) / 86400000.0;
}

QString TManifest::imagePath() const
{
    return QStringLiteral(BREVANT_TEST_IMAGE_DIR) + QLatin1Char('/') + m_image;
}

bool TManifest::fail(const QString& message)
{
    m_error = message;
    return false;
}

bool TManifest::parse(const QByteArray& json)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull())
        return fail(parseError.errorString());
    if (!doc.isObject())
        return fail(QStringLiteral("the top level is not an object"));
    QJsonObject top = doc.object();

    m_image = top.value(QStringLiteral("image")).toString();
    if (m_image.isEmpty() || m_image.contains(QLatin1Char('/')))
        return fail(QStringLiteral("missing or unusable \"image\""));
    m_description = top.value(QStringLiteral("description")).toString();
    m_broken = top.value(QStringLiteral("broken")).toBool(false);
    m_expect = top.value(QStringLiteral("expect")).toString(QStringLiteral("ok"));
    m_timezone = top.value(QStringLiteral("timezone")).toString(QStringLiteral("UTC"));

    const QJsonValue volumes = top.value(QStringLiteral("volumes"));
    if (!volumes.isArray())
        return fail(QStringLiteral("missing \"volumes\""));
    for (const QJsonValue& vv : volumes.toArray()) {
        const QJsonObject vo = vv.toObject();
        Volume v;
        v.index = vo.value(QStringLiteral("index")).toInt();
        v.offset = qint64(vo.value(QStringLiteral("offset")).toDouble());
        v.size = qint64(vo.value(QStringLiteral("size")).toDouble());
        v.filesystem = vo.value(QStringLiteral("filesystem")).toString();
        v.label = vo.value(QStringLiteral("label")).toString();
        v.serial = vo.value(QStringLiteral("serial")).toString();
        v.bytesPerSector = vo.value(QStringLiteral("bytes_per_sector")).toInt();
        v.sectorsPerCluster = vo.value(QStringLiteral("sectors_per_cluster")).toInt();
        if (v.index < 1 || v.filesystem.isEmpty())
            return fail(QStringLiteral("a volume lacks \"index\" or \"filesystem\""));
        for (const QJsonValue& ev : vo.value(QStringLiteral("entries")).toArray()) {
            const QJsonObject eo = ev.toObject();
            Entry e;
            e.path = eo.value(QStringLiteral("path")).toString();
            const QString type = eo.value(QStringLiteral("type")).toString();
            if (e.path.isEmpty() || (type != QLatin1String("file") && type != QLatin1String("dir")))
                return fail(QStringLiteral("an entry of volume %1 lacks \"path\" or \"type\"").arg(v.index));
            e.isDir = type == QLatin1String("dir");
            e.deleted = eo.value(QStringLiteral("deleted")).toBool(false);
            // Sizes past 2^53 do not occur; JSON numbers carry every size below that exactly.
            e.size = e.isDir ? -1 : qint64(eo.value(QStringLiteral("size")).toDouble(-1));
            e.sha256 = eo.value(QStringLiteral("sha256")).toString();
            e.mtime = parseTime(eo.value(QStringLiteral("mtime")));
            e.atime = parseTime(eo.value(QStringLiteral("atime")));
            e.ctime = parseTime(eo.value(QStringLiteral("ctime")));
            e.reused = eo.value(QStringLiteral("reused")).toBool(false);
            e.recoverable = eo.value(QStringLiteral("recoverable")).toBool(true);
            e.nameFirstCharLost = eo.value(QStringLiteral("name_first_char_lost")).toBool(false);
            e.parentLost = eo.value(QStringLiteral("parent_lost")).toBool(false);
            e.noData = eo.value(QStringLiteral("no_data")).toBool(false);
            e.readable = eo.value(QStringLiteral("readable")).toInteger(-1);
            e.parentRecord = qint64(eo.value(QStringLiteral("parent_record")).toDouble(-1));
            e.lostFolder = eo.value(QStringLiteral("lost_folder")).toBool(false);
            e.recovery = eo.value(QStringLiteral("recovery")).toString();
            v.entries.append(e);
        }
        m_volumes.append(v);
    }

    static const QStringList known = {QStringLiteral("image"),    QStringLiteral("description"),
                                      QStringLiteral("broken"),   QStringLiteral("expect"),
                                      QStringLiteral("timezone"), QStringLiteral("volumes")};
    for (const QString& key : known)
        top.remove(key);
    m_extra = top;
    return true;
}

int TManifest::EngineVolumeOf(const QString& imagePath)
{
    const TVantrelApi& api = TVantrelApi::Library();
    api.DisksRescan();
    TSourceArgument source;
    QString error;
    return TSourceArgument::Parse(imagePath, source, error) ? source.Resolve(api, error) : -1;
}
