#include "engine/TNtfsEnumerator.h"

#include "engine/TFileTimeCodec.h"
#include "engine/TTextCodec.h"
#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <cstring>
#include <limits>

namespace {

// Layout of a $FILE_NAME attribute's content.
constexpr size_t kFileNameParent = 0x00;
constexpr size_t kFileNameLength = 0x40;
constexpr size_t kFileNameSpace = 0x41;
constexpr size_t kFileNameText = 0x42;
constexpr uint8_t kNamespaceDos = 2;
constexpr uint64_t kRecordNumberMask = 0x0000FFFFFFFFFFFFULL;
constexpr int kSequenceShift = 48;

// Record header: "FILE" signature at 0, sequence number at 0x10, flags at 0x16, base
// record reference at 0x20.
constexpr size_t kHeaderSize = 0x28;
constexpr size_t kHeaderSequence = 0x10;
constexpr size_t kHeaderFlags = 0x16;
constexpr size_t kHeaderBase = 0x20;
constexpr uint16_t kRecordInUse = 0x01;
constexpr uint16_t kRecordIsDirectory = 0x02;
constexpr uint32_t kHeaderKnown = 0x80000000U;

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
        if (attr == nullptr || attr->type != TSK_FS_ATTR_TYPE_NTFS_FNAME ||
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

TNtfsEnumerator::TNtfsEnumerator(std::shared_ptr<TTskVolume> volume) : TEntryEnumerator(std::move(volume))
{
    // The library adds one virtual folder after the last MFT record.
    const TSK_FS_INFO* fs = m_volume->fs();
    const uint64_t records = fs->last_inum;
    m_count = static_cast<int64_t>(std::min<uint64_t>(records, std::numeric_limits<int32_t>::max()));

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
    return id >= 0 && id < m_count ? id : -1;
}

const TFileInfo* TNtfsEnumerator::next()
{
    if (m_next >= m_count) {
        ++m_next;
        return nullptr;
    }
    const int64_t recordNumber = m_next++;
    return fillRecord(recordNumber) ? &m_record : nullptr;
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
    if (std::memcmp(header, "FILE", 4) != 0) {
        return false;
    }
    uint16_t sequence = 0;
    uint16_t flags = 0;
    uint64_t base = 0;
    std::memcpy(&sequence, header + kHeaderSequence, sizeof sequence);
    std::memcpy(&flags, header + kHeaderFlags, sizeof flags);
    std::memcpy(&base, header + kHeaderBase, sizeof base);
    if (recordNumber >= 0 && recordNumber < m_count) {
        if (m_headers.empty()) {
            m_headers.resize(static_cast<size_t>(m_count));
        }
        m_headers[static_cast<size_t>(recordNumber)] =
            kHeaderKnown | (static_cast<uint32_t>(flags & (kRecordInUse | kRecordIsDirectory)) << 16) |
            sequence;
    }
    extension = (base & kRecordNumberMask) != 0;
    return true;
}

bool TNtfsEnumerator::parentStillHolds(uint64_t parent, uint16_t sequence)
{
    // Without a sequence number, or without a readable header, nothing can be told.
    if (sequence == 0 || m_mft == nullptr || parent >= static_cast<uint64_t>(m_count)) {
        return true;
    }
    const size_t index = static_cast<size_t>(parent);
    if (m_headers.empty() || !(m_headers[index] & kHeaderKnown)) {
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
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
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
        const TChosenName name = chooseName(file);
        std::u16string fallback;
        uint64_t parent = name.parent & kRecordNumberMask;
        uint16_t parentSequence = static_cast<uint16_t>(name.parent >> kSequenceShift);
        bool haveName = name.found;
        if (!haveName && meta->name2 != nullptr) {
            // Attributes could not be parsed; the library's own name list still helps.
            fallback = TTextCodec::utf8ToUtf16(meta->name2->name);
            parent = meta->name2->par_inode & kRecordNumberMask;
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
            filled = true;
        }
    }
    m_file = file;
    tsk_error_reset();
    return filled;
}
