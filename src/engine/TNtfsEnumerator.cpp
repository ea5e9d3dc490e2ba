#include "engine/TNtfsEnumerator.h"

#include "engine/TFileTimeCodec.h"
#include "engine/TTextCodec.h"
#include "engine/TTskVolume.h"
#include "engine/format/TMftAttributeList.h"
#include "engine/format/TMftReference.h"
#include "engine/format/TRecoveryRating.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace {

// Layout of a $FILE_NAME attribute's content.
constexpr size_t kFileNameParent = 0x00;
constexpr size_t kFileNameLength = 0x40;
constexpr size_t kFileNameSpace = 0x41;
constexpr size_t kFileNameText = 0x42;
constexpr uint8_t kNamespaceDos = 2;

// Record header: "FILE" signature at 0, sequence number at 0x10, flags at 0x16, base
// record reference at 0x20.
constexpr size_t kHeaderSize = 0x28;
constexpr size_t kHeaderSequence = 0x10;
constexpr size_t kHeaderFlags = 0x16;
constexpr size_t kHeaderBase = 0x20;
constexpr uint16_t kRecordInUse = 0x01;
constexpr uint16_t kRecordIsDirectory = 0x02;
constexpr uint32_t kHeaderKnown = 0x80000000U;

// Records below this one belong to the file system itself: 0-15 its own files, 16-23
// kept for it (they read as free records without a name).
constexpr uint64_t kFirstUserRecord = 24;
// The most read of one folder's index (a larger one is damaged or hostile), and the
// most runs followed.
constexpr uint64_t kLargestIndex = uint64_t{256} << 20;
constexpr size_t kLargestRunCount = 1 << 16;
constexpr size_t kLargestBitmap = 1 << 20;
// The record of the volume's cluster bitmap, and how much of it is read at a time.
constexpr TSK_INUM_T kBitmapRecord = 6;
constexpr size_t kBitmapChunk = size_t{1} << 20;
// The stride of a record's update sequence.
constexpr size_t kSectorSize = TMftRecord::kSectorStride;
// The 100-nanosecond intervals between 1601 and 1970.
constexpr uint64_t kUnixEpoch = 116444736000000000ULL;

// A FILETIME as the library turns it into seconds and nanoseconds (seconds held in 32
// bits), so records read either way carry the same times.
time_t librarySeconds(uint64_t fileTime)
{
    return static_cast<time_t>(static_cast<uint32_t>((fileTime - kUnixEpoch) / 10000000));
}

TFileTime libraryTime(uint64_t fileTime)
{
    return TFileTimeCodec::fromUtc(librarySeconds(fileTime),
                                   static_cast<uint32_t>(fileTime % 10000000) * 100);
}

// A bitmap byte that marks blocks unused.
const uint8_t kUnusedBits = 0;

uint16_t raisedSequence(uint16_t sequence)
{
    return sequence == 0xFFFF ? 1 : static_cast<uint16_t>(sequence + 1);
}

uint64_t nameKey(uint64_t parent, const std::u16string& name)
{
    uint64_t hash = 1469598103934665603ULL ^ parent;
    for (const char16_t c : name) {
        hash = (hash ^ static_cast<uint64_t>(c)) * 1099511628211ULL;
    }
    return hash;
}

// An attribute's type as the record stores it. The library copies the on-disk number
// into its enum field, so a damaged record can hold a value the enum does not name:
// read it as the integer it is, never as the enum.
uint32_t attrType(const TSK_FS_ATTR* attr)
{
    std::underlying_type_t<TSK_FS_ATTR_TYPE_ENUM> type{};
    std::memcpy(&type, &attr->type, sizeof type);
    return static_cast<uint32_t>(type);
}

bool isI30(const TSK_FS_ATTR* attr)
{
    return attr->name != nullptr && std::strcmp(attr->name, "$I30") == 0;
}

struct TChosenName
{
    const uint8_t* text = nullptr; // UTF-16LE
    size_t length = 0;
    uint64_t parent = 0; // the whole reference: sequence number in the top 16 bits
    bool found = false;
    bool dosOnly = true;
};

// Picks the Win32 or POSIX name over the DOS 8.3 one.
TChosenName chooseName(TSK_FS_FILE* file)
{
    TChosenName chosen;
    const int attributes = tsk_fs_file_attr_getsize(file);
    for (int i = 0; i < attributes; ++i) {
        const TSK_FS_ATTR* attr = tsk_fs_file_attr_get_idx(file, i);
        if (attr == nullptr || attrType(attr) != TSK_FS_ATTR_TYPE_NTFS_FNAME ||
            !(attr->flags & TSK_FS_ATTR_RES) || attr->rd.buf == nullptr) {
            continue;
        }
        const size_t available = std::min<size_t>(attr->rd.buf_size, static_cast<size_t>(attr->size));
        if (available < kFileNameText) {
            continue;
        }
        const uint8_t* buf = attr->rd.buf;
        const size_t length = buf[kFileNameLength];
        if (kFileNameText + length * 2 > available) {
            continue;
        }
        const bool dos = buf[kFileNameSpace] == kNamespaceDos;
        if (chosen.found && (dos || !chosen.dosOnly)) {
            continue;
        }
        uint64_t parent = 0;
        std::memcpy(&parent, buf + kFileNameParent, sizeof parent);
        chosen = {buf + kFileNameText, length, parent, true, dos};
    }
    return chosen;
}

} // namespace

TNtfsEnumerator::TNtfsEnumerator(std::shared_ptr<TTskVolume> volume, bool fullScan, bool ownReader)
    : TEntryEnumerator(std::move(volume)), m_fullScan(fullScan)
{
    // The library adds one virtual folder after the last MFT record.
    const TSK_FS_INFO* fs = m_volume->fs();
    const uint64_t records = fs->last_inum;
    m_count = static_cast<int64_t>(std::min<uint64_t>(records, std::numeric_limits<int32_t>::max()));
    m_records = m_count;

    // The record size is in the boot sector: clusters per record, or a negative power of two in bytes.
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    int8_t perRecord = 0;
    if (tsk_img_read(m_volume->image(), m_volume->offset() + 0x40, reinterpret_cast<char*>(&perRecord), 1) ==
        1) {
        if (perRecord > 0) {
            m_recordSize = static_cast<int64_t>(perRecord) * fs->block_size;
        } else if (perRecord < 0 && perRecord > -31) {
            m_recordSize = int64_t{1} << -perRecord;
        }
    }
    if (m_recordSize >= 256) {
        m_mft = tsk_fs_file_open_meta(m_volume->fs(), nullptr, 0);
    }
    // The record count follows the $MFT's size fields, which a damaged record can raise
    // to any value: the walk goes no further than the records its data runs really hold.
    if (m_mft != nullptr && m_recordSize > 0) {
        const TSK_FS_ATTR* data = tsk_fs_file_attr_get_type(m_mft, TSK_FS_ATTR_TYPE_NTFS_DATA, 0, 0);
        if (data != nullptr && (data->flags & TSK_FS_ATTR_NONRES)) {
            uint64_t blocks = 0;
            for (const TSK_FS_ATTR_RUN* run = data->nrd.run; run != nullptr; run = run->next) {
                if (!(run->flags & (TSK_FS_ATTR_RUN_FLAG_FILLER | TSK_FS_ATTR_RUN_FLAG_SPARSE)))
                    blocks += run->len;
            }
            const uint64_t held = blocks * fs->block_size / static_cast<uint64_t>(m_recordSize);
            if (held > 0 && held < static_cast<uint64_t>(m_count))
                m_count = m_records = static_cast<int64_t>(held);
            m_mftData = data;
        }
    }
    // The records are read in chunks where their layout is the usual one: whole sectors,
    // at most 4 KiB each.
    m_ownReader = ownReader && m_mftData != nullptr && m_recordSize >= static_cast<int64_t>(kSectorSize) &&
                  m_recordSize <= 4096 && m_recordSize % static_cast<int64_t>(kSectorSize) == 0;
    if (m_ownReader) {
        m_ownReader = startReadAhead();
    }
    tsk_error_reset();
}

TNtfsEnumerator::~TNtfsEnumerator()
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    if (m_file != nullptr) {
        tsk_fs_file_close(m_file);
    }
    if (m_mft != nullptr) {
        tsk_fs_file_close(m_mft);
    }
}

int64_t TNtfsEnumerator::addressOf(int64_t id) const
{
    // Entries known only from an index have no record to read.
    return id >= 0 && id < m_records ? id : -1;
}

const TFileInfo* TNtfsEnumerator::next()
{
    if (m_next < m_records) {
        const int64_t recordNumber = m_next++;
        return fillRecord(recordNumber) ? &m_record : nullptr;
    }
    if (!m_walked) {
        m_readAhead.reset(); // every record is read: its buffers go before the walk's work
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        finishWalk();
    }
    if (m_next >= m_count) {
        ++m_next;
        return nullptr;
    }
    const TExtra& extra = m_extras[static_cast<size_t>(m_next++ - m_records)];
    std::memcpy(&m_record, &extra.info, offsetof(TFileInfo, WideFileName));
    const size_t length = std::min<size_t>(extra.name.size(), VANTREL_MAX_NAME - 1);
    std::memcpy(m_record.WideFileName, extra.name.data(), length * sizeof(char16_t));
    m_record.WideFileName[length] = u'\0';
    return &m_record;
}

bool TNtfsEnumerator::readHeader(int64_t recordNumber, bool& extension)
{
    extension = false;
    if (m_mft == nullptr) {
        return false;
    }
    uint8_t header[kHeaderSize] = {};
    if (tsk_fs_file_read(m_mft, recordNumber * m_recordSize, reinterpret_cast<char*>(header), kHeaderSize,
                         TSK_FS_FILE_READ_FLAG_NONE) != static_cast<ssize_t>(kHeaderSize)) {
        tsk_error_reset();
        return false;
    }
    return noteHeader(recordNumber, header, extension);
}

bool TNtfsEnumerator::noteHeader(int64_t recordNumber, const uint8_t* header, bool& extension)
{
    if (std::memcmp(header, "FILE", 4) != 0) {
        return false;
    }
    uint16_t sequence = 0;
    uint16_t flags = 0;
    uint64_t base = 0;
    std::memcpy(&sequence, header + kHeaderSequence, sizeof sequence);
    std::memcpy(&flags, header + kHeaderFlags, sizeof flags);
    std::memcpy(&base, header + kHeaderBase, sizeof base);
    if (recordNumber >= 0 && recordNumber < m_records) {
        if (m_headers.empty()) {
            m_headers.resize(static_cast<size_t>(m_records));
        }
        m_headers[static_cast<size_t>(recordNumber)] =
            kHeaderKnown | (static_cast<uint32_t>(flags & (kRecordInUse | kRecordIsDirectory)) << 16) |
            sequence;
    }
    extension = TMftReference::Record(base) != 0;
    return true;
}

void TNtfsEnumerator::holdLibrary()
{
    if (m_guard != nullptr && !m_guard->owns_lock()) {
        m_guard->lock();
    }
}

bool TNtfsEnumerator::startReadAhead()
{
    const uint64_t clusterSize = m_volume->fs()->block_size;
    const uint64_t recordSize = static_cast<uint64_t>(m_recordSize);
    std::vector<TMftReadAhead::TExtent> extents;
    size_t runs = 0;
    for (const TSK_FS_ATTR_RUN* run = m_mftData->nrd.run; run != nullptr && runs < kLargestRunCount;
         run = run->next, ++runs) {
        if (run->flags & (TSK_FS_ATTR_RUN_FLAG_FILLER | TSK_FS_ATTR_RUN_FLAG_SPARSE)) {
            continue;
        }
        // The whole records inside the run; one that spans two runs is read by the library.
        const uint64_t start = run->offset * clusterSize;
        const uint64_t end = (run->offset + run->len) * clusterSize;
        const uint64_t first = (start + recordSize - 1) / recordSize;
        const uint64_t last = std::min<uint64_t>(end / recordSize, static_cast<uint64_t>(m_records));
        if (first >= last) {
            continue;
        }
        TMftReadAhead::TExtent extent;
        extent.offset = static_cast<uint64_t>(m_volume->offset()) + run->addr * clusterSize +
                        (first * recordSize - start);
        extent.firstRecord = static_cast<int64_t>(first);
        extent.records = static_cast<int64_t>(last - first);
        if (!extents.empty() && extent.firstRecord < extents.back().firstRecord + extents.back().records) {
            return false; // runs out of order: a damaged $MFT, read record by record
        }
        extents.push_back(extent);
    }
    // A raw image is read with pread, without the library; any other through the library's
    // read, under its lock (laid-over read faults apply there).
    TMftReadAhead::TRead read;
    if (m_volume->rawDescriptor() >= 0) {
        TTskVolume* volume = m_volume.get();
        read = [volume](uint64_t offset, uint8_t* buffer, size_t length) {
            return volume->readRaw(offset, buffer, length);
        };
    } else {
        TSK_IMG_INFO* image = m_volume->image();
        read = [image](uint64_t offset, uint8_t* buffer, size_t length) {
            std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
            const bool whole =
                tsk_img_read(image, static_cast<TSK_OFF_T>(offset), reinterpret_cast<char*>(buffer),
                             length) == static_cast<ssize_t>(length);
            tsk_error_reset();
            return whole;
        };
    }
    m_readAhead = std::make_unique<TMftReadAhead>(std::move(read), std::move(extents),
                                                  static_cast<size_t>(m_recordSize));
    return true;
}

TNtfsEnumerator::TOwnRead TNtfsEnumerator::fillOwnRecord(int64_t recordNumber)
{
    if (recordNumber < static_cast<int64_t>(kFirstUserRecord)) {
        return TOwnRead::Library;
    }
    uint8_t* bytes = m_readAhead->record(recordNumber);
    bool extension = false;
    if (bytes == nullptr || !noteHeader(recordNumber, bytes, extension)) {
        return TOwnRead::Library;
    }
    if (extension) {
        return TOwnRead::Empty; // an extension record: its file is listed from its base record
    }
    TMftRecord& record = m_parsed;
    const TMftRecord::TResult result =
        record.parse(bytes, static_cast<size_t>(m_recordSize), m_volume->fs()->block_count);
    // A torn folder's index description is not to be trusted: the library decides on it.
    if (result == TMftRecord::TResult::Refused ||
        (result == TMftRecord::TResult::Torn && record.isDirectory())) {
        return TOwnRead::Library;
    }
    // A file whose attributes continue in other records. Left to the library: a folder's
    // index there, a torn base record, and a deleted file, whose extension records were
    // freed with it and may hold anything now.
    const bool listed = record.hasAttributeList;
    if (listed && (record.isDirectory() || !record.inUse() || result == TMftRecord::TResult::Torn ||
                   !joinExtensions(recordNumber, record))) {
        return TOwnRead::Library;
    }
    const bool directory = record.isDirectory();
    m_newestSeconds =
        std::max({m_newestSeconds, librarySeconds(record.created), librarySeconds(record.modified),
                  librarySeconds(record.accessed), librarySeconds(record.changed)});
    const uint64_t parent = TMftReference::Record(record.parent);
    const uint16_t parentSequence = TMftReference::Sequence(record.parent);
    const bool deleted = !record.inUse();
    std::memset(&m_record, 0, offsetof(TFileInfo, WideFileName));
    m_record.TrueId = recordNumber;
    m_record.TrueParentId = static_cast<int64_t>(parent);
    m_record.Flags = (directory ? flag_IS_DIRECTORY : 0) | (deleted ? flag_IS_DELETED : 0);
    if (deleted && parent != static_cast<uint64_t>(recordNumber) &&
        !parentStillHolds(parent, parentSequence)) {
        m_record.Flags |= flag_PARENT_REUSED;
    }
    m_record.Size =
        record.hasData && !directory ? std::max<int64_t>(0, static_cast<int64_t>(record.dataSize)) : 0;
    m_record.DateCreated = libraryTime(record.created);
    m_record.DateAccessed = libraryTime(record.accessed);
    m_record.DateModified = libraryTime(record.modified);
    m_record.Attributes = recordNumber;
    m_record.Reserve = record.sequence;
    const size_t length = std::min<size_t>(record.nameLength, VANTREL_MAX_NAME - 1);
    for (size_t i = 0; i < length; ++i) {
        m_record.WideFileName[i] = static_cast<char16_t>(record.name[i * 2] | (record.name[i * 2 + 1] << 8));
    }
    m_record.WideFileName[length] = u'\0';
    if (result == TMftRecord::TResult::Torn) {
        // A record that was being written when the disk stopped: its name and times lie in
        // sectors that passed their checks, but nothing says its data is where it says.
        m_record.Flags |= flag_NO_DATA | (deleted ? flag_RATING_NO_DATA : 0);
    } else if (deleted && !directory) {
        m_record.Flags |= rateRuns(record);
    }
    if (deleted) {
        m_deletedChildren.push_back({parent, static_cast<uint64_t>(recordNumber)});
    }
    if (directory) {
        holdLibrary(); // its index is read through the library
        TIndexParts parts;
        if (!deleted) {
            indexPartsOf(record, parts);
        }
        noteFolderIndex(parts, recordNumber, record.sequence, deleted);
    }
    return TOwnRead::Filled;
}

bool TNtfsEnumerator::parentStillHolds(uint64_t parent, uint16_t sequence)
{
    // Without a sequence number, or without a readable header, nothing can be told.
    if (sequence == 0 || m_mft == nullptr || parent >= static_cast<uint64_t>(m_records)) {
        return true;
    }
    const size_t index = static_cast<size_t>(parent);
    if (m_headers.empty() || !(m_headers[index] & kHeaderKnown)) {
        holdLibrary();
        bool extension = false;
        if (!readHeader(static_cast<int64_t>(parent), extension)) {
            return true;
        }
    }
    const uint32_t header = m_headers[index];
    const uint16_t current = static_cast<uint16_t>(header & 0xFFFF);
    const uint16_t flags = static_cast<uint16_t>(header >> 16);
    if (flags & kRecordInUse) {
        return current == sequence && (flags & kRecordIsDirectory);
    }
    // The number skips 0 when it wraps.
    const uint16_t raised = sequence == 0xFFFF ? 1 : static_cast<uint16_t>(sequence + 1);
    return current == sequence || current == raised;
}

bool TNtfsEnumerator::fillRecord(int64_t recordNumber)
{
    std::unique_lock<std::mutex> guard(TTskVolume::libraryLock(), std::defer_lock);
    if (m_ownReader) {
        // A record read ahead needs the library only now and then: the lock is taken when
        // it does (holdLibrary). It is not held while the record is waited for, which the
        // read-ahead thread may need the lock to read.
        m_guard = &guard;
        const TOwnRead own = fillOwnRecord(recordNumber);
        m_guard = nullptr;
        if (own != TOwnRead::Library) {
            return own == TOwnRead::Filled;
        }
    }
    if (!guard.owns_lock()) {
        guard.lock();
    }
    bool extension = false;
    if (readHeader(recordNumber, extension) && extension) {
        return false;
    }
    // The file structure is reused from record to record; the library keeps its
    // allocations, which saves most of the per-record cost.
    TSK_FS_FILE* file = tsk_fs_file_open_meta(m_volume->fs(), m_file, static_cast<TSK_INUM_T>(recordNumber));
    if (file == nullptr) {
        tsk_error_reset();
        return false;
    }
    bool filled = false;
    const TSK_FS_META* meta = file->meta;
    if (meta != nullptr && !(meta->flags & TSK_FS_META_FLAG_UNUSED)) {
        m_newestSeconds = std::max({m_newestSeconds, meta->crtime, meta->mtime, meta->atime, meta->ctime});
        const TChosenName name = chooseName(file);
        std::u16string fallback;
        uint64_t parent = TMftReference::Record(name.parent);
        uint16_t parentSequence = TMftReference::Sequence(name.parent);
        bool haveName = name.found;
        if (!haveName && meta->name2 != nullptr) {
            // Attributes could not be parsed; the library's own name list still helps.
            fallback = TTextCodec::utf8ToUtf16(meta->name2->name);
            parent = TMftReference::Record(meta->name2->par_inode);
            parentSequence = static_cast<uint16_t>(meta->name2->par_seq);
            haveName = true;
        }
        if (haveName) {
            std::memset(&m_record, 0, offsetof(TFileInfo, WideFileName));
            m_record.TrueId = recordNumber;
            m_record.TrueParentId = static_cast<int64_t>(parent);
            const bool directory = meta->type == TSK_FS_META_TYPE_DIR;
            const bool deleted = (meta->flags & TSK_FS_META_FLAG_UNALLOC) != 0;
            m_record.Flags = (directory ? flag_IS_DIRECTORY : 0) | (deleted ? flag_IS_DELETED : 0);
            // A deleted entry's folder may be gone and its record given to another entry.
            if (deleted && parent != static_cast<uint64_t>(recordNumber) &&
                !parentStillHolds(parent, parentSequence)) {
                m_record.Flags |= flag_PARENT_REUSED;
            }
            m_record.Size = directory ? 0 : std::max<int64_t>(0, meta->size);
            m_record.DateCreated = TFileTimeCodec::fromUtc(meta->crtime, meta->crtime_nano);
            m_record.DateAccessed = TFileTimeCodec::fromUtc(meta->atime, meta->atime_nano);
            m_record.DateModified = TFileTimeCodec::fromUtc(meta->mtime, meta->mtime_nano);
            m_record.Attributes = recordNumber;
            m_record.Reserve = meta->seq;
            size_t length = 0;
            if (name.found) {
                length = std::min<size_t>(name.length, VANTREL_MAX_NAME - 1);
                for (size_t i = 0; i < length; ++i) {
                    m_record.WideFileName[i] =
                        static_cast<char16_t>(name.text[i * 2] | (name.text[i * 2 + 1] << 8));
                }
            } else {
                length = std::min<size_t>(fallback.size(), VANTREL_MAX_NAME - 1);
                std::memcpy(m_record.WideFileName, fallback.data(), length * sizeof(char16_t));
            }
            m_record.WideFileName[length] = u'\0';
            if (deleted && !directory) {
                m_record.Flags |= rateData(file);
            }
            filled = true;
            if (deleted) {
                m_deletedChildren.push_back({parent, static_cast<uint64_t>(recordNumber)});
            }
        } else if ((meta->flags & TSK_FS_META_FLAG_UNALLOC) &&
                   recordNumber >= static_cast<int64_t>(kFirstUserRecord)) {
            // A deleted record that lost its name: an index entry may still hold it.
            TNameless nameless;
            std::memset(&nameless.info, 0, offsetof(TFileInfo, WideFileName));
            const bool directory = meta->type == TSK_FS_META_TYPE_DIR;
            nameless.info.TrueId = recordNumber;
            nameless.info.Flags = flag_IS_DELETED | (directory ? flag_IS_DIRECTORY : 0);
            nameless.info.Size = directory ? 0 : std::max<int64_t>(0, meta->size);
            nameless.info.DateCreated = TFileTimeCodec::fromUtc(meta->crtime, meta->crtime_nano);
            nameless.info.DateAccessed = TFileTimeCodec::fromUtc(meta->atime, meta->atime_nano);
            nameless.info.DateModified = TFileTimeCodec::fromUtc(meta->mtime, meta->mtime_nano);
            nameless.info.Attributes = recordNumber;
            nameless.info.Reserve = meta->seq;
            nameless.sequence = static_cast<uint16_t>(meta->seq);
            if (!directory) {
                nameless.info.Flags |= rateData(file);
            }
            m_nameless.push_back(nameless);
        }
        if (meta->type == TSK_FS_META_TYPE_DIR) {
            // A deleted folder's index is read after the walk, if at all.
            TIndexParts parts;
            if (!(meta->flags & TSK_FS_META_FLAG_UNALLOC)) {
                indexPartsOf(file, parts);
            }
            noteFolderIndex(parts, recordNumber, static_cast<uint16_t>(meta->seq),
                            (meta->flags & TSK_FS_META_FLAG_UNALLOC) != 0);
        }
    }
    m_file = file;
    tsk_error_reset();
    return filled;
}

void TNtfsEnumerator::loadAllocation()
{
    m_allocationRead = true;
    TSK_FS_INFO* fs = m_volume->fs();
    TSK_FS_FILE* bitmap = tsk_fs_file_open_meta(fs, nullptr, kBitmapRecord);
    if (bitmap == nullptr) {
        tsk_error_reset();
        return;
    }
    // The map covers what the $Bitmap describes, whatever the boot sector claims, and only
    // a bitmap the image can hold is read: a damaged sector count would otherwise size it
    // at petabytes.
    const uint64_t bitmapBytes =
        bitmap->meta != nullptr ? static_cast<uint64_t>(std::max<TSK_OFF_T>(bitmap->meta->size, 0)) : 0;
    const uint64_t clusters = std::min<uint64_t>(fs->block_count, bitmapBytes * 8);
    const uint64_t bytes = (clusters + 7) / 8;
    if (bytes > static_cast<uint64_t>(std::max<TSK_OFF_T>(m_volume->image()->size, 0))) {
        tsk_fs_file_close(bitmap);
        return;
    }
    m_allocation.reset(0, clusters);
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(kBitmapChunk, bytes)));
    for (uint64_t offset = 0; offset < bytes; offset += chunk.size()) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), bytes - offset));
        if (tsk_fs_file_read(bitmap, static_cast<TSK_OFF_T>(offset), reinterpret_cast<char*>(chunk.data()),
                             want, TSK_FS_FILE_READ_FLAG_NONE) != static_cast<ssize_t>(want)) {
            // A map with holes would call clusters free that are not: none at all is better.
            m_allocation.reset(0, 0);
            tsk_error_reset();
            break;
        }
        m_allocation.setBitmap(offset * 8, std::span<const uint8_t>(chunk.data(), want));
    }
    tsk_fs_file_close(bitmap);
}

void TNtfsEnumerator::countRun(uint64_t address, uint64_t length, bool lost, uint64_t& total, uint64_t& used)
{
    if (length == 0) {
        return;
    }
    const uint64_t clusters = std::min<uint64_t>(length, m_allocation.count());
    total += clusters;
    used += lost ? clusters : m_allocation.countUsed(address, clusters);
}

void TNtfsEnumerator::countUndescribed(uint64_t size, uint64_t described, uint64_t& total, uint64_t& used)
{
    // The part of the size no run describes: its runs were kept in an extension record that
    // is gone. Those clusters are lost, as good as overwritten.
    const uint64_t clusterSize = m_volume->fs()->block_size;
    const uint64_t needed = clusterSize > 0 ? size / clusterSize + (size % clusterSize != 0 ? 1 : 0) : 0;
    if (needed > described) {
        const uint64_t lost = std::min<uint64_t>(needed - described, m_allocation.count());
        total += lost;
        used += lost;
    }
}

int64_t TNtfsEnumerator::rateStream(const TRatedRun* runs, size_t count, uint64_t size)
{
    if (!m_allocationRead) {
        holdLibrary();
        loadAllocation();
    }
    if (m_allocation.empty()) {
        return 0;
    }
    uint64_t total = 0;
    uint64_t used = 0;
    uint64_t described = 0;
    for (size_t i = 0; i < count; ++i) {
        described += runs[i].length;
        // Sparse parts have no clusters. A lost run stood in a record that could not be
        // read: as good as overwritten.
        if (!runs[i].sparse) {
            countRun(runs[i].address, runs[i].length, runs[i].lost, total, used);
        }
    }
    countUndescribed(size, described, total, used);
    return TRecoveryRating::knownClusters(used, total);
}

int64_t TNtfsEnumerator::rateRuns(const TMftRecord& record)
{
    if (!record.hasData) {
        return flag_RATING_NO_DATA;
    }
    if (record.dataResident) {
        return flag_RATING_DATA_IN_RECORD;
    }
    // Kept from record to record: a fresh array of the most runs a record holds would be
    // cleared on every call.
    m_ratedRuns.clear();
    for (size_t i = 0; i < record.runCount; ++i) {
        m_ratedRuns.push_back({record.runs[i].address, record.runs[i].length, record.runs[i].sparse, false});
    }
    return rateStream(m_ratedRuns.data(), m_ratedRuns.size(), record.dataSize);
}

bool TNtfsEnumerator::joinExtensions(int64_t recordNumber, TMftRecord& record)
{
    const uint8_t* listBytes = record.attributeList;
    if (listBytes == nullptr) {
        // Kept in clusters of its own, each of them in use by the file while it is.
        holdLibrary();
        const uint64_t clusterSize = m_volume->fs()->block_size;
        m_listBytes.resize(record.attributeListLength);
        size_t done = 0;
        for (size_t i = 0; i < record.listRunCount && done < m_listBytes.size(); ++i) {
            const TMftRecord::TRun& run = record.listRuns[i];
            const size_t part =
                static_cast<size_t>(std::min<uint64_t>(m_listBytes.size() - done, run.length * clusterSize));
            if (run.sparse || tsk_fs_read(m_volume->fs(), static_cast<TSK_OFF_T>(run.address * clusterSize),
                                          reinterpret_cast<char*>(m_listBytes.data() + done),
                                          part) != static_cast<ssize_t>(part)) {
                tsk_error_reset();
                return false;
            }
            done += part;
        }
        if (done != m_listBytes.size()) {
            return false;
        }
        listBytes = m_listBytes.data();
    }
    TMftAttributeList list;
    if (m_mft == nullptr ||
        !list.read(listBytes, record.attributeListLength, static_cast<uint64_t>(recordNumber))) {
        return false;
    }
    // The unnamed stream's parts: the clusters each claims and the clusters its runs hold.
    struct TPart
    {
        uint64_t firstVcn = 0;
        uint64_t lastVcn = 0;
        uint64_t clusters = 0;
    };
    std::vector<TPart> parts;
    const auto keepPart = [&parts](const TMftRecord& holder) {
        uint64_t clusters = 0;
        for (size_t r = 0; r < holder.runCount; ++r) {
            clusters += holder.runs[r].length;
        }
        parts.push_back({holder.dataFirstVcn, holder.dataLastVcn, clusters});
    };
    const bool resident = record.hasData && record.dataResident;
    if (record.hasData && !resident) {
        keepPart(record);
    }
    const uint16_t sequence = record.sequence;
    const bool baseNamed = record.name != nullptr && !record.nameDos;
    int extensionNames = 0;
    m_extensionBytes.resize(static_cast<size_t>(m_recordSize));
    for (size_t i = 0; i < list.count(); ++i) {
        const TMftAttributeList::TReference& reference = list[i];
        if (reference.record >= static_cast<uint64_t>(m_records)) {
            return false;
        }
        holdLibrary();
        const ssize_t got = tsk_fs_file_read(m_mft, static_cast<TSK_OFF_T>(reference.record) * m_recordSize,
                                             reinterpret_cast<char*>(m_extensionBytes.data()),
                                             m_extensionBytes.size(), TSK_FS_FILE_READ_FLAG_NONE);
        if (got != static_cast<ssize_t>(m_extensionBytes.size())) {
            tsk_error_reset();
            return false;
        }
        TMftRecord& extension = m_extension;
        // It must still be this file's: in use, naming this record with its sequence
        // number as its base, and holding just the attributes the list says it does.
        if (extension.parseExtension(m_extensionBytes.data(), m_extensionBytes.size(),
                                     m_volume->fs()->block_count) != TMftRecord::TResult::Parsed ||
            extension.base != TMftReference::Of(static_cast<uint64_t>(recordNumber), sequence) ||
            reference.sequence != extension.sequence || !extension.inUse() ||
            extension.attributeCount != reference.attributes) {
            return false;
        }
        // The Win32 or POSIX name over the DOS one. The base record's comes first; which of
        // two extension records' would be preferred is not settled, so the library decides.
        if (extension.name != nullptr && !extension.nameDos && !baseNamed) {
            if (++extensionNames > 1) {
                return false;
            }
        }
        if (extension.name != nullptr && (record.name == nullptr || (record.nameDos && !extension.nameDos))) {
            std::memcpy(m_joinedName, extension.name, size_t{extension.nameLength} * 2);
            record.name = m_joinedName;
            record.nameLength = extension.nameLength;
            record.parent = extension.parent;
            record.nameDos = extension.nameDos;
        }
        record.namedData = record.namedData || extension.namedData;
        if (extension.hasData) {
            if (extension.dataResident || resident) {
                return false;
            }
            if (extension.dataFirstVcn == 0) {
                record.dataSize = extension.dataSize;
            }
            keepPart(extension);
        }
    }
    if (record.name == nullptr || (record.namedData && parts.empty() && !resident)) {
        return false;
    }
    // The stream's parts in order, each beginning where the one before ends and holding
    // as many clusters as it claims. Only a deleted file's runs are rated, and a deleted
    // file is not joined here: the runs themselves are not kept.
    std::sort(parts.begin(), parts.end(),
              [](const TPart& a, const TPart& b) { return a.firstVcn < b.firstVcn; });
    uint64_t nextVcn = 0;
    for (const TPart& part : parts) {
        if (part.firstVcn != nextVcn || part.clusters != part.lastVcn - part.firstVcn + 1) {
            return false;
        }
        nextVcn = part.lastVcn + 1;
    }
    record.hasData = resident || !parts.empty();
    return true;
}

int64_t TNtfsEnumerator::rateData(TSK_FS_FILE* file)
{
    // The attribute a recovery copies.
    const TSK_FS_ATTR* data = tsk_fs_file_attr_get(file);
    if (data == nullptr) {
        tsk_error_reset();
        return flag_RATING_NO_DATA;
    }
    if (data->flags & TSK_FS_ATTR_RES) {
        return flag_RATING_DATA_IN_RECORD;
    }
    if (!(data->flags & TSK_FS_ATTR_NONRES)) {
        return 0;
    }
    std::vector<TRatedRun> runs;
    for (const TSK_FS_ATTR_RUN* run = data->nrd.run; run != nullptr && runs.size() < kLargestRunCount;
         run = run->next) {
        runs.push_back({run->addr, run->len, (run->flags & TSK_FS_ATTR_RUN_FLAG_SPARSE) != 0,
                        (run->flags & TSK_FS_ATTR_RUN_FLAG_FILLER) != 0});
    }
    return rateStream(runs.data(), runs.size(), static_cast<uint64_t>(std::max<TSK_OFF_T>(0, data->size)));
}

void TNtfsEnumerator::indexPartsOf(TSK_FS_FILE* file, TIndexParts& parts)
{
    const TSK_FS_ATTR* root = nullptr;
    const TSK_FS_ATTR* allocation = nullptr;
    const TSK_FS_ATTR* bitmap = nullptr;
    const int attributes = tsk_fs_file_attr_getsize(file);
    for (int i = 0; i < attributes; ++i) {
        const TSK_FS_ATTR* attr = tsk_fs_file_attr_get_idx(file, i);
        if (attr == nullptr || !isI30(attr)) {
            continue;
        }
        const uint32_t type = attrType(attr);
        if (type == TSK_FS_ATTR_TYPE_NTFS_IDXROOT) {
            root = attr;
        } else if (type == TSK_FS_ATTR_TYPE_NTFS_IDXALLOC) {
            allocation = attr;
        } else if (type == TSK_FS_ATTR_TYPE_NTFS_BITMAP) {
            bitmap = attr;
        }
    }
    if (root != nullptr && (root->flags & TSK_FS_ATTR_RES) && root->rd.buf != nullptr) {
        parts.root = root->rd.buf;
        parts.rootLength =
            std::min<size_t>(root->rd.buf_size, static_cast<size_t>(std::max<int64_t>(0, root->size)));
    }
    if (allocation != nullptr && (allocation->flags & TSK_FS_ATTR_NONRES)) {
        parts.allocation = true;
        parts.allocationSize = static_cast<uint64_t>(std::max<int64_t>(0, allocation->size));
        size_t runs = 0;
        for (const TSK_FS_ATTR_RUN* run = allocation->nrd.run; run != nullptr && runs < kLargestRunCount;
             run = run->next, ++runs) {
            parts.runs.push_back(
                {run->offset, run->addr, run->len,
                 (run->flags & (TSK_FS_ATTR_RUN_FLAG_FILLER | TSK_FS_ATTR_RUN_FLAG_SPARSE)) != 0});
        }
    }
    if (bitmap != nullptr) {
        parts.bitmap = true;
        // Its content, when it is no larger than a bitmap can sensibly be.
        if (bitmap->size > 0 && static_cast<uint64_t>(bitmap->size) <= kLargestBitmap) {
            parts.bits.resize(static_cast<size_t>(bitmap->size));
            const ssize_t got = tsk_fs_attr_read(bitmap, 0, reinterpret_cast<char*>(parts.bits.data()),
                                                 parts.bits.size(), TSK_FS_FILE_READ_FLAG_NONE);
            if (got <= 0) {
                tsk_error_reset();
                parts.bits.clear();
            } else {
                parts.bits.resize(static_cast<size_t>(got));
            }
        }
    }
}

void TNtfsEnumerator::indexPartsOf(const TMftRecord& record, TIndexParts& parts)
{
    parts.root = record.indexRoot;
    parts.rootLength = record.indexRootLength;
    if (record.hasIndexAllocation) {
        parts.allocation = true;
        parts.allocationSize = std::max<int64_t>(0, static_cast<int64_t>(record.indexAllocationSize));
        uint64_t offset = 0;
        for (size_t i = 0; i < record.indexRunCount; ++i) {
            const TMftRecord::TRun& run = record.indexRuns[i];
            parts.runs.push_back({offset, run.address, run.length, run.sparse});
            offset += run.length;
        }
    }
    if (record.indexBitmap != nullptr) {
        parts.bitmap = true;
        if (record.indexBitmapLength > 0 && record.indexBitmapLength <= kLargestBitmap) {
            parts.bits.assign(record.indexBitmap, record.indexBitmap + record.indexBitmapLength);
        }
    }
}

bool TNtfsEnumerator::readAllocation(const TIndexParts& parts)
{
    if (!parts.allocation || parts.allocationSize == 0 || parts.allocationSize > kLargestIndex) {
        return false;
    }
    // One large read per run instead of one per block. Parts no run maps stay zero.
    TSK_FS_INFO* fs = m_volume->fs();
    const uint64_t blockSize = fs->block_size;
    const uint64_t volumeEnd = static_cast<uint64_t>(fs->last_block_act + 1) * blockSize;
    const uint64_t size = parts.allocationSize;
    m_indexBuffer.assign(static_cast<size_t>(size), 0);
    for (const TIndexRun& run : parts.runs) {
        if (run.unmapped || run.length == 0 || run.offset > size / blockSize ||
            run.length > size / blockSize + 1) {
            continue;
        }
        const uint64_t start = run.offset * blockSize;
        if (start >= size) {
            continue;
        }
        const uint64_t length = std::min<uint64_t>(run.length * blockSize, size - start);
        const uint64_t source = run.address * blockSize;
        if (run.address > volumeEnd / blockSize || source + length > volumeEnd) {
            continue;
        }
        if (tsk_fs_read(fs, static_cast<TSK_OFF_T>(source),
                        reinterpret_cast<char*>(m_indexBuffer.data() + start),
                        static_cast<size_t>(length)) != static_cast<ssize_t>(length)) {
            tsk_error_reset();
            std::memset(m_indexBuffer.data() + start, 0, static_cast<size_t>(length));
        }
    }
    return true;
}

void TNtfsEnumerator::readFolderIndex(const TIndexParts& parts, const TNtfsIndex::TFolder& folder,
                                      bool wholeIndex, std::vector<TNtfsIndex::TEntry>& out)
{
    if (parts.root == nullptr) {
        return;
    }
    uint32_t blockSize = 0;
    TNtfsIndex::parseRoot(parts.root, parts.rootLength, folder, out, blockSize);
    if (!parts.allocation || blockSize == 0 || parts.allocationSize == 0 ||
        parts.allocationSize > kLargestIndex) {
        return;
    }
    if (!wholeIndex) {
        if (!parts.bits.empty()) {
            readUnusedBlocks(parts, blockSize, folder, out);
        }
        return;
    }
    if (!readAllocation(parts)) {
        return;
    }
    // Bits past the bitmap's end count as unused; a missing bitmap as all in use.
    const std::vector<uint8_t>& bits = parts.bits;
    const uint8_t* bitData = bits.empty() ? (parts.bitmap ? &kUnusedBits : nullptr) : bits.data();
    TNtfsIndex::parseAllocation(m_indexBuffer.data(), m_indexBuffer.size(), blockSize, bitData,
                                bits.empty() ? (parts.bitmap ? 1 : 0) : bits.size(), folder, out);
}

void TNtfsEnumerator::readUnusedBlocks(const TIndexParts& parts, uint32_t blockSize,
                                       const TNtfsIndex::TFolder& folder,
                                       std::vector<TNtfsIndex::TEntry>& out)
{
    TSK_FS_INFO* fs = m_volume->fs();
    const uint64_t clusterSize = fs->block_size;
    const uint64_t volumeEnd = static_cast<uint64_t>(fs->last_block_act + 1) * clusterSize;
    const uint64_t blocks = parts.allocationSize / blockSize;
    const std::vector<uint8_t>& bits = parts.bits;
    m_indexBuffer.resize(blockSize);
    // Blocks and runs both go up in offset: one pass over the runs serves every block.
    size_t run = 0;
    for (uint64_t block = 0; block < blocks; ++block) {
        if (block / 8 < bits.size() && ((bits[block / 8] >> (block % 8)) & 1)) {
            continue;
        }
        const uint64_t start = block * blockSize;
        while (run < parts.runs.size() &&
               (parts.runs[run].offset + parts.runs[run].length) * clusterSize <= start) {
            ++run;
        }
        if (run >= parts.runs.size()) {
            return;
        }
        // A block split over two runs, or in a run with no place on disk, is passed over.
        const TIndexRun& current = parts.runs[run];
        const uint64_t runStart = current.offset * clusterSize;
        if (start < runStart || start + blockSize > (current.offset + current.length) * clusterSize ||
            current.unmapped) {
            continue;
        }
        const uint64_t source = current.address * clusterSize + (start - runStart);
        if (current.address > volumeEnd / clusterSize || source + blockSize > volumeEnd) {
            continue;
        }
        if (tsk_fs_read(fs, static_cast<TSK_OFF_T>(source), reinterpret_cast<char*>(m_indexBuffer.data()),
                        blockSize) != static_cast<ssize_t>(blockSize)) {
            tsk_error_reset();
            continue;
        }
        TNtfsIndex::parseAllocation(m_indexBuffer.data(), blockSize, blockSize, &kUnusedBits, 1, folder, out);
    }
}

void TNtfsEnumerator::noteFolderIndex(const TIndexParts& parts, int64_t recordNumber, uint16_t sequence,
                                      bool deleted)
{
    TNtfsIndex::TFolder folder;
    folder.record = static_cast<uint64_t>(recordNumber);
    folder.sequence = sequence;
    folder.deleted = deleted;
    if (deleted) {
        // Read after the walk, when it is known whether that is needed.
        m_deletedFolders.push_back(folder.record);
        return;
    }
    m_liveFolders.push_back(folder.record);
    // Of a live folder a quick scan reads the root and the blocks the index bitmap marks
    // unused, a full scan every block's slack as well.
    std::vector<TNtfsIndex::TEntry> entries;
    readFolderIndex(parts, folder, m_fullScan, entries);
    for (TNtfsIndex::TEntry& entry : entries) {
        if (entry.stale) {
            m_stale.push_back(std::move(entry));
        }
    }
}

bool TNtfsEnumerator::recordsWereReused() const
{
    // A driver raises a record's sequence number when it frees the record and keeps it
    // when it reuses it: a record in use past its first number, or a free one past its
    // second, held another entry before.
    for (size_t record = kFirstUserRecord; record < m_headers.size(); ++record) {
        const uint32_t header = m_headers[record];
        const uint16_t sequence = static_cast<uint16_t>(header & 0xFFFF);
        if ((header & kHeaderKnown) && sequence > (((header >> 16) & kRecordInUse) ? 1 : 2)) {
            return true;
        }
    }
    return false;
}

bool TNtfsEnumerator::readWholeIndex(uint64_t record, bool deleted, std::vector<TNtfsIndex::TEntry>& entries)
{
    TSK_FS_FILE* file = tsk_fs_file_open_meta(m_volume->fs(), m_file, static_cast<TSK_INUM_T>(record));
    if (file == nullptr || file->meta == nullptr) {
        tsk_error_reset();
        return false;
    }
    m_file = file;
    TNtfsIndex::TFolder folder;
    folder.record = record;
    folder.sequence = static_cast<uint16_t>(file->meta->seq);
    folder.deleted = deleted;
    TIndexParts parts;
    indexPartsOf(file, parts);
    readFolderIndex(parts, folder, true, entries);
    return true;
}

void TNtfsEnumerator::readDeletedFolders()
{
    for (const uint64_t record : m_deletedFolders) {
        // Everything a deleted folder's index still lists was removed with it.
        std::vector<TNtfsIndex::TEntry> entries;
        if (!readWholeIndex(record, true, entries)) {
            continue;
        }
        for (TNtfsIndex::TEntry& entry : entries) {
            entry.stale = true;
            m_stale.push_back(std::move(entry));
        }
    }
}

namespace {

bool refersTo(const TNtfsIndex::TEntry& entry, int64_t record, uint16_t sequence)
{
    return entry.record == static_cast<uint64_t>(record) &&
           (entry.sequence == sequence || raisedSequence(entry.sequence) == sequence);
}

} // namespace

void TNtfsEnumerator::finishWalk()
{
    m_walked = true;
    // The second after the newest second any record holds.
    const TFileTime newest = m_newestSeconds > 0 ? TFileTimeCodec::fromUtc(m_newestSeconds + 1, 0) : 0;
    // A deleted folder's index names entries that are not listed from their own record
    // only when records were reused (or one lost its name): without either, every entry
    // it holds is a deleted record listed already, and it is not read.
    if (m_fullScan || !m_nameless.empty() || recordsWereReused()) {
        readDeletedFolders();
    }
    // A deleted record without a name that no stale entry refers to may be named by an
    // entry a live folder still holds, or by one in a live folder's slack: then every live
    // folder's index is read whole, once.
    std::vector<TNtfsIndex::TEntry> references;
    const bool unnamed = std::any_of(m_nameless.begin(), m_nameless.end(), [&](const TNameless& nameless) {
        return std::none_of(m_stale.begin(), m_stale.end(), [&](const TNtfsIndex::TEntry& entry) {
            return refersTo(entry, nameless.info.TrueId, nameless.sequence);
        });
    });
    if (unnamed) {
        readLiveFolders(references);
    }
    std::vector<TNtfsIndex::TEntry> candidates;
    candidates.reserve(m_stale.size());
    for (TNtfsIndex::TEntry& entry : m_stale) {
        // An entry without file reference is known by its name alone: a DOS name of it
        // would only repeat the long one.
        const bool usable = entry.record == 0 ? !entry.isDosOnly() : entry.record >= kFirstUserRecord;
        if (usable && entry.record != entry.parent && TNtfsIndex::timesPlausible(entry, newest)) {
            candidates.push_back(std::move(entry));
        }
    }
    m_stale = {};
    // One entry per file and folder: the Win32 or POSIX name over the DOS one, then the
    // copy written last. Entries without file reference are told apart by name later.
    std::sort(candidates.begin(), candidates.end(),
              [](const TNtfsIndex::TEntry& a, const TNtfsIndex::TEntry& b) {
                  if (a.parent != b.parent) {
                      return a.parent < b.parent;
                  }
                  if (a.record != b.record) {
                      return a.record < b.record;
                  }
                  if (a.sequence != b.sequence) {
                      return a.sequence < b.sequence;
                  }
                  if (a.isDosOnly() != b.isDosOnly()) {
                      return !a.isDosOnly();
                  }
                  return a.changed > b.changed;
              });
    candidates.erase(std::unique(candidates.begin(), candidates.end(),
                                 [](const TNtfsIndex::TEntry& a, const TNtfsIndex::TEntry& b) {
                                     return a.record != 0 && a.parent == b.parent && a.record == b.record &&
                                            a.sequence == b.sequence;
                                 }),
                     candidates.end());
    resolveNameless(candidates, references);
    listIndexOnly(candidates);
    m_count = std::min<int64_t>(m_records + static_cast<int64_t>(m_extras.size()),
                                std::numeric_limits<int32_t>::max());
    m_extras.resize(static_cast<size_t>(m_count - m_records));
    m_knownNames = {};
    m_deletedChildren = {};
    m_liveFolders = {};
    m_deletedFolders = {};
    m_nameless = {};
}

void TNtfsEnumerator::readLiveFolders(std::vector<TNtfsIndex::TEntry>& references)
{
    for (const uint64_t record : m_liveFolders) {
        std::vector<TNtfsIndex::TEntry> entries;
        if (!readWholeIndex(record, false, entries)) {
            continue;
        }
        for (TNtfsIndex::TEntry& entry : entries) {
            if (entry.stale) {
                // A full scan read these during the walk already.
                if (!m_fullScan) {
                    m_stale.push_back(std::move(entry));
                }
                continue;
            }
            const auto found =
                std::lower_bound(m_nameless.begin(), m_nameless.end(), static_cast<int64_t>(entry.record),
                                 [](const TNameless& n, int64_t id) { return n.info.TrueId < id; });
            if (found != m_nameless.end() && refersTo(entry, found->info.TrueId, found->sequence)) {
                references.push_back(std::move(entry));
            }
        }
    }
}

void TNtfsEnumerator::resolveNameless(const std::vector<TNtfsIndex::TEntry>& candidates,
                                      const std::vector<TNtfsIndex::TEntry>& references)
{
    // The best entry for each nameless record: the Win32 or POSIX name over the DOS one.
    std::vector<const TNtfsIndex::TEntry*> best(m_nameless.size(), nullptr);
    const auto consider = [&](const TNtfsIndex::TEntry& entry) {
        const auto found =
            std::lower_bound(m_nameless.begin(), m_nameless.end(), static_cast<int64_t>(entry.record),
                             [](const TNameless& n, int64_t record) { return n.info.TrueId < record; });
        if (found == m_nameless.end() || !refersTo(entry, found->info.TrueId, found->sequence)) {
            return;
        }
        const TNtfsIndex::TEntry*& slot = best[static_cast<size_t>(found - m_nameless.begin())];
        if (slot == nullptr || (slot->isDosOnly() && !entry.isDosOnly())) {
            slot = &entry;
        }
    };
    for (const TNtfsIndex::TEntry& entry : candidates) {
        consider(entry);
    }
    for (const TNtfsIndex::TEntry& entry : references) {
        consider(entry);
    }
    nameByTimeAndSize(candidates, best);
    for (size_t i = 0; i < best.size(); ++i) {
        if (best[i] == nullptr) {
            continue;
        }
        TExtra extra;
        extra.info = m_nameless[i].info;
        extra.info.TrueParentId = static_cast<int64_t>(best[i]->parent);
        extra.name = best[i]->name;
        m_knownNames.push_back(nameKey(best[i]->parent, extra.name));
        m_extras.push_back(std::move(extra));
    }
}

void TNtfsEnumerator::nameByTimeAndSize(const std::vector<TNtfsIndex::TEntry>& candidates,
                                        std::vector<const TNtfsIndex::TEntry*>& best) const
{
    // A stale index entry whose file reference was overwritten still holds its file's
    // creation time (to 100 ns) and size. A nameless record that nothing else names gets the
    // entry's name and folder when that pair is one of a kind among both: the nameless
    // records and the entries without a reference.
    const auto key = [](TFileTime created, uint64_t size, bool directory) {
        return (created * 0x9E3779B97F4A7C15ULL) ^ (size * 0xC2B2AE3D27D4EB4FULL) ^ (directory ? 1 : 0);
    };
    std::unordered_map<uint64_t, int> records;
    for (size_t i = 0; i < m_nameless.size(); ++i) {
        const TFileInfo& info = m_nameless[i].info;
        if (best[i] == nullptr && info.DateCreated != 0) {
            ++records[key(info.DateCreated, static_cast<uint64_t>(info.Size),
                          info.Flags & flag_IS_DIRECTORY)];
        }
    }
    if (records.empty()) {
        return;
    }
    std::unordered_map<uint64_t, std::pair<int, const TNtfsIndex::TEntry*>> entries;
    for (const TNtfsIndex::TEntry& entry : candidates) {
        if (entry.record == 0) {
            const uint64_t size = entry.isDirectory() ? 0 : entry.size;
            auto& [count, first] = entries[key(entry.created, size, entry.isDirectory())];
            // The same file's Win32 and DOS names are one entry; the Win32 one is taken.
            if (first == nullptr ||
                (first->parent == entry.parent && first->isDosOnly() && !entry.isDosOnly())) {
                count += first == nullptr ? 1 : 0;
                first = &entry;
            } else if (first->parent != entry.parent || first->name != entry.name) {
                ++count;
            }
        }
    }
    for (size_t i = 0; i < m_nameless.size(); ++i) {
        const TFileInfo& info = m_nameless[i].info;
        if (best[i] != nullptr || info.DateCreated == 0) {
            continue;
        }
        const uint64_t k =
            key(info.DateCreated, static_cast<uint64_t>(info.Size), info.Flags & flag_IS_DIRECTORY);
        const auto found = entries.find(k);
        if (found != entries.end() && found->second.first == 1 && records[k] == 1 &&
            found->second.second->created == info.DateCreated) {
            best[i] = found->second.second;
        }
    }
}

void TNtfsEnumerator::listIndexOnly(const std::vector<TNtfsIndex::TEntry>& candidates)
{
    // Entries whose record still holds them are listed from the record (or were named
    // above): same record and sequence number, the number raised if the record is free.
    std::vector<const TNtfsIndex::TEntry*> kept;
    for (const TNtfsIndex::TEntry& entry : candidates) {
        if (entry.record != 0 && entry.record < static_cast<uint64_t>(m_records) && !m_headers.empty()) {
            const uint32_t header = m_headers[static_cast<size_t>(entry.record)];
            const uint16_t current = static_cast<uint16_t>(header & 0xFFFF);
            const bool inUse = (header >> 16) & kRecordInUse;
            if ((header & kHeaderKnown) &&
                (inUse ? current == entry.sequence
                       : current == entry.sequence || current == raisedSequence(entry.sequence))) {
                continue;
            }
        }
        kept.push_back(&entry);
    }
    // A name its folder still lists, or a deleted record listed in the same folder under
    // the same name, is not listed again. Those names are read now, for the folders
    // concerned only: live folders' indexes and the deleted records in them.
    std::vector<uint64_t> parents;
    for (const TNtfsIndex::TEntry* entry : kept) {
        parents.push_back(entry->parent);
    }
    std::sort(parents.begin(), parents.end());
    parents.erase(std::unique(parents.begin(), parents.end()), parents.end());
    for (const uint64_t record : parents) {
        if (!std::binary_search(m_liveFolders.begin(), m_liveFolders.end(), record)) {
            continue;
        }
        std::vector<TNtfsIndex::TEntry> entries;
        if (!readWholeIndex(record, false, entries)) {
            continue;
        }
        for (const TNtfsIndex::TEntry& entry : entries) {
            if (!entry.stale) {
                m_knownNames.push_back(nameKey(entry.parent, entry.name));
            }
        }
    }
    for (const auto& [parent, record] : m_deletedChildren) {
        if (!parents.empty() && std::binary_search(parents.begin(), parents.end(), parent)) {
            TSK_FS_FILE* file =
                tsk_fs_file_open_meta(m_volume->fs(), m_file, static_cast<TSK_INUM_T>(record));
            if (file == nullptr) {
                tsk_error_reset();
                continue;
            }
            m_file = file;
            const TChosenName name = chooseName(file);
            if (name.found) {
                std::u16string text(name.length, u'\0');
                for (size_t i = 0; i < name.length; ++i) {
                    text[i] = static_cast<char16_t>(name.text[i * 2] | (name.text[i * 2 + 1] << 8));
                }
                m_knownNames.push_back(nameKey(parent, text));
            }
        }
    }
    std::sort(m_knownNames.begin(), m_knownNames.end());
    std::unordered_set<uint64_t> listed;
    for (const TNtfsIndex::TEntry* item : kept) {
        const TNtfsIndex::TEntry& entry = *item;
        const uint64_t key = nameKey(entry.parent, entry.name);
        if (std::binary_search(m_knownNames.begin(), m_knownNames.end(), key) || !listed.insert(key).second) {
            continue;
        }
        TExtra extra;
        std::memset(&extra.info, 0, offsetof(TFileInfo, WideFileName));
        const bool directory = entry.isDirectory();
        extra.info.TrueId = m_records + static_cast<int64_t>(m_extras.size());
        extra.info.TrueParentId = static_cast<int64_t>(entry.parent);
        extra.info.Flags = flag_IS_DELETED | flag_FOUND_INDEX | flag_NO_DATA |
                           (directory ? flag_IS_DIRECTORY : flag_RATING_NO_DATA);
        extra.info.Size = directory ? 0 : static_cast<int64_t>(std::min<uint64_t>(entry.size, INT64_MAX));
        extra.info.DateCreated = entry.created;
        extra.info.DateAccessed = entry.accessed;
        extra.info.DateModified = entry.modified;
        extra.info.Attributes = -1; // no record the library could read
        extra.info.Reserve = entry.sequence;
        extra.name = entry.name;
        m_extras.push_back(std::move(extra));
    }
}
