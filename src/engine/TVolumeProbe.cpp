#include "engine/TVolumeProbe.h"
#include "engine/format/TLittleEndian.h"

#include "engine/TTextCodec.h"
#include "engine/TTskVolume.h"

#include <tsk/libtsk.h>

#include <bit>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {

std::string trimRight(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
        text.pop_back();
    }
    return text;
}

struct TGeometry
{
    int64_t bytesPerSector = 0;
    int64_t sectorsPerCluster = 0;
    int64_t totalSectors = 0;
    int64_t totalClusters = 0;
    int64_t freeClusters = -1; // -1: not counted yet
    int64_t serial = 0;
    int32_t sectorsPerTrack = 0;
    int32_t heads = 0;
    std::string label;
};

constexpr size_t kReadChunk = 1 << 20;

// Counts clear bits among the first bitCount bits of a file's content.
int64_t countClearBits(TSK_FS_FILE* file, int64_t bitCount)
{
    std::vector<char> buffer(kReadChunk);
    int64_t clear = 0;
    int64_t bitsLeft = bitCount;
    TSK_OFF_T offset = 0;
    while (bitsLeft > 0) {
        const size_t want = static_cast<size_t>(std::min<int64_t>((bitsLeft + 7) / 8, kReadChunk));
        const ssize_t got = tsk_fs_file_read(file, offset, buffer.data(), want, TSK_FS_FILE_READ_FLAG_NONE);
        if (got <= 0) {
            return -1;
        }
        for (ssize_t i = 0; i < got && bitsLeft > 0; ++i) {
            const auto byte = static_cast<unsigned char>(buffer[static_cast<size_t>(i)]);
            if (bitsLeft >= 8) {
                clear += 8 - std::popcount(byte);
                bitsLeft -= 8;
            } else {
                const unsigned mask = (1u << bitsLeft) - 1u;
                clear += static_cast<int64_t>(bitsLeft) - std::popcount(byte & mask);
                bitsLeft = 0;
            }
        }
        offset += got;
    }
    return clear;
}

// Free clusters of FAT12/16/32, counted in the first FAT.
int64_t countFreeFatClusters(TSK_IMG_INFO* image, int64_t fatOffset, int64_t clusterCount, int bits)
{
    const int64_t entries = clusterCount + 2;
    const int64_t fatBytes = bits == 12 ? (entries * 3 + 1) / 2 : entries * (bits / 8);
    std::vector<unsigned char> fat(static_cast<size_t>(fatBytes));
    for (int64_t done = 0; done < fatBytes;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(fatBytes - done, kReadChunk));
        const ssize_t got =
            tsk_img_read(image, fatOffset + done, reinterpret_cast<char*>(fat.data() + done), want);
        if (got <= 0) {
            return -1;
        }
        done += got;
    }
    int64_t free = 0;
    for (int64_t cluster = 2; cluster < entries; ++cluster) {
        uint32_t value = 0;
        if (bits == 12) {
            const size_t at = static_cast<size_t>(cluster + cluster / 2);
            const uint16_t pair = TLittleEndian::U16(&fat[at]);
            value = (cluster & 1) ? (pair >> 4) : (pair & 0x0FFF);
        } else if (bits == 16) {
            value = TLittleEndian::U16(&fat[static_cast<size_t>(cluster * 2)]);
        } else {
            value = TLittleEndian::U32(&fat[static_cast<size_t>(cluster * 4)]) & 0x0FFFFFFF;
        }
        if (value == 0) {
            ++free;
        }
    }
    return free;
}

uint32_t be32(const unsigned char* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// Free blocks as the superblock (ext2/3/4) or the volume header (HFS+) records them;
// -1 when the volume keeps no such count where it can be read at once.
int64_t recordedFreeBlocks(const TTskVolume& volume)
{
    const uint32_t type = volume.fs()->ftype;
    unsigned char header[512] = {};
    if (tsk_img_read(volume.image(), volume.offset() + 1024, reinterpret_cast<char*>(header),
                     sizeof header) != static_cast<ssize_t>(sizeof header)) {
        return -1;
    }
    if (TSK_FS_TYPE_ISEXT(type) && TLittleEndian::U16(header + 56) == 0xEF53) {
        uint64_t free = TLittleEndian::U32(header + 12);
        constexpr uint32_t kIncompat64Bit = 0x80;
        if (TLittleEndian::U32(header + 0x60) & kIncompat64Bit) {
            free |= static_cast<uint64_t>(TLittleEndian::U32(header + 0x158)) << 32;
        }
        return static_cast<int64_t>(free);
    }
    if (TSK_FS_TYPE_ISHFS(type) && (std::memcmp(header, "H+", 2) == 0 || std::memcmp(header, "HX", 2) == 0)) {
        return be32(header + 48);
    }
    if (type == TSK_FS_TYPE_ISO9660) {
        return 0; // written once, nothing free
    }
    return -1;
}

void readFatGeometry(const TTskVolume& volume, const unsigned char* boot, TGeometry& g)
{
    const uint32_t type = volume.fs()->ftype;
    g.bytesPerSector = TLittleEndian::U16(boot + 11);
    g.sectorsPerCluster = boot[13];
    g.sectorsPerTrack = TLittleEndian::U16(boot + 24);
    g.heads = TLittleEndian::U16(boot + 26);
    const int64_t reserved = TLittleEndian::U16(boot + 14);
    const int64_t fats = boot[16];
    const int64_t rootEntries = TLittleEndian::U16(boot + 17);
    g.totalSectors =
        TLittleEndian::U16(boot + 19) != 0 ? TLittleEndian::U16(boot + 19) : TLittleEndian::U32(boot + 32);
    const int64_t fatSectors =
        TLittleEndian::U16(boot + 22) != 0 ? TLittleEndian::U16(boot + 22) : TLittleEndian::U32(boot + 36);
    const bool fat32 = type == TSK_FS_TYPE_FAT32;
    g.serial = TLittleEndian::U32(boot + (fat32 ? 67 : 39));
    g.label = trimRight(std::string(reinterpret_cast<const char*>(boot + (fat32 ? 71 : 43)), 11));
    if (g.label == "NO NAME") {
        g.label.clear();
    }
    if (g.bytesPerSector <= 0 || g.sectorsPerCluster <= 0) {
        return;
    }
    const int64_t rootSectors = (rootEntries * 32 + g.bytesPerSector - 1) / g.bytesPerSector;
    const int64_t dataSectors = g.totalSectors - (reserved + fats * fatSectors + rootSectors);
    if (dataSectors <= 0) {
        return;
    }
    g.totalClusters = dataSectors / g.sectorsPerCluster;
    const int bits = type == TSK_FS_TYPE_FAT12 ? 12 : (type == TSK_FS_TYPE_FAT16 ? 16 : 32);
    const int64_t needed =
        bits == 12 ? ((g.totalClusters + 2) * 3 + 1) / 2 : (g.totalClusters + 2) * (bits / 8);
    // A damaged boot sector must not make us read (or allocate) beyond the volume.
    const int64_t available = static_cast<int64_t>(volume.image()->size) - volume.offset();
    if (needed <= fatSectors * g.bytesPerSector && needed <= available) {
        g.freeClusters = countFreeFatClusters(volume.image(), volume.offset() + reserved * g.bytesPerSector,
                                              g.totalClusters, bits);
    }
}

void readExfatGeometry(const unsigned char* boot, TGeometry& g)
{
    const int bpsShift = boot[108];
    const int spcShift = boot[109];
    if (bpsShift >= 9 && bpsShift <= 12 && spcShift <= 25) {
        g.bytesPerSector = int64_t{1} << bpsShift;
        g.sectorsPerCluster = int64_t{1} << spcShift;
    }
    g.totalSectors = static_cast<int64_t>(TLittleEndian::U64(boot + 72) & 0x7FFFFFFFFFFFFFFFULL);
    g.totalClusters = TLittleEndian::U32(boot + 92);
    g.serial = TLittleEndian::U32(boot + 100);
}

void readNtfsGeometry(const unsigned char* boot, TGeometry& g)
{
    g.bytesPerSector = TLittleEndian::U16(boot + 11);
    const unsigned spc = boot[13];
    // Values above 0x80 encode large clusters as a negative power of two.
    g.sectorsPerCluster = spc <= 0x80 ? spc : (spc >= 0xE0 ? int64_t{1} << (256 - spc) : 0);
    g.sectorsPerTrack = TLittleEndian::U16(boot + 24);
    g.heads = TLittleEndian::U16(boot + 26);
    g.totalSectors = static_cast<int64_t>(TLittleEndian::U64(boot + 40) & 0x7FFFFFFFFFFFFFFFULL);
    g.serial = static_cast<int64_t>(TLittleEndian::U64(boot + 72));
}

// Looks in the root folder for the volume-label entry and, on exFAT, the
// allocation bitmap; both are entries the library lists under made-up names.
void readRootEntries(const TTskVolume& volume, TGeometry& g)
{
    TSK_FS_INFO* fs = volume.fs();
    TSK_FS_DIR* root = tsk_fs_dir_open_meta(fs, fs->root_inum);
    if (root == nullptr) {
        tsk_error_reset();
        return;
    }
    constexpr std::string_view kLabelSuffix = " (Volume Label Entry)";
    const size_t count = tsk_fs_dir_getsize(root);
    for (size_t i = 0; i < count; ++i) {
        TSK_FS_FILE* file = tsk_fs_dir_get(root, i);
        if (file == nullptr) {
            continue;
        }
        if (file->name != nullptr && file->name->name != nullptr &&
            (file->name->flags & TSK_FS_NAME_FLAG_ALLOC)) {
            const std::string_view name(file->name->name);
            if (name.size() > kLabelSuffix.size() && name.ends_with(kLabelSuffix)) {
                g.label = trimRight(std::string(name.substr(0, name.size() - kLabelSuffix.size())));
            } else if (fs->ftype == TSK_FS_TYPE_EXFAT && name == "$ALLOC_BITMAP" && g.totalClusters > 0) {
                g.freeClusters = countClearBits(file, g.totalClusters);
            }
        }
        tsk_fs_file_close(file);
    }
    tsk_fs_dir_close(root);
    tsk_error_reset();
}

void readNtfsVolumeFile(const TTskVolume& volume, TGeometry& g)
{
    TSK_FS_INFO* fs = volume.fs();
    if (TSK_FS_FILE* file = tsk_fs_file_open_meta(fs, nullptr, 3)) {
        const TSK_FS_ATTR* name = tsk_fs_file_attr_get_type(file, TSK_FS_ATTR_TYPE_NTFS_VNAME, 0, 0);
        if (name != nullptr && (name->flags & TSK_FS_ATTR_RES) && name->rd.buf != nullptr) {
            const size_t bytes = std::min<size_t>(static_cast<size_t>(name->size), name->rd.buf_size);
            std::u16string text(bytes / 2, u'\0');
            for (size_t i = 0; i < text.size(); ++i) {
                text[i] = static_cast<char16_t>(TLittleEndian::U16(name->rd.buf + i * 2));
            }
            std::string utf8;
            if (TTextCodec::utf16ToUtf8(text, utf8)) {
                g.label = utf8;
            }
        }
        tsk_fs_file_close(file);
    }
    if (TSK_FS_FILE* bitmap = tsk_fs_file_open_meta(fs, nullptr, 6)) {
        g.freeClusters = countClearBits(bitmap, static_cast<int64_t>(fs->block_count));
        tsk_fs_file_close(bitmap);
    }
    tsk_error_reset();
}

} // namespace

const char* TVolumeProbe::fileSystemName(uint32_t tskType)
{
    switch (tskType) {
    case TSK_FS_TYPE_NTFS:
        return "NTFS";
    case TSK_FS_TYPE_FAT12:
        return "FAT12";
    case TSK_FS_TYPE_FAT16:
        return "FAT16";
    case TSK_FS_TYPE_FAT32:
        return "FAT32";
    case TSK_FS_TYPE_EXFAT:
        return "exFAT";
    case TSK_FS_TYPE_EXT2:
        return "Ext2";
    case TSK_FS_TYPE_EXT3:
        return "Ext3";
    case TSK_FS_TYPE_EXT4:
        return "Ext4";
    case TSK_FS_TYPE_FFS1:
    case TSK_FS_TYPE_FFS1B:
        return "UFS1";
    case TSK_FS_TYPE_FFS2:
        return "UFS2";
    case TSK_FS_TYPE_ISO9660:
        return "ISO9660";
    case TSK_FS_TYPE_HFS:
        return "HFS+";
    case TSK_FS_TYPE_HFS_LEGACY:
        return "HFS";
    case TSK_FS_TYPE_APFS:
        return "APFS";
    case TSK_FS_TYPE_YAFFS2:
        return "YAFFS2";
    default:
        return "";
    }
}

int32_t TVolumeProbe::fileSystemFlags(uint32_t tskType)
{
    switch (tskType) {
    case TSK_FS_TYPE_NTFS:
        return FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
               FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_VOLUME_QUOTAS |
               FILE_SUPPORTS_SPARSE_FILES | FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_OBJECT_IDS |
               FILE_SUPPORTS_ENCRYPTION | FILE_NAMED_STREAMS | FILE_SUPPORTS_HARD_LINKS |
               FILE_SUPPORTS_EXTENDED_ATTRIBUTES | FILE_SUPPORTS_USN_JOURNAL;
    case TSK_FS_TYPE_FAT12:
    case TSK_FS_TYPE_FAT16:
    case TSK_FS_TYPE_FAT32:
    case TSK_FS_TYPE_EXFAT:
        return FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    case TSK_FS_TYPE_ISO9660:
        return FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | FILE_READ_ONLY_VOLUME;
    default:
        return FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
               FILE_SUPPORTS_HARD_LINKS;
    }
}

namespace {

// Products of counts a boot sector gives: a damaged one can give any value, and the
// product then stands at the largest count rather than wrapping around.
int64_t product(int64_t a, int64_t b)
{
    int64_t result = 0;
    if (__builtin_mul_overflow(a, b, &result))
        return (a < 0) != (b < 0) ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return result;
}

} // namespace

void TVolumeProbe::fill(const TTskVolume& volume, TDriveInfo& info)
{
    std::lock_guard<std::mutex> guard(TTskVolume::libraryLock());
    TSK_FS_INFO* fs = volume.fs();
    const uint32_t type = fs->ftype;
    unsigned char boot[512] = {};
    const bool haveBoot =
        tsk_img_read(volume.image(), volume.offset(), reinterpret_cast<char*>(boot), sizeof boot) == 512;

    TGeometry g;
    if (haveBoot && (type == TSK_FS_TYPE_FAT12 || type == TSK_FS_TYPE_FAT16 || type == TSK_FS_TYPE_FAT32)) {
        readFatGeometry(volume, boot, g);
        readRootEntries(volume, g);
    } else if (haveBoot && type == TSK_FS_TYPE_EXFAT) {
        readExfatGeometry(boot, g);
        readRootEntries(volume, g);
    } else if (haveBoot && type == TSK_FS_TYPE_NTFS) {
        readNtfsGeometry(boot, g);
        readNtfsVolumeFile(volume, g);
    }
    if (TSK_FS_TYPE_ISEXT(type)) {
        // The ext2/3/4 volume name: 16 bytes at offset 120 of the superblock at 1024.
        char name[16] = {};
        if (tsk_img_read(volume.image(), volume.offset() + 1024 + 120, name, sizeof name) == sizeof name) {
            g.label = trimRight(std::string(name, strnlen(name, sizeof name)));
        }
    }
    if (haveBoot && (TSK_FS_TYPE_ISFAT(type) || type == TSK_FS_TYPE_NTFS)) {
        std::memcpy(info.OEM_ID, boot + 3, sizeof info.OEM_ID);
    }
    // Anything the boot sector did not give comes from the library's own view.
    if (g.bytesPerSector <= 0 || g.sectorsPerCluster <= 0) {
        g.bytesPerSector = fs->dev_bsize > 0 ? fs->dev_bsize : 512;
        g.sectorsPerCluster = std::max<int64_t>(1, fs->block_size / g.bytesPerSector);
        g.totalSectors = product(static_cast<int64_t>(fs->block_count), g.sectorsPerCluster);
        g.totalClusters = static_cast<int64_t>(fs->block_count);
    }
    if (g.totalClusters <= 0) {
        g.totalClusters = g.totalSectors / g.sectorsPerCluster;
    }
    // Other file systems: the count the volume records, never a walk over its blocks,
    // which takes seconds on a large volume and would freeze the drive list.
    if (g.freeClusters < 0 && !TSK_FS_TYPE_ISFAT(type) && type != TSK_FS_TYPE_NTFS) {
        const int64_t freeBlocks = recordedFreeBlocks(volume);
        if (freeBlocks >= 0) {
            const int64_t sectorsPerBlock = std::max<int64_t>(1, fs->block_size / g.bytesPerSector);
            g.freeClusters = product(freeBlocks, sectorsPerBlock) / g.sectorsPerCluster;
        }
    }
    if (g.serial == 0 && fs->fs_id_used > 0) {
        uint64_t serial = 0;
        for (size_t i = 0; i < std::min<size_t>(fs->fs_id_used, 8); ++i) {
            serial |= static_cast<uint64_t>(fs->fs_id[i]) << (8 * i);
        }
        g.serial = static_cast<int64_t>(serial);
    }
    tsk_error_reset();

    const int64_t bytesPerCluster = product(g.bytesPerSector, g.sectorsPerCluster);
    TTextCodec::copyToField(fileSystemName(type), info.FileSystemName, sizeof info.FileSystemName);
    TTextCodec::copyToField(g.label, info.VolumeLabel, sizeof info.VolumeLabel);
    info.FileSystemType = static_cast<int32_t>(type);
    info.SerialNumber = g.serial;
    info.SectorsPerCluster = static_cast<int32_t>(g.sectorsPerCluster);
    info.BytesPerSector = static_cast<int32_t>(g.bytesPerSector);
    info.BytesPerCluster = static_cast<int32_t>(bytesPerCluster);
    info.TotalSectors = g.totalSectors;
    info.TotalClusters = g.totalClusters;
    // -1: the free space is not known.
    info.TotalClustersFree = g.freeClusters < 0 ? -1 : std::min(g.freeClusters, g.totalClusters);
    info.SpaceTotal = product(g.totalClusters, bytesPerCluster);
    info.SpaceFree = info.TotalClustersFree < 0 ? -1 : product(info.TotalClustersFree, bytesPerCluster);
    info.FileSystemFlags = fileSystemFlags(type);
    info.SectorsPerTrack = g.sectorsPerTrack;
    info.Heads = g.heads;
    info.TracksPerCylinder = g.heads;
    if (g.sectorsPerTrack > 0 && g.heads > 0) {
        info.Cylinders = g.totalSectors / product(g.sectorsPerTrack, g.heads);
    }
}
