#include "engine/TTreeEnumerator.h"

#include "engine/format/TExfatChainRebuild.h"
#include "engine/format/TFatChainRebuild.h"
#include "engine/format/TFatDirectory.h"
#include "engine/format/TLittleEndian.h"
#include "engine/format/TRecoveryRating.h"
#include "engine/TExfatVolume.h"
#include "engine/TFileTimeCodec.h"
#include "engine/TTextCodec.h"
#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

namespace {

// Entries the library lists in an exFAT root folder for the file system's own
// structures; they are not files.
constexpr std::string_view kExfatMetadataNames[] = {
    "$ALLOC_BITMAP", "$UPCASE_TABLE",         "$VOLUME_GUID",
    "$TEX_FAT",      "$ACCESS_CONTROL_TABLE", "$EMPTY_VOLUME_LABEL",
};
constexpr std::string_view kLabelSuffix = " (Volume Label Entry)";

// Upper bound on the free clusters read to rebuild deleted folders.
constexpr size_t kMaxRebuildClusters = size_t{1} << 20;
// The largest folder exFAT allows.
constexpr uint64_t kMaxExfatFolderBytes = uint64_t{256} << 20;
// How much of an allocation table or bitmap is read at a time.
constexpr size_t kAllocationChunk = size_t{1} << 20;
// exFAT: the root folder's entry of the allocation bitmap, and its flag for the second
// bitmap (kept only on volumes with two FATs).
constexpr uint8_t kExfatBitmapEntry = 0x81;
constexpr uint8_t kExfatSecondBitmap = 0x01;

bool isFat(const TSK_FS_INFO* fs)
{
    return fs->ftype == TSK_FS_TYPE_FAT12 || fs->ftype == TSK_FS_TYPE_FAT16 || fs->ftype == TSK_FS_TYPE_FAT32;
}

// First cluster of a folder's content; two folder entries that share it are one folder.
uint64_t firstDataBlock(TSK_FS_FILE* file)
{
    const TSK_FS_ATTR* attr = tsk_fs_file_attr_get(file);
    if (attr != nullptr && (attr->flags & TSK_FS_ATTR_NONRES) && attr->nrd.run != nullptr) {
        return attr->nrd.run->addr;
    }
    return 0;
}

} // namespace

TTreeEnumerator::TTreeEnumerator(std::shared_ptr<TTskVolume> volume) : TEntryEnumerator(std::move(volume))
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    if (m_volume->fs()->ftype == TSK_FS_TYPE_EXFAT) {
        m_exfat = std::make_unique<TExfatVolume>(m_volume->fs());
        if (!m_exfat->valid()) {
            m_exfat.reset();
        }
    }
    addRoot();
    if (m_volume->isFatFamily()) {
        readFatGeometry();
    }
    tsk_error_reset();
}

TTreeEnumerator::~TTreeEnumerator()
{
    if (m_orphanDir != nullptr) {
        std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
        tsk_fs_dir_close(m_orphanDir);
    }
}

int64_t TTreeEnumerator::count() const
{
    const size_t listed = m_items.size();
    if (walkDone()) {
        return static_cast<int64_t>(listed);
    }
    const size_t pending = m_live.size() + m_deleted.size();
    // Before the first folder is walked nothing is known of folder sizes: one entry
    // per pending folder is all that is sure.
    const size_t perFolder =
        m_foldersWalked > 0 ? (m_entriesListed + m_foldersWalked - 1) / m_foldersWalked : 1;
    const size_t guess = listed + pending * std::max<size_t>(perFolder, 1);
    return static_cast<int64_t>(std::min(guess, kMaxEntries));
}

int64_t TTreeEnumerator::addressOf(int64_t id) const
{
    if (id < 0 || static_cast<size_t>(id) >= m_items.size()) {
        return -1;
    }
    return static_cast<int64_t>(m_items[static_cast<size_t>(id)].address);
}

const TFileInfo* TTreeEnumerator::next()
{
    // One entry is kept listed ahead of the caller, so that the count it reads after a
    // record already knows the folder that record opens.
    if (m_next + 1 >= m_items.size() && !walkDone()) {
        walkMore();
    }
    if (m_next >= m_items.size()) {
        return nullptr;
    }
    const size_t id = m_next++;
    const TItem& item = m_items[id];
    std::memset(&m_record, 0, offsetof(TFileInfo, WideFileName));
    m_record.TrueId = static_cast<int64_t>(id);
    m_record.TrueParentId = item.parent;
    m_record.Flags = item.flags;
    m_record.Size = item.size;
    m_record.DateCreated = item.created;
    m_record.DateAccessed = item.accessed;
    m_record.DateModified = item.modified;
    m_record.Attributes = static_cast<int64_t>(item.address);
    if ((item.flags & flag_IS_DELETED) && !(item.flags & (flag_IS_DIRECTORY | flag_EMPTY))) {
        m_record.Flags |= rateItem(item);
    }
    const size_t length = std::min<size_t>(item.name.size(), VANTREL_MAX_NAME - 1);
    std::memcpy(m_record.WideFileName, item.name.data(), length * sizeof(char16_t));
    m_record.WideFileName[length] = u'\0';
    return &m_record;
}

TFileTime TTreeEnumerator::convertTime(time_t seconds, uint32_t nanoseconds) const
{
    return m_volume->isFatFamily() ? TFileTimeCodec::fromLocalFields(seconds, nanoseconds)
                                   : TFileTimeCodec::fromUtc(seconds, nanoseconds);
}

bool TTreeEnumerator::isHiddenEntry(const TSK_FS_FILE* file, bool inRoot) const
{
    const TSK_FS_NAME* name = file->name;
    if (name == nullptr || name->name == nullptr) {
        return true;
    }
    // A folder's own "." and ".." entries are folders. A damaged or hostile volume can
    // hold a file of that name; it is listed (the model shows it under a safe name).
    if (TSK_FS_ISDOT(name->name) &&
        (TSK_FS_IS_DIR_NAME(name->type) || name->type == TSK_FS_NAME_TYPE_UNDEF)) {
        return true;
    }
    if (name->type == TSK_FS_NAME_TYPE_VIRT || name->type == TSK_FS_NAME_TYPE_VIRT_DIR) {
        return true;
    }
    if (file->meta != nullptr &&
        (file->meta->type == TSK_FS_META_TYPE_VIRT || file->meta->type == TSK_FS_META_TYPE_VIRT_DIR)) {
        return true;
    }
    if (!inRoot || !m_volume->isFatFamily()) {
        return false;
    }
    const std::string_view text(name->name);
    if (text.size() > kLabelSuffix.size() && text.ends_with(kLabelSuffix)) {
        return true;
    }
    if (m_volume->fs()->ftype == TSK_FS_TYPE_EXFAT) {
        for (std::string_view metadata : kExfatMetadataNames) {
            if (text == metadata) {
                return true;
            }
        }
    }
    return false;
}

TTreeEnumerator::TItem TTreeEnumerator::makeItem(int64_t parent, const TSK_FS_FILE* file, bool isFolder,
                                                 bool isDeleted) const
{
    const TSK_FS_NAME* name = file->name;
    const TSK_FS_META* meta = file->meta;
    TItem item{parent,
               (isFolder ? flag_IS_DIRECTORY : 0) | (isDeleted ? flag_IS_DELETED : 0),
               0,
               0,
               0,
               0,
               name->meta_addr,
               TTextCodec::utf8ToUtf16(name->name)};
    if (meta != nullptr) {
        item.size = isFolder || TSK_FS_IS_DIR_META(meta->type) ? 0 : std::max<int64_t>(0, meta->size);
        item.created = convertTime(meta->crtime, meta->crtime_nano);
        item.accessed = convertTime(meta->atime, meta->atime_nano);
        item.modified = convertTime(meta->mtime, meta->mtime_nano);
    }
    applyExfatSet(item);
    return item;
}

void TTreeEnumerator::applyExfatSet(TItem& item) const
{
    if (!m_exfat) {
        return;
    }
    const std::optional<TExfatEntrySet> set = m_exfat->readSet(item.address);
    if (!set) {
        return;
    }
    if (!(item.flags & flag_IS_DIRECTORY)) {
        item.size = static_cast<int64_t>(std::min<uint64_t>(set->dataLength, INT64_MAX));
    }
    item.created = set->created();
    item.accessed = set->accessed();
    item.modified = set->modified();
}

bool TTreeEnumerator::isExfatFolder(uint64_t address, bool fallback) const
{
    if (m_exfat) {
        if (const std::optional<TExfatEntrySet> set = m_exfat->readSet(address)) {
            return set->isFolder;
        }
    }
    return fallback;
}

void TTreeEnumerator::addRoot()
{
    TSK_FS_INFO* fs = m_volume->fs();
    TItem root{-1, flag_IS_DIRECTORY, 0, 0, 0, 0, fs->root_inum, {}};
    if (TSK_FS_FILE* file = tsk_fs_file_open_meta(fs, nullptr, fs->root_inum)) {
        if (file->meta != nullptr) {
            root.created = convertTime(file->meta->crtime, file->meta->crtime_nano);
            root.accessed = convertTime(file->meta->atime, file->meta->atime_nano);
            root.modified = convertTime(file->meta->mtime, file->meta->mtime_nano);
        }
        tsk_fs_file_close(file);
    }
    m_items.push_back(root);
    m_live.push_back({fs->root_inum, 0, false});
}

void TTreeEnumerator::walkMore()
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    TSK_FS_INFO* fs = m_volume->fs();
    const size_t before = m_items.size();
    while (m_items.size() == before && !walkDone()) {
        if (m_live.empty() && !m_rebuildPrepared) {
            m_rebuildPrepared = true;
            prepareRebuild();
            continue;
        }
        if (m_live.empty() && m_deleted.empty()) {
            if (!m_lostFoldersListed) {
                m_lostFoldersListed = true;
                listLostFolders();
            } else {
                m_orphansListed = true;
                listOrphans();
            }
            continue;
        }
        std::vector<TPendingFolder>& queue = m_live.empty() ? m_deleted : m_live;
        const TPendingFolder folder = queue.back();
        queue.pop_back();
        if (!m_walkedAddresses.insert(folder.address).second) {
            continue;
        }
        if (folder.cluster != 0) {
            if (m_walkedClusters.insert(folder.cluster).second) {
                walkRebuiltFolder(folder);
            }
            continue;
        }
        if (TSK_FS_FILE* file = tsk_fs_file_open_meta(fs, nullptr, folder.address)) {
            const uint64_t block = firstDataBlock(file);
            tsk_fs_file_close(file);
            if (block != 0 && !m_walkedBlocks.insert(block).second) {
                continue;
            }
        }
        tsk_error_reset();
        walkFolder(folder);
    }
    tsk_error_reset();
}

void TTreeEnumerator::walkFolder(const TPendingFolder& folder)
{
    TSK_FS_INFO* fs = m_volume->fs();
    TSK_FS_DIR* dir = tsk_fs_dir_open_meta(fs, folder.address);
    ++m_foldersWalked;
    if (dir == nullptr) {
        tsk_error_reset();
        return;
    }
    const size_t listedBefore = m_items.size();
    const bool inRoot = folder.address == fs->root_inum;
    const size_t count = tsk_fs_dir_getsize(dir);
    // Sub-folders are pushed in reverse so the stack pops them in directory order.
    std::vector<TPendingFolder> liveChildren;
    std::vector<TPendingFolder> deletedChildren;
    for (size_t i = 0; i < count && m_items.size() < kMaxEntries; ++i) {
        TSK_FS_FILE* file = tsk_fs_dir_get(dir, i);
        if (file == nullptr) {
            tsk_error_reset();
            continue;
        }
        if (!isHiddenEntry(file, inRoot)) {
            const TSK_FS_NAME* name = file->name;
            const TSK_FS_META* meta = file->meta;
            // Everything inside a deleted folder is gone with it.
            const bool isDeleted = folder.deleted || (name->flags & TSK_FS_NAME_FLAG_UNALLOC);
            // The library points a dot name at the folder itself or its parent, whatever
            // the entry holds: a dot-named file is never walked as a folder.
            const bool isFolder =
                !TSK_FS_ISDOT(name->name) &&
                (meta != nullptr ? TSK_FS_IS_DIR_META(meta->type) : TSK_FS_IS_DIR_NAME(name->type));
            TItem item = makeItem(folder.id, file, isFolder, isDeleted);
            if ((name->flags & TSK_FS_NAME_FLAG_UNALLOC) && isFat(fs)) {
                checkLongName(name->meta_addr, item.name);
            }
            const int64_t id = static_cast<int64_t>(m_items.size());
            m_items.push_back(std::move(item));
            if (isFolder && meta != nullptr) {
                (isDeleted ? deletedChildren : liveChildren).push_back({name->meta_addr, id, isDeleted});
            }
        }
        tsk_fs_file_close(file);
    }
    tsk_fs_dir_close(dir);
    tsk_error_reset();
    m_entriesListed += m_items.size() - listedBefore;
    m_live.insert(m_live.end(), liveChildren.rbegin(), liveChildren.rend());
    m_deleted.insert(m_deleted.end(), deletedChildren.rbegin(), deletedChildren.rend());
}

void TTreeEnumerator::readFatGeometry()
{
    uint8_t boot[512] = {};
    if (readBytes(0, boot, sizeof boot)) {
        m_layout.read(boot, m_volume->fs()->ftype == TSK_FS_TYPE_EXFAT);
    }
}

bool TTreeEnumerator::readBytes(uint64_t offset, uint8_t* buffer, size_t length) const
{
    const ssize_t got = tsk_img_read(m_volume->image(), m_volume->offset() + static_cast<TSK_OFF_T>(offset),
                                     reinterpret_cast<char*>(buffer), length);
    if (got != static_cast<ssize_t>(length)) {
        tsk_error_reset();
        return false;
    }
    return true;
}

bool TTreeEnumerator::isFreeCluster(uint32_t cluster) const
{
    if (!m_layout.hasCluster(cluster) || m_layout.tableBits() == 0) {
        return false;
    }
    uint8_t bytes[4] = {};
    const size_t width = m_layout.tableBits() == 32 ? 4 : 2;
    if (!readBytes(m_layout.tableEntryOffset(cluster), bytes, width)) {
        return false;
    }
    uint32_t value = static_cast<uint32_t>(bytes[0] | (bytes[1] << 8));
    if (m_layout.tableBits() == 12) {
        value = (cluster & 1) ? value >> 4 : value & 0x0FFF;
    } else if (m_layout.tableBits() == 32) {
        value = (value | (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24)) &
                0x0FFFFFFF;
    }
    return value == 0;
}

void TTreeEnumerator::loadAllocation()
{
    m_allocationRead = true;
    if (m_exfat) {
        loadExfatBitmap();
        return;
    }
    const int width = m_layout.tableBits();
    if (!isFat(m_volume->fs()) || !m_layout.valid() || width == 0) {
        return;
    }
    const uint64_t end = m_layout.clusterEnd();
    m_allocation.reset(0, end);
    std::vector<uint8_t> chunk;
    if (width == 12) {
        // At most 4084 clusters: the whole table at once (two entries share three bytes).
        chunk.resize(static_cast<size_t>((end * 3 + 1) / 2));
        if (!readBytes(m_layout.tableEntryOffset(0), chunk.data(), chunk.size())) {
            m_allocation.reset(0, 0);
            return;
        }
        m_allocation.setFromFat(0, chunk, width);
        return;
    }
    const uint64_t entryBytes = static_cast<uint64_t>(width / 8);
    const uint64_t perChunk = kAllocationChunk / entryBytes;
    for (uint64_t first = 0; first < end; first += perChunk) {
        chunk.resize(static_cast<size_t>(std::min(perChunk, end - first) * entryBytes));
        if (!readBytes(m_layout.tableEntryOffset(static_cast<uint32_t>(first)), chunk.data(), chunk.size())) {
            m_allocation.reset(0, 0);
            return;
        }
        m_allocation.setFromFat(first, chunk, width);
    }
}

void TTreeEnumerator::loadExfatBitmap()
{
    // The bitmap's entry is among the first ones of the root folder's first cluster.
    const TExfatGeometry& geometry = m_exfat->geometry();
    uint8_t boot[512] = {};
    if (!readBytes(0, boot, sizeof boot)) {
        return;
    }
    const uint32_t root = TLittleEndian::U32(boot + 0x60);
    if (root < 2 || root - uint64_t{2} >= geometry.clusterCount) {
        return;
    }
    std::vector<uint8_t> folder(static_cast<size_t>(geometry.clusterSize));
    if (!readBytes(geometry.heapOffset + (root - uint64_t{2}) * geometry.clusterSize, folder.data(),
                   folder.size())) {
        return;
    }
    const uint64_t bytes = (uint64_t{geometry.clusterCount} + 7) / 8;
    for (size_t slot = 0; slot + TExfatEntrySet::kEntrySize <= folder.size();
         slot += TExfatEntrySet::kEntrySize) {
        const uint8_t* entry = folder.data() + slot;
        if (entry[0] == 0) {
            return;
        }
        if (entry[0] != kExfatBitmapEntry || (entry[1] & kExfatSecondBitmap)) {
            continue;
        }
        const uint32_t first = TLittleEndian::U32(entry + 20);
        const uint64_t length = TLittleEndian::U64(entry + 24);
        // Kept in one run, as the file system lays it out when it formats the volume.
        if (first < 2 || first - uint64_t{2} >= geometry.clusterCount || length < bytes ||
            geometry.heapOffset + (first - uint64_t{2}) * geometry.clusterSize + bytes > geometry.heapEnd()) {
            return;
        }
        const uint64_t start = geometry.heapOffset + (first - uint64_t{2}) * geometry.clusterSize;
        m_allocation.reset(2, geometry.clusterCount);
        std::vector<uint8_t> chunk;
        for (uint64_t offset = 0; offset < bytes; offset += kAllocationChunk) {
            chunk.resize(static_cast<size_t>(std::min<uint64_t>(kAllocationChunk, bytes - offset)));
            if (!readBytes(start + offset, chunk.data(), chunk.size())) {
                m_allocation.reset(0, 0);
                return;
            }
            m_allocation.setBitmap(2 + offset * 8, chunk);
        }
        return;
    }
}

int64_t TTreeEnumerator::rateItem(const TItem& item)
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    if (!m_allocationRead) {
        loadAllocation();
    }
    if (m_allocation.empty()) {
        return 0;
    }
    uint64_t first = 0;
    uint64_t clusterBytes = 0;
    bool oneRun = false; // the entry says the data is one run
    if (m_exfat) {
        const std::optional<TExfatEntrySet> set = m_exfat->readSet(item.address);
        if (!set) {
            return 0;
        }
        first = set->firstCluster;
        oneRun = set->noFatChain;
        clusterBytes = m_exfat->geometry().clusterSize;
    } else {
        uint8_t slot[TFatDirectory::kSlotSize] = {};
        if (!readBytes(m_layout.slotOffset(item.address), slot, sizeof slot) || slot[11] == 0x0F) {
            return 0;
        }
        // The high half of the first cluster exists on FAT32 only; FAT12/16 keep other data there.
        first = TLittleEndian::U16(slot + 26) |
                (m_layout.tableBits() == 32 ? uint64_t{TLittleEndian::U16(slot + 20)} << 16 : 0);
        clusterBytes = m_layout.clusterBytes();
    }
    if (clusterBytes == 0) {
        return 0;
    }
    const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(0, item.size));
    const uint64_t clusters = size / clusterBytes + (size % clusterBytes != 0 ? 1 : 0);
    if (clusters == 0) {
        return flag_RATING_INTACT;
    }
    // An entry without a first cluster, or with one the volume does not have, says nothing
    // of where the data was.
    const uint64_t end = m_allocation.base() + m_allocation.count();
    if (first < 2 || first >= end) {
        return flag_RATING_NO_DATA;
    }
    const uint64_t used = m_allocation.countUsed(first, clusters);
    return oneRun ? TRecoveryRating::knownClusters(used, clusters)
                  : TRecoveryRating::assumedClusters(m_allocation.isUsed(first), used, clusters);
}

void TTreeEnumerator::checkLongName(uint64_t address, std::u16string& name) const
{
    if (!m_layout.valid() || address < 3) {
        return;
    }
    // The entry and up to 20 long-name slots before it, within its own cluster (the
    // cluster before it in the folder need not be the one before it on the disk).
    constexpr uint64_t kMostLongNameSlots = 20;
    const uint64_t cluster = m_layout.entryCluster(address);
    const uint64_t floor = cluster != 0 ? m_layout.slotAddress(static_cast<uint32_t>(cluster), 0) : 3;
    const uint64_t first = std::max(floor, address > kMostLongNameSlots ? address - kMostLongNameSlots : 0);
    std::vector<uint8_t> bytes((address - first + 1) * TFatDirectory::kSlotSize);
    if (!readBytes(m_layout.slotOffset(first), bytes.data(), bytes.size())) {
        return;
    }
    const std::vector<TFatDirectory::TEntry> entries = TFatDirectory::parse(bytes);
    if (entries.empty() || entries.back().slot != address - first || !entries.back().longName.empty()) {
        return;
    }
    // Long-name slots reaching back to the start of what was read may be the rest of a
    // name that begins in another cluster: the library's name stands.
    const size_t previous = entries.size() >= 2 ? entries[entries.size() - 2].slot + 1 : 0;
    const bool reachesBack = first == floor && previous == 0 && address > first;
    if (!reachesBack) {
        name = entries.back().displayName();
    }
}

void TTreeEnumerator::forEachOrphan(const std::function<void(uint64_t address)>& visit)
{
    TSK_FS_INFO* fs = m_volume->fs();
    m_orphanDir = tsk_fs_dir_open_meta(fs, TSK_FS_ORPHANDIR_INUM(fs));
    tsk_error_reset();
    if (m_orphanDir == nullptr) {
        return;
    }
    const size_t count = tsk_fs_dir_getsize(m_orphanDir);
    for (size_t i = 0; i < count; ++i) {
        if (TSK_FS_FILE* file = tsk_fs_dir_get(m_orphanDir, i)) {
            if (file->name != nullptr) {
                visit(file->name->meta_addr);
            }
            tsk_fs_file_close(file);
        }
    }
    tsk_error_reset();
}

void TTreeEnumerator::readFreeClusters(std::vector<uint32_t>& queue, size_t clusterBytes,
                                       const std::function<bool(uint32_t)>& isFree,
                                       const std::function<uint64_t(uint32_t)>& offsetOf,
                                       const std::function<void(uint32_t, std::span<const uint8_t>)>& visit)
{
    std::unordered_set<uint32_t> seen;
    std::vector<uint8_t> bytes(clusterBytes);
    size_t read = 0;
    while (!queue.empty() && read < kMaxRebuildClusters) {
        const uint32_t cluster = queue.back();
        queue.pop_back();
        if (!seen.insert(cluster).second || !isFree(cluster) ||
            !readBytes(offsetOf(cluster), bytes.data(), bytes.size())) {
            continue;
        }
        ++read;
        visit(cluster, bytes);
    }
}

void TTreeEnumerator::prepareRebuild()
{
    TSK_FS_INFO* fs = m_volume->fs();
    if (m_exfat) {
        prepareExfatRebuild();
        return;
    }
    if (!isFat(fs)) {
        return;
    }
    if (!m_layout.valid() || m_layout.tableBits() == 0) {
        return;
    }
    const size_t clusterBytes = m_layout.clusterBytes();
    const auto firstClusterOf = [this](uint64_t address) -> uint32_t {
        uint8_t slot[TFatDirectory::kSlotSize] = {};
        if (!readBytes(m_layout.slotOffset(address), slot, sizeof slot)) {
            return 0;
        }
        return static_cast<uint32_t>(slot[26] | (slot[27] << 8) | (slot[20] << 16) | (slot[21] << 24));
    };
    // Where to look: the first clusters of the deleted folders found so far and the
    // clusters holding the entries no folder leads to; then, from what those hold, the
    // first clusters of their sub-folders.
    std::vector<uint32_t> queue;
    for (TPendingFolder& folder : m_deleted) {
        folder.cluster = firstClusterOf(folder.address);
        queue.push_back(folder.cluster);
    }
    forEachOrphan(
        [&](uint64_t address) { queue.push_back(static_cast<uint32_t>(m_layout.entryCluster(address))); });
    TFatChainRebuild rebuild;
    readFreeClusters(
        queue, clusterBytes, [this](uint32_t cluster) { return isFreeCluster(cluster); },
        [this](uint32_t cluster) { return m_layout.clusterOffset(cluster); },
        [&](uint32_t cluster, std::span<const uint8_t> bytes) {
            rebuild.addCluster(cluster, bytes);
            for (const TFatDirectory::TEntry& entry : TFatDirectory::parse(bytes)) {
                if (entry.isFolder() && !entry.isDotEntry()) {
                    queue.push_back(entry.firstCluster);
                }
            }
        });
    m_chains = rebuild.rebuild();
    // A folder whose first cluster holds something else now is read by the library, as before.
    for (TPendingFolder& folder : m_deleted) {
        if (m_chains.count(folder.cluster) == 0) {
            folder.cluster = 0;
        }
    }
}

void TTreeEnumerator::walkRebuiltFolder(const TPendingFolder& folder)
{
    if (m_exfat) {
        walkRebuiltExfatFolder(folder);
        return;
    }
    TSK_FS_INFO* fs = m_volume->fs();
    const std::vector<uint32_t>& chain = m_chains.at(folder.cluster);
    const size_t clusterBytes = m_layout.clusterBytes();
    std::vector<uint8_t> bytes(chain.size() * clusterBytes);
    for (size_t i = 0; i < chain.size(); ++i) {
        if (!readBytes(m_layout.clusterOffset(chain[i]), bytes.data() + i * clusterBytes, clusterBytes)) {
            bytes.resize(i * clusterBytes);
            break;
        }
    }
    ++m_foldersWalked;
    const size_t listedBefore = m_items.size();
    const size_t slotsPerCluster = clusterBytes / TFatDirectory::kSlotSize;
    std::vector<TPendingFolder> children;
    // What a lost folder holds was found without a folder leading to it.
    const int64_t lost = (m_items[static_cast<size_t>(folder.id)].flags & flag_EMPTY) ? flag_FOUND_ORPHAN : 0;
    for (const TFatDirectory::TEntry& entry : TFatDirectory::parse(bytes)) {
        if (entry.isDotEntry() || m_items.size() >= kMaxEntries) {
            continue;
        }
        const size_t index = entry.slot / slotsPerCluster;
        const uint64_t address = m_layout.slotAddress(chain[index], entry.slot % slotsPerCluster);
        const bool isFolder = entry.isFolder();
        TItem item{folder.id,
                   flag_IS_DELETED | (isFolder ? flag_IS_DIRECTORY : 0) |
                       (index > 0 ? flag_FOUND_REBUILT : 0) | lost,
                   isFolder ? 0 : int64_t{entry.size},
                   0,
                   0,
                   0,
                   address,
                   entry.displayName()};
        // The library reads the entry's times as it does for every other entry.
        if (TSK_FS_FILE* file = tsk_fs_file_open_meta(fs, nullptr, address)) {
            if (const TSK_FS_META* meta = file->meta) {
                item.created = convertTime(meta->crtime, meta->crtime_nano);
                item.accessed = convertTime(meta->atime, meta->atime_nano);
                item.modified = convertTime(meta->mtime, meta->mtime_nano);
            }
            tsk_fs_file_close(file);
        }
        tsk_error_reset();
        const int64_t id = static_cast<int64_t>(m_items.size());
        m_items.push_back(std::move(item));
        if (isFolder) {
            const uint32_t first = m_chains.count(entry.firstCluster) != 0 ? entry.firstCluster : 0;
            children.push_back({address, id, true, first});
        }
    }
    m_entriesListed += m_items.size() - listedBefore;
    m_deleted.insert(m_deleted.end(), children.rbegin(), children.rend());
}

void TTreeEnumerator::listLostFolders()
{
    // exFAT chains start at a cluster named by a folder's entry set; a set no walk reached
    // is among the library's orphans, which are listed with their chains.
    if (m_exfat) {
        return;
    }
    std::vector<uint32_t> heads;
    for (const auto& [head, chain] : m_chains) {
        if (m_walkedClusters.count(head) == 0) {
            heads.push_back(head);
        }
    }
    std::sort(heads.begin(), heads.end());
    for (uint32_t head : heads) {
        const int64_t id = static_cast<int64_t>(m_items.size());
        m_items.push_back({0, flag_EMPTY, 0, 0, 0, 0, 0, {}});
        // The stand-in has no entry of its own; its first slot's address keeps it apart.
        m_deleted.push_back({m_layout.slotAddress(head, 0), id, true, head});
    }
}

void TTreeEnumerator::listOrphans()
{
    TSK_FS_INFO* fs = m_volume->fs();
    // Finding them makes the library look at every entry slot of the volume, once.
    TSK_FS_DIR* dir =
        m_orphanDir != nullptr ? m_orphanDir : tsk_fs_dir_open_meta(fs, TSK_FS_ORPHANDIR_INUM(fs));
    m_orphanDir = nullptr;
    if (dir == nullptr) {
        tsk_error_reset();
        return;
    }
    std::unordered_set<uint64_t> listed;
    listed.reserve(m_items.size());
    for (const TItem& item : m_items) {
        listed.insert(item.address);
    }
    std::unordered_map<uint64_t, int64_t> standInByCluster;
    std::vector<TPendingFolder> folders;
    const size_t count = tsk_fs_dir_getsize(dir);
    if (m_exfat) {
        // What an orphan folder's rebuilt chain holds is listed in it when it is walked,
        // not a second time under a lost folder.
        for (size_t i = 0; i < count; ++i) {
            if (TSK_FS_FILE* file = tsk_fs_dir_get(dir, i)) {
                const uint32_t first = file->name != nullptr ? exfatChainOf(file->name->meta_addr) : 0;
                if (first != 0 && m_walkedClusters.count(first) == 0) {
                    for (const TRebuiltSet& found : rebuiltExfatSets(m_chains.at(first))) {
                        if (found.address != file->name->meta_addr) {
                            listed.insert(found.address);
                        }
                    }
                }
                tsk_fs_file_close(file);
            }
        }
        tsk_error_reset();
    }
    for (size_t i = 0; i < count && m_items.size() < kMaxEntries; ++i) {
        TSK_FS_FILE* file = tsk_fs_dir_get(dir, i);
        if (file == nullptr) {
            tsk_error_reset();
            continue;
        }
        const TSK_FS_NAME* name = file->name;
        if (!isHiddenEntry(file, false) && listed.insert(name->meta_addr).second) {
            const uint64_t cluster = m_layout.entryCluster(name->meta_addr);
            auto [standIn, added] =
                standInByCluster.try_emplace(cluster, static_cast<int64_t>(m_items.size()));
            if (added) {
                m_items.push_back({0, flag_EMPTY, 0, 0, 0, 0, 0, {}});
            }
            const TSK_FS_META* meta = file->meta;
            const bool isFolder =
                !TSK_FS_ISDOT(name->name) &&
                isExfatFolder(name->meta_addr, meta != nullptr && TSK_FS_IS_DIR_META(meta->type));
            TItem item = makeItem(standIn->second, file, isFolder, true);
            item.flags |= flag_FOUND_ORPHAN;
            if (isFolder) {
                folders.push_back({name->meta_addr, static_cast<int64_t>(m_items.size()), true,
                                   exfatChainOf(name->meta_addr)});
            }
            m_items.push_back(std::move(item));
        }
        tsk_fs_file_close(file);
    }
    tsk_fs_dir_close(dir);
    tsk_error_reset();
    // Their folders are walked like any deleted folder.
    m_deleted.insert(m_deleted.end(), folders.rbegin(), folders.rend());
}

bool TTreeEnumerator::isFreeExfatCluster(uint32_t cluster) const
{
    TSK_FS_INFO* fs = m_volume->fs();
    const TExfatGeometry& geometry = m_exfat->geometry();
    if (cluster < 2 || cluster - uint64_t{2} >= geometry.clusterCount || fs->block_size == 0 ||
        fs->block_getflags == nullptr) {
        return false;
    }
    // The library answers for the cluster's first sector from the allocation bitmap.
    const uint64_t sector =
        (geometry.heapOffset + (cluster - uint64_t{2}) * geometry.clusterSize) / fs->block_size;
    const int flags = fs->block_getflags(fs, sector);
    tsk_error_reset();
    return (flags & TSK_FS_BLOCK_FLAG_UNALLOC) != 0;
}

uint32_t TTreeEnumerator::exfatChainAt(uint32_t firstCluster) const
{
    const auto chain = m_chains.find(firstCluster);
    return chain != m_chains.end() && chain->second.size() > 1 ? firstCluster : 0;
}

uint32_t TTreeEnumerator::exfatChainOf(uint64_t address) const
{
    if (!m_exfat || m_chains.empty()) {
        return 0;
    }
    const std::optional<TExfatEntrySet> set = m_exfat->readSet(address);
    return set && set->isFolder && !set->noFatChain ? exfatChainAt(set->firstCluster) : 0;
}

void TTreeEnumerator::prepareExfatRebuild()
{
    const TExfatGeometry& geometry = m_exfat->geometry();
    const uint64_t clusterBytes = geometry.clusterSize;
    if (clusterBytes == 0 || clusterBytes > (uint64_t{32} << 20)) {
        return;
    }
    const uint64_t mostClusters = std::max<uint64_t>(1, kMaxExfatFolderBytes / clusterBytes);
    // Where the allocation table starts; some drivers leave a deleted folder's links in it.
    uint8_t boot[512] = {};
    const uint64_t tableOffset =
        readBytes(0, boot, sizeof boot) && boot[0x6C] >= 9 && boot[0x6C] <= 12
            ? uint64_t{static_cast<uint32_t>(boot[0x50] | (boot[0x51] << 8) | (boot[0x52] << 16) |
                                             (static_cast<uint32_t>(boot[0x53]) << 24))}
                  << boot[0x6C]
            : 0;
    TExfatChainRebuild rebuild;
    std::vector<uint32_t> queue;
    const auto addFolderSet = [&](const TExfatEntrySet& set) {
        if (!set.isFolder || set.firstCluster < 2) {
            return;
        }
        const uint64_t clusters =
            set.dataLength / clusterBytes + (set.dataLength % clusterBytes != 0 ? 1 : 0);
        if (set.noFatChain) {
            rebuild.addRun(set.firstCluster, std::min(clusters, mostClusters));
            return;
        }
        // A deleted folder's length is often cut to its first cluster when it is deleted;
        // then only its end marker (or the largest folder there is) bounds it.
        rebuild.addFolder(set.firstCluster, clusters > 1 ? std::min(clusters, mostClusters) : mostClusters);
        queue.push_back(set.firstCluster);
    };
    for (const TPendingFolder& folder : m_deleted) {
        if (const std::optional<TExfatEntrySet> set = m_exfat->readSet(folder.address)) {
            addFolderSet(*set);
        }
    }
    forEachOrphan([&](uint64_t address) {
        queue.push_back(static_cast<uint32_t>(m_layout.entryCluster(address)));
        if (const std::optional<TExfatEntrySet> set = m_exfat->readSet(address)) {
            addFolderSet(*set);
        }
    });
    readFreeClusters(
        queue, clusterBytes, [this](uint32_t cluster) { return isFreeExfatCluster(cluster); },
        [&](uint32_t cluster) { return geometry.heapOffset + (cluster - uint64_t{2}) * clusterBytes; },
        [&](uint32_t cluster, std::span<const uint8_t> bytes) {
            rebuild.addCluster(cluster, bytes);
            uint8_t link[4] = {};
            if (tableOffset != 0 && readBytes(tableOffset + uint64_t{cluster} * 4, link, sizeof link)) {
                const uint32_t next = TLittleEndian::U32(link);
                if (next >= 2 && next - uint64_t{2} < geometry.clusterCount) {
                    rebuild.addLink(cluster, next);
                }
            }
            for (const TExfatEntrySet::TFound& found : TExfatEntrySet::scan(bytes)) {
                addFolderSet(found.set);
            }
        });
    m_chains = rebuild.rebuild();
    for (TPendingFolder& folder : m_deleted) {
        folder.cluster = exfatChainOf(folder.address);
    }
}

std::vector<TTreeEnumerator::TRebuiltSet>
TTreeEnumerator::rebuiltExfatSets(const std::vector<uint32_t>& chain) const
{
    const TExfatGeometry& geometry = m_exfat->geometry();
    const size_t clusterBytes = geometry.clusterSize;
    std::vector<uint8_t> bytes(chain.size() * clusterBytes);
    for (size_t i = 0; i < chain.size(); ++i) {
        if (!readBytes(geometry.heapOffset + (chain[i] - uint64_t{2}) * clusterBytes,
                       bytes.data() + i * clusterBytes, clusterBytes)) {
            bytes.resize(i * clusterBytes);
            break;
        }
    }
    // The folder ends at its end marker; whatever lies after it is no entry of it.
    for (size_t slot = 0; slot + TExfatEntrySet::kEntrySize <= bytes.size();
         slot += TExfatEntrySet::kEntrySize) {
        if (bytes[slot] == 0) {
            bytes.resize(slot);
            break;
        }
    }
    std::vector<TRebuiltSet> sets;
    for (TExfatEntrySet::TFound& found : TExfatEntrySet::scan(bytes)) {
        const size_t index = found.offset / clusterBytes;
        const uint64_t offset =
            geometry.heapOffset + (chain[index] - uint64_t{2}) * clusterBytes + found.offset % clusterBytes;
        sets.push_back({geometry.addressAt(offset), index, std::move(found.set)});
    }
    return sets;
}

void TTreeEnumerator::walkRebuiltExfatFolder(const TPendingFolder& folder)
{
    const std::vector<TRebuiltSet> sets = rebuiltExfatSets(m_chains.at(folder.cluster));
    ++m_foldersWalked;
    const size_t listedBefore = m_items.size();
    std::vector<TPendingFolder> children;
    // What a lost folder holds was found without a folder leading to it.
    const int64_t lost = (m_items[static_cast<size_t>(folder.id)].flags & flag_EMPTY) ? flag_FOUND_ORPHAN : 0;
    for (const TRebuiltSet& found : sets) {
        if (m_items.size() >= kMaxEntries) {
            break;
        }
        const TExfatEntrySet& set = found.set;
        TItem item{folder.id,
                   flag_IS_DELETED | (set.isFolder ? flag_IS_DIRECTORY : 0) |
                       (found.clusterIndex > 0 ? flag_FOUND_REBUILT : 0) | lost,
                   set.isFolder ? 0 : static_cast<int64_t>(std::min<uint64_t>(set.dataLength, INT64_MAX)),
                   set.created(),
                   set.accessed(),
                   set.modified(),
                   found.address,
                   set.name};
        const int64_t id = static_cast<int64_t>(m_items.size());
        m_items.push_back(std::move(item));
        if (set.isFolder) {
            children.push_back(
                {found.address, id, true, set.noFatChain ? 0 : exfatChainAt(set.firstCluster)});
        }
    }
    m_entriesListed += m_items.size() - listedBefore;
    m_deleted.insert(m_deleted.end(), children.rbegin(), children.rend());
}
