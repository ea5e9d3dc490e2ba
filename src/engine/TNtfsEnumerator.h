#pragma once

#include "engine/TEntryEnumerator.h"
#include "engine/TMftReadAhead.h"

#include <tsk/libtsk.h>

#include "engine/format/TAllocationMap.h"
#include "engine/format/TMftRecord.h"
#include "engine/format/TNtfsIndex.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

// One call per MFT record: the record number is the id, the $FILE_NAME parent
// reference the parent id. Records that hold no file (never used, unreadable,
// extension records) come back as nullptr.
//
// After the last record come the entries learnt from the folder indexes ($I30), and the
// count grows by their number:
// - deleted records that lost their $FILE_NAME, with the name and parent an index entry
//   referring to them still holds (their id stays their record number);
// - deleted entries that survive only as stale index entries, their own record reused
//   or gone. They have a name, times, a size and a parent but no data; their ids follow
//   the MFT's record count (record count + 0, + 1, ...), so they never clash with a
//   record number, and addressOf has no library address for them.
class TNtfsEnumerator : public TEntryEnumerator
{
public:
    // fullScan: read the slack of every live folder's index blocks too (a quick scan reads
    // deleted folders' indexes whole, and of live ones the root and the unused blocks).
    // ownReader: file records are read from the MFT in large chunks and parsed in place
    // (TMftRecord); records that parser refuses, folders and the file system's own files
    // are still read through the library. Off: every record through the library.
    explicit TNtfsEnumerator(std::shared_ptr<TTskVolume> volume, bool fullScan = false,
                             bool ownReader = true);
    ~TNtfsEnumerator() override;

    int64_t count() const override { return m_count; }
    const TFileInfo* next() override;
    int64_t addressOf(int64_t id) const override;

private:
    // A deleted record without a name, kept until the indexes are read.
    struct TNameless
    {
        TFileInfo info; // everything but the name and parent
        uint16_t sequence = 0;
    };
    // An entry served after the records.
    struct TExtra
    {
        TFileInfo info; // name excluded
        std::u16string name;
    };

    bool fillRecord(int64_t recordNumber);
    enum class TOwnRead
    {
        Filled,
        Empty,
        Library,
    };
    // Fills m_record from the chunk of the MFT that holds the record, or says that the
    // record is no entry or must be read through the library.
    TOwnRead fillOwnRecord(int64_t recordNumber);
    // Remembers a raw record header's sequence number and flags (as readHeader does) and
    // tells whether it is an extension record; false when it is no file record.
    bool noteHeader(int64_t recordNumber, const uint8_t* header, bool& extension);
    // Takes the library lock for the record being filled, if it is not held yet.
    void holdLibrary();
    // Starts reading the MFT ahead on a thread of its own; false when its runs do not allow it.
    bool startReadAhead();
    // The rating bits of a deleted file's record: its data in the record, or how many of
    // the clusters its data runs name are in use now.
    int64_t rateData(TSK_FS_FILE* file);
    int64_t rateRuns(const TMftRecord& record);
    // Reads the extension records a listed file's base record names and joins what they
    // hold into record: the preferred name and the unnamed stream's size. False when any
    // of it is not read whole and unambiguously: the library reads the file then.
    bool joinExtensions(int64_t recordNumber, TMftRecord& record);
    struct TRatedRun
    {
        uint64_t address = 0;
        uint64_t length = 0;
        bool sparse = false;
        bool lost = false;
    };
    // The rating bits of a stream of size bytes from its runs.
    int64_t rateStream(const TRatedRun* runs, size_t count, uint64_t size);
    // Counted runs: clusters and how many of them are in use now.
    void countRun(uint64_t address, uint64_t length, bool lost, uint64_t& total, uint64_t& used);
    // Counts the clusters of size that described clusters of runs do not reach as lost.
    void countUndescribed(uint64_t size, uint64_t described, uint64_t& total, uint64_t& used);
    // Reads $Bitmap into m_allocation, once; the map stays empty when it cannot be read.
    void loadAllocation();
    // A folder's $I30 index as its record describes it, read by either reader.
    struct TIndexRun
    {
        uint64_t offset = 0; // in clusters from the attribute's start
        uint64_t address = 0;
        uint64_t length = 0;
        bool unmapped = false; // sparse, or lost with a record that could not be read
    };
    struct TIndexParts
    {
        const uint8_t* root = nullptr; // $INDEX_ROOT's content
        size_t rootLength = 0;
        bool allocation = false; // a non-resident $INDEX_ALLOCATION
        uint64_t allocationSize = 0;
        std::vector<TIndexRun> runs;
        bool bitmap = false;
        std::vector<uint8_t> bits; // $BITMAP's content; empty when it could not be read
    };
    static void indexPartsOf(TSK_FS_FILE* file, TIndexParts& parts);
    static void indexPartsOf(const TMftRecord& record, TIndexParts& parts);
    // Opens a folder's record and reads its whole index; false when the record does not open.
    bool readWholeIndex(uint64_t record, bool deleted, std::vector<TNtfsIndex::TEntry>& entries);
    // Reads a folder's index and keeps its entries. wholeIndex false: the root and the
    // blocks the index bitmap marks unused only.
    void readFolderIndex(const TIndexParts& parts, const TNtfsIndex::TFolder& folder, bool wholeIndex,
                         std::vector<TNtfsIndex::TEntry>& out);
    void readUnusedBlocks(const TIndexParts& parts, uint32_t blockSize, const TNtfsIndex::TFolder& folder,
                          std::vector<TNtfsIndex::TEntry>& out);
    // The whole allocation into m_indexBuffer, a run at a time; false when there is none to read.
    bool readAllocation(const TIndexParts& parts);
    void noteFolderIndex(const TIndexParts& parts, int64_t recordNumber, uint16_t sequence, bool deleted);
    // Turns what the walk gathered into the entries served after the records.
    void finishWalk();
    // Whether any record held another entry before its present one.
    bool recordsWereReused() const;
    void readDeletedFolders();
    // Reads every live folder's index whole: its stale entries join the others, its live
    // entries that refer to a nameless record go to references.
    void readLiveFolders(std::vector<TNtfsIndex::TEntry>& references);
    void resolveNameless(const std::vector<TNtfsIndex::TEntry>& candidates,
                         const std::vector<TNtfsIndex::TEntry>& references);
    // Names nameless records from stale entries that lost their file reference.
    void nameByTimeAndSize(const std::vector<TNtfsIndex::TEntry>& candidates,
                           std::vector<const TNtfsIndex::TEntry*>& best) const;
    void listIndexOnly(const std::vector<TNtfsIndex::TEntry>& candidates);
    // Reads the raw record header: remembers its sequence number and flags, and says
    // whether the record is an extension of another record (its attributes continue a
    // file whose base record lies elsewhere).
    bool readHeader(int64_t recordNumber, bool& extension);
    // Whether a parent reference (record number and sequence number) still names the
    // folder it named when the entry was written: a record in use must carry the same
    // sequence number; a free one the same or the next (it is raised when freed).
    bool parentStillHolds(uint64_t parent, uint16_t sequence);

    int64_t m_count = 0;   // records, then records and the entries from the indexes
    int64_t m_records = 0; // MFT records
    int64_t m_next = 0;
    bool m_walked = false;
    bool m_fullScan = false;
    time_t m_newestSeconds = 0; // the newest time any record holds: bounds index entry times
    std::vector<TNtfsIndex::TEntry> m_stale;
    std::vector<TNameless> m_nameless;
    std::vector<uint64_t> m_liveFolders;
    std::vector<uint64_t> m_deletedFolders;
    // Parent and record of each deleted record listed.
    std::vector<std::pair<uint64_t, uint64_t>> m_deletedChildren;
    // Hashes of parent and name already listed, in the folders that have index-only entries.
    std::vector<uint64_t> m_knownNames;
    std::vector<TExtra> m_extras;
    std::vector<uint8_t> m_indexBuffer;
    TSK_FS_FILE* m_file = nullptr;
    TSK_FS_FILE* m_mft = nullptr; // $MFT itself, to read record headers
    int64_t m_recordSize = 0;
    // Per record: kHeaderKnown | in-use and directory flags << 16 | sequence number.
    std::vector<uint32_t> m_headers;
    // The MFT read in chunks: its $DATA runs and the reader.
    const TSK_FS_ATTR* m_mftData = nullptr;
    bool m_ownReader = false;
    TMftRecord m_parsed;
    std::vector<TRatedRun> m_ratedRuns;
    TMftRecord m_extension;
    std::vector<uint8_t> m_extensionBytes;
    std::vector<uint8_t> m_listBytes;   // a non-resident attribute list's content
    uint8_t m_joinedName[2 * 255] = {}; // UTF-16LE, a name taken from an extension record
    std::unique_ptr<TMftReadAhead> m_readAhead;
    std::unique_lock<std::mutex>* m_guard = nullptr; // the lock of the record being filled
    TAllocationMap m_allocation;
    bool m_allocationRead = false;
};
