#include "TEngineSession.h"

#include "support/TTestEngineOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <unordered_map>

TEngineSession::TEngineSession()
{
    VantrelSetOptions(TTestEngineOptions::value());
    VantrelClearImages();
}

TEngineSession::~TEngineSession()
{
    VantrelClearImages();
    DisksRescan();
}

int32_t TEngineSession::openImage(const QString& path)
{
    if (VantrelRegisterImage(QFile::encodeName(path).constData()) != 0) {
        return -1;
    }
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const int32_t count = DisksRescan();
    for (int32_t id = 0; id < count; ++id) {
        const TDriveInfo* info = DiskGetInformation(id);
        if (info != nullptr && info->ParentID >= 0 && QString::fromUtf8(VantrelDiskPath(id)) == canonical) {
            return id;
        }
    }
    return -1;
}

bool TEngineSession::enumerate(int32_t volumeId)
{
    m_entries.clear();
    m_calls = 0;
    const TDriveInfo* info = DiskGetInformation(volumeId);
    m_ntfs = info != nullptr && QByteArray(info->FileSystemName) == "NTFS";
    m_expected = DiskInitialize(volumeId, 0);
    m_initialCount = m_expected;
    m_estimateFellBehind = false;
    if (m_expected < 0) {
        return false;
    }
    // Bounded like the program's loops: an engine that never ends fails the test instead of
    // hanging it. A folder walk revises its count as it goes, the NTFS walk after its last
    // record (by the entries its folder indexes add); the bound follows it.
    int64_t limit = m_expected + 1;
    while (m_calls < limit + 1) {
        const TFileInfo* record = FileGetNext();
        ++m_calls;
        m_expected = VantrelScanEstimate();
        m_estimateFellBehind = m_estimateFellBehind || (record != nullptr && m_expected < m_calls);
        limit = std::max(limit, m_expected + 1);
        if (record == nullptr) {
            if (!m_ntfs || m_calls >= limit) {
                break;
            }
            continue;
        }
        TEntry entry;
        std::memcpy(&entry.Info, record, offsetof(TFileInfo, WideFileName));
        entry.Info.WideFileName[0] = u'\0';
        entry.Name = QString::fromUtf16(record->WideFileName);
        m_entries.push_back(entry);
        if (m_ntfs && m_calls >= limit) {
            break;
        }
    }
    buildPaths();
    return true;
}

void TEngineSession::buildPaths()
{
    std::unordered_map<int64_t, const TEntry*> byId;
    for (const TEntry& entry : m_entries) {
        byId[entry.Info.TrueId] = &entry;
    }
    const int64_t rootId = m_ntfs ? 5 : 0;
    for (TEntry& entry : m_entries) {
        if (entry.Info.TrueId == rootId) {
            continue;
        }
        QStringList parts{entry.Name};
        int64_t parent = entry.Info.TrueParentId;
        int64_t flags = entry.Info.Flags;
        bool reached = false;
        for (size_t guard = 0; guard <= m_entries.size(); ++guard) {
            if (parent == rootId && !(flags & flag_PARENT_REUSED)) {
                reached = true;
                break;
            }
            const auto found = byId.find(parent);
            if (found == byId.end() || !(found->second->Info.Flags & flag_IS_DIRECTORY) ||
                (flags & flag_PARENT_REUSED)) {
                // The parent is gone or is no folder any more: name it by its id.
                parts.prepend('#' + QString::number(parent));
                reached = true;
                break;
            }
            parts.prepend(found->second->Name);
            parent = found->second->Info.TrueParentId;
            flags = found->second->Info.Flags;
        }
        entry.Path = reached ? parts.join('/') : QString();
    }
}

std::vector<const TEngineSession::TEntry*> TEngineSession::find(const QString& path, bool deleted) const
{
    std::vector<const TEntry*> found;
    for (const TEntry& entry : m_entries) {
        if (entry.Path == path && ((entry.Info.Flags & flag_IS_DELETED) != 0) == deleted) {
            found.push_back(&entry);
        }
    }
    return found;
}

TFileInfo TEngineSession::handBack(const TFileInfo& info)
{
    TFileInfo record;
    std::memset(&record, 0, sizeof record);
    record.TrueId = info.TrueId;
    record.TrueParentId = info.TrueParentId;
    record.Flags = info.Flags;
    record.Size = info.Size;
    record.Attributes = info.Attributes;
    return record;
}

int64_t TEngineSession::readAll(const TFileInfo& record, QByteArray& data, int64_t chunk)
{
    data.clear();
    QByteArray buffer(qsizetype(chunk), Qt::Uninitialized);
    for (;;) {
        const int64_t got = VantrelFileRead(&record, data.size(), buffer.data(), chunk);
        if (got <= 0)
            return got < 0 && data.isEmpty() ? -1 : data.size();
        data.append(buffer.constData(), qsizetype(got));
    }
}

TEngineSession::TRecovery TEngineSession::recover(const TFileInfo& info, const QString& target)
{
    static TFileInfo record;
    record = handBack(info);
    std::u16string path = target.toStdU16String();
    return recoverRaw(path.c_str(), &record);
}

TEngineSession::TRecovery TEngineSession::recoverRaw(const char16_t* target, const TFileInfo* record)
{
    return waitFor(FileRecovery(target, nullptr, record));
}

TEngineSession::TRecovery TEngineSession::waitFor(TVantrelHandle handle)
{
    TRecovery recovery;
    if (handle <= 0) {
        recovery.Message = QString::fromUtf8(VantrelLastError());
        return recovery;
    }
    // Polls in short slices like the recovery run; ctest's timeout catches a copy that never ends.
    while (VantrelWait(handle, 10) == VANTREL_WAIT_TIMEOUT) {
    }
    char message[512] = {};
    recovery.Result = VantrelRecoveryResult(handle, message, sizeof message);
    recovery.Message = QString::fromUtf8(message);
    VantrelCloseHandle(handle);
    return recovery;
}

QDateTime TEngineSession::toDateTime(TFileTime time)
{
    if (time == 0) {
        return {};
    }
    constexpr qint64 kMsFrom1601To1970 = 11644473600000LL;
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(time / 10000) - kMsFrom1601To1970, Qt::UTC);
}
