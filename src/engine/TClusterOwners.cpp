#include "engine/TClusterOwners.h"

#include "engine/TExfatVolume.h"
#include "engine/TTskVolume.h"
#include "engine/format/TFatLayout.h"
#include "engine/format/TLittleEndian.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <optional>
#include <utility>

namespace {

// A run list longer than this is damaged or hostile; its rest is not looked at.
constexpr size_t kLargestRunCount = 1 << 20;

struct TFileCloser
{
    void operator()(TSK_FS_FILE* file) const { tsk_fs_file_close(file); }
};

bool usableRun(const TSK_FS_ATTR_RUN* run)
{
    // Sparse parts have no clusters; a filler stands for runs whose place is not known.
    return run->len > 0 && !(run->flags & (TSK_FS_ATTR_RUN_FLAG_SPARSE | TSK_FS_ATTR_RUN_FLAG_FILLER));
}

} // namespace

bool TClusterOwners::find(const std::shared_ptr<TTskVolume>& volume, uint64_t address, size_t listed,
                          TResult& result, std::string& error)
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    TSK_FS_INFO* fs = volume->fs();
    std::unique_ptr<TSK_FS_FILE, TFileCloser> file(tsk_fs_file_open_meta(fs, nullptr, address));
    if (!file || file->meta == nullptr) {
        error = "The entry cannot be read: " + TTskVolume::takeLibraryError("no such entry");
        return false;
    }
    if (TSK_FS_IS_DIR_META(file->meta->type)) {
        error = "The entry is a folder, not a file.";
        return false;
    }
    if (file->meta->flags & TSK_FS_META_FLAG_ALLOC) {
        error = "The entry is not deleted: its clusters are its own.";
        return false;
    }
    TClusterOwners owners(fs, listed);
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    uint64_t unit = fs->block_size;
    if (volume->isFatFamily()) {
        uint8_t boot[512] = {};
        TFatLayout layout;
        if (tsk_fs_read(fs, 0, reinterpret_cast<char*>(boot), sizeof boot) != sizeof boot ||
            !layout.read(boot, fs->ftype == TSK_FS_TYPE_EXFAT)) {
            error = "The volume's boot sector cannot be read: " + TTskVolume::takeLibraryError("unreadable");
            return false;
        }
        unit = layout.clusterBytes();
        uint64_t first = 0;
        if (fs->ftype == TSK_FS_TYPE_EXFAT) {
            const std::optional<TExfatEntrySet> set = TExfatVolume(fs).readSet(address);
            first = set ? set->firstCluster : 0;
        } else {
            uint8_t slot[32] = {};
            if (tsk_fs_read(fs, static_cast<TSK_OFF_T>(layout.slotOffset(address)),
                            reinterpret_cast<char*>(slot), sizeof slot) == sizeof slot &&
                slot[11] != 0x0F) {
                first = TLittleEndian::U16(slot + 26) |
                        (layout.tableBits() == 32 ? uint64_t{TLittleEndian::U16(slot + 20)} << 16 : 0);
            }
        }
        const uint64_t size = static_cast<uint64_t>(std::max<TSK_OFF_T>(0, file->meta->size));
        if (layout.hasCluster(first) && size > 0 && unit > 0) {
            const uint64_t clusters =
                std::min(size / unit + (size % unit != 0 ? 1 : 0), layout.clusterEnd() - first);
            const uint64_t start = layout.clusterOffset(static_cast<uint32_t>(first));
            ranges.emplace_back(start, start + clusters * unit);
        }
    } else {
        owners.collectRuns(file.get(), ranges);
    }
    tsk_error_reset();
    owners.keepUsed(ranges, std::max<uint64_t>(unit, 1));
    if (!owners.m_left.empty()) {
        const auto flags = static_cast<TSK_FS_DIR_WALK_FLAG_ENUM>(
            TSK_FS_DIR_WALK_FLAG_ALLOC | TSK_FS_DIR_WALK_FLAG_RECURSE | TSK_FS_DIR_WALK_FLAG_NOORPHAN);
        if (tsk_fs_dir_walk(fs, fs->root_inum, flags, &TClusterOwners::visitEntry, &owners) != 0 &&
            owners.m_result.Count == 0) {
            error = "The folder tree cannot be walked: " + TTskVolume::takeLibraryError("unreadable");
            return false;
        }
        tsk_error_reset();
    }
    result = std::move(owners.m_result);
    return true;
}

void TClusterOwners::collectRuns(TSK_FS_FILE* file, std::vector<std::pair<uint64_t, uint64_t>>& ranges) const
{
    // The attribute a recovery copies.
    const TSK_FS_ATTR* data = tsk_fs_file_attr_get(file);
    if (data == nullptr || !(data->flags & TSK_FS_ATTR_NONRES)) {
        return;
    }
    const uint64_t blockSize = m_fs->block_size;
    const uint64_t blocks = m_fs->last_block_act + 1;
    size_t runs = 0;
    for (const TSK_FS_ATTR_RUN* run = data->nrd.run; run != nullptr && runs < kLargestRunCount;
         run = run->next, ++runs) {
        if (!usableRun(run) || run->addr >= blocks) {
            continue;
        }
        const uint64_t length = std::min<uint64_t>(run->len, blocks - run->addr);
        ranges.emplace_back(run->addr * blockSize, (run->addr + length) * blockSize);
    }
}

void TClusterOwners::keepUsed(const std::vector<std::pair<uint64_t, uint64_t>>& ranges, uint64_t unit)
{
    const uint64_t blockSize = m_fs->block_size;
    for (const auto& [from, to] : ranges) {
        for (uint64_t at = from; at < to; at += unit) {
            const TSK_FS_BLOCK_FLAG_ENUM flags = m_fs->block_getflags(m_fs, at / blockSize);
            if (!(flags & TSK_FS_BLOCK_FLAG_ALLOC)) {
                continue;
            }
            const uint64_t end = std::min(to, at + unit);
            // Joined to the range before when it follows it directly.
            if (!m_left.empty() && std::prev(m_left.end())->second == at) {
                std::prev(m_left.end())->second = end;
            } else {
                m_left.emplace(at, end);
            }
        }
    }
}

bool TClusterOwners::claim(uint64_t from, uint64_t to)
{
    bool covered = false;
    auto it = m_left.upper_bound(from);
    if (it != m_left.begin()) {
        --it;
    }
    while (it != m_left.end() && it->first < to) {
        const uint64_t start = it->first;
        const uint64_t end = it->second;
        if (end <= from) {
            ++it;
            continue;
        }
        covered = true;
        it = m_left.erase(it);
        if (start < from) {
            m_left.emplace(start, from);
        }
        if (end > to) {
            it = m_left.emplace(to, end).first;
            ++it;
        }
    }
    return covered;
}

TSK_WALK_RET_ENUM TClusterOwners::visitEntry(TSK_FS_FILE* file, const char* path, void* self)
{
    return static_cast<TClusterOwners*>(self)->visit(file, path);
}

TSK_WALK_RET_ENUM TClusterOwners::visit(TSK_FS_FILE* file, const char* path)
{
    if (file == nullptr || file->name == nullptr || file->meta == nullptr ||
        !(file->name->flags & TSK_FS_NAME_FLAG_ALLOC) || !(file->meta->flags & TSK_FS_META_FLAG_ALLOC)) {
        return TSK_WALK_CONT;
    }
    const char* name = file->name->name != nullptr ? file->name->name : "";
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
        !m_seen.insert(file->meta->addr).second) {
        return TSK_WALK_CONT;
    }
    const uint64_t blockSize = m_fs->block_size;
    const uint64_t blocks = m_fs->last_block_act + 1;
    bool owns = false;
    const int count = tsk_fs_file_attr_getsize(file);
    for (int i = 0; i < count; ++i) {
        const TSK_FS_ATTR* attr = tsk_fs_file_attr_get_idx(file, i);
        if (attr == nullptr || !(attr->flags & TSK_FS_ATTR_NONRES)) {
            continue;
        }
        size_t runs = 0;
        for (const TSK_FS_ATTR_RUN* run = attr->nrd.run; run != nullptr && runs < kLargestRunCount;
             run = run->next, ++runs) {
            if (!usableRun(run) || run->addr >= blocks) {
                continue;
            }
            const uint64_t length = std::min<uint64_t>(run->len, blocks - run->addr);
            if (claim(run->addr * blockSize, (run->addr + length) * blockSize)) {
                owns = true;
            }
        }
    }
    tsk_error_reset();
    if (owns) {
        ++m_result.Count;
        if (m_result.Paths.size() < m_listed) {
            std::string shown = "/";
            shown.append(path != nullptr ? path : "").append(name);
            m_result.Paths.push_back(std::move(shown));
        }
    }
    return m_left.empty() ? TSK_WALK_STOP : TSK_WALK_CONT;
}
