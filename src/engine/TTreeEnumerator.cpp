#include "engine/TTreeEnumerator.h"

#include "engine/TExfatVolume.h"
#include "engine/TFileTimeCodec.h"
#include "engine/TTextCodec.h"
#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cstring>
#include <optional>
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

// The library numbers FAT directory entries from 3 on, one per 32-byte slot.
constexpr uint64_t kFirstEntryAddress = 3;
constexpr uint32_t kEntrySize = 32;

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
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
    tsk_error_reset();
}

TTreeEnumerator::~TTreeEnumerator() = default;

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
        if (m_live.empty() && m_deleted.empty()) {
            m_orphansListed = true;
            listOrphans();
            continue;
        }
        std::vector<TPendingFolder>& queue = m_live.empty() ? m_deleted : m_live;
        const TPendingFolder folder = queue.back();
        queue.pop_back();
        if (!m_walkedAddresses.insert(folder.address).second) {
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
    TSK_FS_INFO* fs = m_volume->fs();
    uint8_t boot[512] = {};
    if (tsk_img_read(m_volume->image(), m_volume->offset(), reinterpret_cast<char*>(boot), sizeof boot) !=
        static_cast<ssize_t>(sizeof boot)) {
        tsk_error_reset();
        return;
    }
    if (fs->ftype == TSK_FS_TYPE_EXFAT) {
        const uint8_t sectorShift = boot[0x6C];
        const uint8_t clusterShift = boot[0x6D];
        if (sectorShift < 9 || sectorShift > 12 || clusterShift > 25) {
            return;
        }
        m_sectorSize = uint32_t{1} << sectorShift;
        m_clusterSectors = uint32_t{1} << clusterShift;
        m_firstEntrySector = m_firstClusterSector = le32(boot + 0x58);
        return;
    }
    const uint32_t sectorSize = le16(boot + 0x0B);
    const uint32_t clusterSectors = boot[0x0D];
    const uint32_t reserved = le16(boot + 0x0E);
    const uint32_t fats = boot[0x10];
    const uint32_t rootEntries = le16(boot + 0x11);
    const uint32_t fatSectors = le16(boot + 0x16) != 0 ? le16(boot + 0x16) : le32(boot + 0x24);
    if (sectorSize < 512 || sectorSize > 4096 || (sectorSize & (sectorSize - 1)) != 0 ||
        clusterSectors == 0 || fats == 0) {
        return;
    }
    m_sectorSize = sectorSize;
    m_clusterSectors = clusterSectors;
    // Entries are counted from the first sector after the FATs: the FAT12/16 root
    // folder's fixed area, then the clusters.
    m_firstEntrySector = uint64_t{reserved} + uint64_t{fats} * fatSectors;
    m_firstClusterSector =
        m_firstEntrySector + (uint64_t{rootEntries} * kEntrySize + sectorSize - 1) / sectorSize;
}

uint64_t TTreeEnumerator::entryCluster(uint64_t address) const
{
    if (m_sectorSize == 0 || address < kFirstEntryAddress) {
        return 0;
    }
    const uint64_t sector = (address - kFirstEntryAddress) / (m_sectorSize / kEntrySize) + m_firstEntrySector;
    if (sector < m_firstClusterSector) {
        return 0;
    }
    return 2 + (sector - m_firstClusterSector) / m_clusterSectors;
}

void TTreeEnumerator::listOrphans()
{
    TSK_FS_INFO* fs = m_volume->fs();
    if (m_volume->isFatFamily()) {
        readFatGeometry();
    }
    // Finding them makes the library look at every entry slot of the volume, once.
    TSK_FS_DIR* dir = tsk_fs_dir_open_meta(fs, TSK_FS_ORPHANDIR_INUM(fs));
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
    for (size_t i = 0; i < count && m_items.size() < kMaxEntries; ++i) {
        TSK_FS_FILE* file = tsk_fs_dir_get(dir, i);
        if (file == nullptr) {
            tsk_error_reset();
            continue;
        }
        const TSK_FS_NAME* name = file->name;
        if (!isHiddenEntry(file, false) && listed.insert(name->meta_addr).second) {
            const uint64_t cluster = entryCluster(name->meta_addr);
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
                folders.push_back({name->meta_addr, static_cast<int64_t>(m_items.size()), true});
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
