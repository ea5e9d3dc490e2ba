#include "support/TScriptedEngine.h"

#include <QFile>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

TScriptedEngine* TScriptedEngine::s_active = nullptr;

namespace {

// Why the last read failed on this thread; the real engine keeps its errors per thread too.
thread_local std::string t_readError;

void CopyText(char* target, size_t size, const QString& text)
{
    std::memset(target, 0, size);
    const QByteArray bytes = text.toUtf8();
    std::memcpy(target, bytes.constData(), std::min(size, size_t(bytes.size())));
}

} // namespace

TScriptedEngine::TScriptedEngine()
{
    m_api = TVantrelApi{
        &disksRescan,  &diskGetCount,   &diskGetInformation, &diskInitialize, &fileGetNext,
        &fileRecovery, &registerImage,  &diskPath,           &lastError,      &setProgressCallback,
        &wait,         &recoveryResult, &closeHandle,        &fileRecoveryAt,
    };
    m_api.FileRead = &fileRead;
    m_api.ClusterOwners = &clusterOwners;
    s_active = this;
    m_installed.emplace(&m_api);
}

TScriptedEngine::~TScriptedEngine()
{
    m_installed.reset();
    s_active = nullptr;
}

TDriveInfo TScriptedEngine::MakeDrive(int32_t id, int32_t parentId, char letter, const QString& label,
                                      const QString& fileSystem, int64_t size, int32_t type, int32_t status)
{
    TDriveInfo drive{};
    drive.ID = id;
    drive.ParentID = parentId;
    drive.Letter = letter;
    CopyText(drive.VolumeLabel, sizeof(drive.VolumeLabel), label);
    CopyText(drive.FileSystemName, sizeof(drive.FileSystemName), fileSystem);
    drive.SpaceTotal = size;
    drive.SpaceFree = size / 2;
    drive.DriveType = type;
    drive.Status = status;
    drive.BytesPerSector = 512;
    drive.SectorsPerCluster = 8;
    drive.BytesPerCluster = 4096;
    drive.TotalSectors = size / 512;
    return drive;
}

TFileInfo TScriptedEngine::MakeFile(int64_t id, int64_t parentId, int64_t flags, int64_t size,
                                    const QString& name, TFileTime created, TFileTime accessed,
                                    TFileTime modified, int64_t attributes)
{
    TFileInfo record{};
    record.TrueId = id;
    record.TrueParentId = parentId;
    record.Flags = flags;
    record.Size = size;
    record.DateCreated = created;
    record.DateAccessed = accessed;
    record.DateModified = modified;
    record.Attributes = attributes;
    const qsizetype length = std::min<qsizetype>(name.size(), VANTREL_MAX_NAME - 1);
    // The record is packed: the name is copied bytewise; the zero fill ends it.
    std::memcpy(reinterpret_cast<char*>(&record) + offsetof(TFileInfo, WideFileName), name.utf16(),
                size_t(length) * sizeof(char16_t));
    return record;
}

void TScriptedEngine::AddDisk(const TDriveInfo& drive, const QString& path)
{
    m_disks.append(drive);
    m_paths.append(path.toStdString());
}

void TScriptedEngine::SetRecords(int32_t diskId, std::vector<TRecord> records)
{
    for (auto& stream : m_streams) {
        if (stream.first == diskId) {
            stream.second = std::move(records);
            return;
        }
    }
    m_streams.emplace_back(diskId, std::move(records));
}

void TScriptedEngine::AddRecord(int32_t diskId, const TFileInfo& record)
{
    for (auto& stream : m_streams) {
        if (stream.first == diskId) {
            stream.second.emplace_back(record);
            return;
        }
    }
    m_streams.emplace_back(diskId, std::vector<TRecord>{record});
}

void TScriptedEngine::AddNil(int32_t diskId)
{
    for (auto& stream : m_streams) {
        if (stream.first == diskId) {
            stream.second.emplace_back(std::nullopt);
            return;
        }
    }
    m_streams.emplace_back(diskId, std::vector<TRecord>{std::nullopt});
}

void TScriptedEngine::SetTotalFiles(int32_t diskId, int64_t totalFiles)
{
    m_totals.emplace_back(diskId, totalFiles);
}

void TScriptedEngine::SetFailInitialize(bool fail, const QString& error)
{
    m_failInitialize = fail;
    m_lastError = error.toStdString();
}

void TScriptedEngine::SetCopy(int64_t trueId, const QByteArray& data, int32_t result)
{
    m_copies.emplace_back(trueId, TCopy{data, result});
}

void TScriptedEngine::SetReadable(int64_t trueId, int64_t bytes)
{
    m_readable.emplace_back(trueId, bytes);
}

void TScriptedEngine::AcceptImage(const QString& path, const QList<TDriveInfo>& disks)
{
    m_images.append({path, disks});
}

const TDriveInfo* TScriptedEngine::findDisk(int32_t id) const
{
    for (const TDriveInfo& drive : m_disks) {
        if (drive.ID == id)
            return &drive;
    }
    return nullptr;
}

int32_t TScriptedEngine::disksRescan()
{
    ++s_active->Calls.DisksRescan;
    return int32_t(s_active->m_disks.size());
}

int32_t TScriptedEngine::diskGetCount()
{
    ++s_active->Calls.DiskGetCount;
    return int32_t(s_active->m_disks.size());
}

const TDriveInfo* TScriptedEngine::diskGetInformation(int32_t id)
{
    ++s_active->Calls.DiskGetInformation;
    return s_active->findDisk(id);
}

int64_t TScriptedEngine::diskInitialize(int32_t id, int32_t fullScan)
{
    TScriptedEngine& self = *s_active;
    ++self.Calls.DiskInitialize;
    self.m_initDisk = id;
    t_readError.clear();
    self.m_fullScan = fullScan != 0;
    self.m_stream = nullptr;
    self.m_next = 0;
    if (self.m_failInitialize)
        return -1;
    static const std::vector<TRecord> empty;
    self.m_stream = &empty;
    for (const auto& stream : self.m_streams) {
        if (stream.first == id)
            self.m_stream = &stream.second;
    }
    int64_t total = int64_t(self.m_stream->size());
    for (const auto& entry : self.m_totals) {
        if (entry.first == id)
            total = entry.second;
    }
    return total;
}

const TFileInfo* TScriptedEngine::fileGetNext()
{
    TScriptedEngine& self = *s_active;
    const int64_t call = self.Calls.FileGetNext++;
    if (self.m_onFileGetNext)
        self.m_onFileGetNext(call);
    if (!self.m_stream || self.m_next >= self.m_stream->size())
        return nullptr;
    const TRecord& record = (*self.m_stream)[self.m_next++];
    if (!record)
        return nullptr;
    self.m_current = *record;
    return &self.m_current;
}

TVantrelHandle TScriptedEngine::fileRecovery(const char16_t* target, void* window, const TFileInfo* record)
{
    return recover(AT_FDCWD, target, window, record);
}

TVantrelHandle TScriptedEngine::fileRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                               const TFileInfo* record)
{
    return recover(folder, name, window, record);
}

TVantrelHandle TScriptedEngine::recover(int folder, const char16_t* target, void* window,
                                        const TFileInfo* record)
{
    TScriptedEngine& self = *s_active;
    ++self.Calls.FileRecovery;
    if (self.m_failRecoveryStart || !target || !record)
        return 0;
    size_t length = 0;
    while (length < VANTREL_MAX_TARGET && target[length] != 0)
        ++length;
    const QString name = QString::fromUtf16(target, qsizetype(length));
    // A target inside an open folder is recorded by its full path, as the run names it.
    QString path = name;
    if (folder != AT_FDCWD) {
        char buffer[4096] = {};
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(folder);
        const ssize_t size = ::readlink(link.constData(), buffer, sizeof buffer - 1);
        path = QFile::decodeName(QByteArray(buffer, size > 0 ? int(size) : 0)) + QLatin1Char('/') + name;
    }

    TCopy copy;
    for (const auto& entry : self.m_copies) {
        if (entry.first == record->TrueId)
            copy = entry.second;
    }
    int32_t result = copy.Result;
    if (result == VANTREL_RECOVERY_OK) {
        const int fd = ::openat(folder, QFile::encodeName(name).constData(),
                                O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (fd < 0 || ::write(fd, copy.Data.constData(), size_t(copy.Data.size())) != copy.Data.size())
            result = VANTREL_RECOVERY_WRITE_ERROR;
        if (fd >= 0)
            ::close(fd);
        if (self.m_progress)
            self.m_progress(window, copy.Data.size(), copy.Data.size());
    }
    self.m_handles.push_back({result, false});
    const TVantrelHandle handle = TVantrelHandle(self.m_handles.size());
    self.m_recovered.append({path, *record, handle});
    return handle;
}

int32_t TScriptedEngine::registerImage(const char* path)
{
    TScriptedEngine& self = *s_active;
    ++self.Calls.RegisterImage;
    const QString name = QString::fromUtf8(path ? path : "");
    for (const auto& image : self.m_images) {
        if (image.first == name) {
            self.m_registered.append(name);
            for (const TDriveInfo& drive : image.second)
                self.AddDisk(drive, name);
            return 0;
        }
    }
    self.m_lastError = "Not a disk image.";
    return -1;
}

const char* TScriptedEngine::diskPath(int32_t id)
{
    TScriptedEngine& self = *s_active;
    for (qsizetype i = 0; i < self.m_disks.size(); ++i) {
        if (self.m_disks[i].ID == id)
            return self.m_paths[i].c_str();
    }
    return "";
}

const char* TScriptedEngine::lastError()
{
    return t_readError.empty() ? s_active->m_lastError.c_str() : t_readError.c_str();
}

int64_t TScriptedEngine::fileRead(const TFileInfo* record, int64_t offset, void* buffer, int64_t length)
{
    TScriptedEngine& self = *s_active;
    ++self.m_fileReads;
    if (self.m_onFileRead)
        self.m_onFileRead(offset);
    t_readError.clear();
    if (!record || offset < 0 || length < 0 || (!buffer && length > 0)) {
        t_readError = "Bad read request.";
        return -1;
    }
    if (record->Flags & (flag_IS_DIRECTORY | flag_NO_DATA)) {
        t_readError = record->Flags & flag_IS_DIRECTORY ? "The entry is a folder, not a file."
                                                        : "There is no recoverable data.";
        return -1;
    }
    const int64_t id = record->TrueId;
    QByteArray data;
    for (const auto& entry : self.m_copies) {
        if (entry.first == id)
            data = entry.second.Data;
    }
    int64_t readable = data.size();
    bool limited = false;
    for (const auto& entry : self.m_readable) {
        if (entry.first == id && entry.second < readable) {
            readable = entry.second;
            limited = true;
        }
    }
    if (limited && offset >= readable) {
        t_readError = "Reading the source failed at byte " + std::to_string(offset) + ".";
        return -1;
    }
    if (offset >= readable)
        return 0;
    const int64_t count = std::min(length, readable - offset);
    std::memcpy(buffer, data.constData() + offset, size_t(count));
    return count;
}

void TScriptedEngine::setProgressCallback(TVantrelProgressCallback callback)
{
    s_active->m_progress = callback;
}

int32_t TScriptedEngine::wait(TVantrelHandle handle, int32_t)
{
    TScriptedEngine& self = *s_active;
    ++self.Calls.Wait;
    if (handle <= 0 || size_t(handle) > self.m_handles.size() || self.m_handles[size_t(handle - 1)].Closed)
        return VANTREL_WAIT_FAILED;
    return VANTREL_WAIT_DONE;
}

int32_t TScriptedEngine::recoveryResult(TVantrelHandle handle, char* message, int32_t messageSize)
{
    TScriptedEngine& self = *s_active;
    ++self.Calls.RecoveryResult;
    int32_t result = VANTREL_RECOVERY_BAD_REQUEST;
    if (handle > 0 && size_t(handle) <= self.m_handles.size())
        result = self.m_handles[size_t(handle - 1)].Result;
    if (message && messageSize > 0) {
        const char* text = result == VANTREL_RECOVERY_OK            ? ""
                           : result == VANTREL_RECOVERY_READ_ERROR  ? "The source could not be read."
                           : result == VANTREL_RECOVERY_WRITE_ERROR ? "The target could not be written."
                                                                    : "Bad request.";
        std::strncpy(message, text, size_t(messageSize) - 1);
        message[messageSize - 1] = 0;
    }
    return result;
}

void TScriptedEngine::closeHandle(TVantrelHandle handle)
{
    TScriptedEngine& self = *s_active;
    ++self.Calls.CloseHandle;
    if (handle > 0 && size_t(handle) <= self.m_handles.size() && !self.m_handles[size_t(handle - 1)].Closed) {
        self.m_handles[size_t(handle - 1)].Closed = true;
        ++self.m_closed;
    }
}

void TScriptedEngine::SetOwners(int64_t trueId, const QStringList& paths, bool fail, const QString& error)
{
    m_owners.emplace_back(trueId, TOwners{paths, fail, error.toStdString()});
}

int32_t TScriptedEngine::clusterOwners(const TFileInfo* record, char16_t* text, int32_t textUnits)
{
    TScriptedEngine& self = *s_active;
    ++self.m_ownerCalls;
    t_readError.clear();
    if (text && textUnits > 0)
        text[0] = u'\0';
    if (!record) {
        t_readError = "No entry given.";
        return -1;
    }
    const TOwners* owners = nullptr;
    for (const auto& entry : self.m_owners) {
        if (entry.first == record->TrueId)
            owners = &entry.second;
    }
    if (!owners)
        return 0;
    if (owners->Fail) {
        t_readError = owners->Error;
        return -1;
    }
    const QString joined = owners->Paths.join(QLatin1Char('\n'));
    if (text && textUnits > 0) {
        const qsizetype units = std::min<qsizetype>(joined.size(), textUnits - 1);
        std::copy_n(reinterpret_cast<const char16_t*>(joined.utf16()), units, text);
        text[units] = u'\0';
    }
    return int32_t(owners->Paths.size());
}
