#pragma once

#include "engine/TEntryEnumerator.h"

#include <tsk/libtsk.h>

#include <string>
#include <vector>

// FAT, exFAT and every other file system: walks the folder tree once, live and
// deleted entries, and hands out dense ids (the root folder is 0, then 1, 2, ...
// in walk order, every folder before its entries). A folder whose content was
// already walked is not walked again, so damaged or looping trees end.
class TTreeEnumerator : public TEntryEnumerator
{
public:
    explicit TTreeEnumerator(std::shared_ptr<TTskVolume> volume);

    int64_t count() const override { return static_cast<int64_t>(m_items.size()); }
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

    void walk();
    void walkFolder(const TPendingFolder& folder, std::vector<TPendingFolder>& live,
                    std::vector<TPendingFolder>& deleted);
    bool isHiddenEntry(const TSK_FS_FILE* file, bool inRoot) const;
    TFileTime convertTime(time_t seconds, uint32_t nanoseconds) const;

    std::vector<TItem> m_items;
    size_t m_next = 0;
};
