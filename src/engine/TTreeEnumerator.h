#pragma once

#include "engine/TEntryEnumerator.h"

#include <tsk/libtsk.h>

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class TExfatVolume;

// FAT, exFAT and every other file system: walks the folder tree once, live and
// deleted entries, and hands out dense ids (the root folder is 0, then 1, 2, ...
// in walk order, every folder before its entries). A folder whose content was
// already walked is not walked again, so damaged or looping trees end.
// The walk is lazy: next() lists one more folder whenever the entries listed so far
// are all handed out, so the caller reports progress and can stop during the walk.
class TTreeEnumerator : public TEntryEnumerator
{
public:
    explicit TTreeEnumerator(std::shared_ptr<TTskVolume> volume);
    ~TTreeEnumerator() override;

    // The entries listed so far plus a guess for the folders still to walk (their
    // number times the mean entries per folder walked); exact once the walk is over.
    int64_t count() const override;
    const TFileInfo* next() override;
    int64_t addressOf(int64_t id) const override;

    // Upper bound on entries of one walk; a hostile image cannot grow memory without end.
    static constexpr size_t kMaxEntries = 20'000'000;

private:
    struct TItem
    {
        int64_t parent;
        int64_t flags;
        int64_t size;
        TFileTime created, accessed, modified;
        uint64_t address;
        std::u16string name;
    };
    struct TPendingFolder
    {
        uint64_t address;
        int64_t id;
        bool deleted;
    };

    void addRoot();
    // Lists pending folders until one yields entries or none is left. Holds the library lock.
    void walkMore();
    bool walkDone() const
    {
        return (m_live.empty() && m_deleted.empty() && m_orphansListed) || m_items.size() >= kMaxEntries;
    }
    void walkFolder(const TPendingFolder& folder);
    // The item for one directory entry of the library, its times converted.
    TItem makeItem(int64_t parent, const TSK_FS_FILE* file, bool isFolder, bool isDeleted) const;
    // Lists the deleted entries no folder leads to (the library's orphans), grouped by
    // the cluster that holds their entry: each group under a stand-in folder record
    // (flag_EMPTY, no name) that a reader shows as a lost folder.
    void listOrphans();
    // The cluster holding the directory entry with this address on a FAT volume; 0 when
    // that cannot be told (other file systems, the FAT12/16 root folder).
    uint64_t entryCluster(uint64_t address) const;
    void readFatGeometry();
    bool isHiddenEntry(const TSK_FS_FILE* file, bool inRoot) const;
    TFileTime convertTime(time_t seconds, uint32_t nanoseconds) const;
    // exFAT: the size and exact times of an item from its own directory entry set (the
    // library drops the 10 ms parts and the UTC offset, and knows no size for orphans).
    // The times are UTC instants where the entry records its offset, else its local
    // calendar fields as FAT times are carried (see TExfatEntrySet).
    void applyExfatSet(TItem& item) const;
    // exFAT: whether the entry set at address is a folder; the library does not always tell
    // for orphans, whose folders would then go unwalked.
    bool isExfatFolder(uint64_t address, bool fallback) const;

    std::unique_ptr<TExfatVolume> m_exfat; // exFAT volumes only
    std::vector<TItem> m_items;
    size_t m_next = 0;
    // Live folders are walked first, so that a deleted folder entry pointing at clusters
    // a live folder owns is the one that is skipped, not the live folder.
    std::vector<TPendingFolder> m_live;
    std::vector<TPendingFolder> m_deleted;
    std::unordered_set<uint64_t> m_walkedAddresses;
    std::unordered_set<uint64_t> m_walkedBlocks;
    bool m_orphansListed = false;
    // FAT layout in sectors, from the boot sector; m_sectorSize 0 when unknown.
    uint32_t m_sectorSize = 0;
    uint32_t m_clusterSectors = 0;
    uint64_t m_firstEntrySector = 0;   // where entry addresses start counting
    uint64_t m_firstClusterSector = 0; // where cluster 2 starts
    size_t m_foldersWalked = 0;
    size_t m_entriesListed = 0;
};
