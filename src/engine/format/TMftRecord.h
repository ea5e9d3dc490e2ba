#pragma once

#include <cstddef>
#include <cstdint>

// What a parsed record holds besides its run arrays. Each parse clears it in one step; the
// run arrays, over a kilobyte, are read only up to their counts and not cleared.
struct TMftRecordFields
{
    uint16_t sequence = 0;
    uint16_t flags = 0;   // 0x01 in use, 0x02 folder
    uint64_t base = 0;    // base record reference; nonzero for an extension record
    uint64_t created = 0; // FILETIME values of $STANDARD_INFORMATION
    uint64_t modified = 0;
    uint64_t changed = 0; // the record's last change
    uint64_t accessed = 0;
    const uint8_t* name = nullptr; // UTF-16LE inside the record
    uint8_t nameLength = 0;        // in characters
    uint64_t parent = 0;           // whole reference: sequence number in the top 16 bits
    bool nameDos = false;          // the name is the DOS 8.3 one
    bool hasData = false;
    bool dataResident = false;
    bool namedData = false; // a named stream was passed over
    uint64_t dataSize = 0;  // of a non-resident stream: read from the part that starts at 0
    // The clusters of the stream the runs describe, counted from its start; a stream whose
    // record lists its attributes may be split over several records.
    uint64_t dataFirstVcn = 0;
    uint64_t dataLastVcn = 0;
    size_t runCount = 0;
    // An $ATTRIBUTE_LIST: the file's attributes continue in other records. Resident, its
    // content lies in the record; otherwise in the clusters of listRuns.
    bool hasAttributeList = false;
    const uint8_t* attributeList = nullptr;
    size_t attributeListLength = 0;
    size_t listRunCount = 0;
    uint32_t attributeCount = 0; // attributes the record holds
    // A folder's $I30 index: the root's content, the allocation's size and runs, the
    // bitmap's content (resident).
    const uint8_t* indexRoot = nullptr;
    size_t indexRootLength = 0;
    bool hasIndexAllocation = false;
    uint64_t indexAllocationSize = 0;
    size_t indexRunCount = 0;
    const uint8_t* indexBitmap = nullptr;
    size_t indexBitmapLength = 0;

protected:
    // Bit i set: sector i failed its check.
    uint32_t m_tornSectors = 0;
};

// One NTFS file record read in place, without allocating: what a listing needs of a file
// (header, $STANDARD_INFORMATION times, the preferred $FILE_NAME, the unnamed $DATA's size
// and data runs).
//
// The parser only accepts records it can read completely and unambiguously. Anything it
// does not read itself (a non-resident attribute list, non-resident attributes besides
// $DATA, any bound that does not hold) makes it answer Refused, and the caller reads that
// record another way. A base record with a resident attribute list is parsed like any
// other, but its name and data may lie in its extension records: the caller reads them
// with parseExtension and joins what they hold. Named streams are
// checked and passed over: the size and the runs are the unnamed stream's. Of index
// attributes only a folder's $I30 is read. The bytes come from a disk that
// may be damaged or hostile: every offset and length is checked against the record.
class TMftRecord : public TMftRecordFields
{
public:
    enum class TResult
    {
        Parsed,  // every field below is valid
        Torn,    // a sector other than the first failed its update-sequence check; the
                 // fields are valid and lie in intact sectors, but the record's data
                 // description is not to be trusted
        Refused, // read this record another way
    };

    struct TRun
    {
        uint64_t address = 0; // first cluster
        uint64_t length = 0;  // clusters
        bool sparse = false;  // no clusters on disk
    };

    // An extension record may hold a few hundred runs of a fragmented file's stream.
    static constexpr size_t kMaxRuns = 256;
    static constexpr size_t kSectorStride = 512;

    // A non-resident attribute list larger than this, or in more runs, is not read here.
    static constexpr size_t kMaxListRuns = 8;
    static constexpr size_t kLargestList = size_t{1} << 18;

    // The unnamed $DATA's runs and the $I30 allocation's, valid up to runCount and
    // indexRunCount; a non-resident attribute list's, up to listRunCount.
    TRun runs[kMaxRuns];
    TRun indexRuns[kMaxRuns];
    TRun listRuns[kMaxListRuns];

    bool inUse() const { return flags & 0x01; }
    bool isDirectory() const { return flags & 0x02; }

    // Checks the record's update sequence and puts the saved bytes back in place (the
    // buffer is changed), then reads it. size: the record size, a multiple of 512;
    // blockCount: the volume's clusters, which every data run must lie within.
    TResult parse(uint8_t* record, size_t size, uint64_t blockCount);
    // The same for an extension record: base is its base record's reference, neither a
    // $STANDARD_INFORMATION nor a name is required, and the stream's part may start
    // anywhere. A torn extension record is refused.
    TResult parseExtension(uint8_t* record, size_t size, uint64_t blockCount);

private:
    TResult parseRecord(uint8_t* record, size_t size, uint64_t blockCount, bool extension);
    bool applyFixups(uint8_t* record, size_t size);
    bool intact(size_t begin, size_t end) const;
    // Decodes a run list into out (capacity places), or only checks it when out is null;
    // false when it does not decode whole.
    static bool readRuns(const uint8_t* list, size_t length, uint64_t blockCount, TRun* out, size_t& count,
                         size_t capacity = kMaxRuns);
};
