#pragma once

#include "engine/TEntryEnumerator.h"
#include "engine/format/TAllocationMap.h"
#include "engine/format/TExfatEntrySet.h"
#include "engine/format/TFatLayout.h"

#include <tsk/libtsk.h>

#include <memory>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TExfatVolume;

// FAT, exFAT and every other file system: walks the folder tree once, live and
// deleted entries, and hands out dense ids (the root folder is 0, then 1, 2, ...
// in walk order, every folder before its entries). A folder whose content was
// already walked is not walked again, so damaged or looping trees end.
// The walk is lazy: next() lists one more folder whenever the entries listed so far
// are all handed out, so the caller reports progress and can stop during the walk.
// On FAT12/16/32 the deleted folders are read from the disk itself, their cluster
// chains rebuilt from free clusters (the file system zeroes them on deletion), so the
// entries beyond a deleted folder's first cluster are listed in it with their long names.
// On exFAT the same is done for deleted folders whose later clusters were freed.
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
        uint32_t cluster = 0; // first cluster of a deleted folder read from the disk; 0: read by the library
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
    void readFatGeometry();
    bool readBytes(uint64_t offset, uint8_t* buffer, size_t length) const;
    bool isFreeCluster(uint32_t cluster) const;
    // The rating bits of a deleted file: how many of the clusters from the first one its
    // entry names are in use now (see TRecoveryRating). Holds the library lock.
    int64_t rateItem(const TItem& item);
    // Reads the FAT, or the exFAT allocation bitmap, into m_allocation, once; the map
    // stays empty when it cannot be read.
    void loadAllocation();
    void loadExfatBitmap();
    // A deleted entry's long name, as the library gives it, is replaced by its 8.3 name
    // when the long-name slots before the entry do not carry its checksum.
    void checkLongName(uint64_t address, std::u16string& name) const;
    // Before the deleted folders are walked: reads the free clusters that hold folder
    // entries and rebuilds the chains of the deleted folders among them.
    void prepareRebuild();
    // Opens the library's list of orphan entries (kept for the orphan listing) and hands
    // out each one's address.
    // Reads each free cluster the queue names once, up to a bound; `visit` gets its bytes
    // and may queue more clusters.
    void readFreeClusters(std::vector<uint32_t>& queue, size_t clusterBytes,
                          const std::function<bool(uint32_t)>& isFree,
                          const std::function<uint64_t(uint32_t)>& offsetOf,
                          const std::function<void(uint32_t, std::span<const uint8_t>)>& visit);
    void forEachOrphan(const std::function<void(uint64_t address)>& visit);
    // Lists a deleted folder from its rebuilt chain.
    void walkRebuiltFolder(const TPendingFolder& folder);
    // exFAT: the free clusters holding entry sets, read from the deleted folders found so
    // far and the library's orphans on, and the chains of the deleted folders among them.
    void prepareExfatRebuild();
    bool isFreeExfatCluster(uint32_t cluster) const;
    // exFAT: the first cluster of the folder whose entry set is at address when its chain
    // was rebuilt past that cluster; 0 otherwise (the library reads it).
    uint32_t exfatChainOf(uint64_t address) const;
    uint32_t exfatChainAt(uint32_t firstCluster) const;
    // exFAT: the entry sets of a rebuilt chain up to its end marker, each with its address
    // and the index in the chain of the cluster its file entry is in.
    struct TRebuiltSet
    {
        uint64_t address;
        size_t clusterIndex;
        TExfatEntrySet set;
    };
    std::vector<TRebuiltSet> rebuiltExfatSets(const std::vector<uint32_t>& chain) const;
    void walkRebuiltExfatFolder(const TPendingFolder& folder);
    // Folders whose first cluster was found but whose own entry was not: each under a
    // stand-in folder record.
    void listLostFolders();
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
    bool m_rebuildPrepared = false;
    bool m_lostFoldersListed = false;
    TFatLayout m_layout;
    // The library's list of orphan entries, opened once: it costs a look at every entry slot.
    TSK_FS_DIR* m_orphanDir = nullptr;
    std::unordered_map<uint32_t, std::vector<uint32_t>> m_chains; // first cluster -> chain
    std::unordered_set<uint32_t> m_walkedClusters;
    size_t m_foldersWalked = 0;
    size_t m_entriesListed = 0;
    TAllocationMap m_allocation;
    bool m_allocationRead = false;
};
