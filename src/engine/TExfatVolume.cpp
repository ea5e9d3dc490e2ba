#include "engine/TExfatVolume.h"

#include <vector>

namespace {

bool readExactly(TSK_FS_INFO* fs, uint64_t offset, uint8_t* buffer, size_t size)
{
    const ssize_t got =
        tsk_fs_read(fs, static_cast<TSK_OFF_T>(offset), reinterpret_cast<char*>(buffer), size);
    if (got != static_cast<ssize_t>(size)) {
        tsk_error_reset();
        return false;
    }
    return true;
}

} // namespace

TExfatVolume::TExfatVolume(TSK_FS_INFO* fs) : m_fs(fs)
{
    uint8_t boot[512] = {};
    if (fs != nullptr && readExactly(fs, 0, boot, sizeof boot)) {
        if (const std::optional<TExfatGeometry> geometry = TExfatGeometry::parse(boot)) {
            m_geometry = *geometry;
        }
    }
}

std::optional<TExfatEntrySet> TExfatVolume::readSet(uint64_t address) const
{
    const std::optional<uint64_t> offset = m_geometry.entryOffset(address);
    if (!offset) {
        return std::nullopt;
    }
    uint8_t primary[TExfatEntrySet::kEntrySize];
    if (!readExactly(m_fs, *offset, primary, sizeof primary)) {
        return std::nullopt;
    }
    const std::optional<TExfatEntrySet> head = TExfatEntrySet::parsePrimary(primary);
    if (!head) {
        return std::nullopt;
    }
    // A set is read as it lies on disk; one that crosses into a cluster that is not the
    // next one fails its checksum and is not used.
    std::vector<uint8_t> bytes(head->slotCount * TExfatEntrySet::kEntrySize);
    if (*offset + bytes.size() > m_geometry.heapEnd() ||
        !readExactly(m_fs, *offset, bytes.data(), bytes.size())) {
        return std::nullopt;
    }
    std::optional<TExfatEntrySet> set = TExfatEntrySet::parse(bytes);
    if (!set || !set->checksumOk) {
        return std::nullopt;
    }
    return set;
}
