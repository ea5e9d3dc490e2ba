#pragma once

#include "engine/TEntryEnumerator.h"

#include <tsk/libtsk.h>

#include <cstdint>
#include <vector>

// One call per MFT record: the record number is the id, the $FILE_NAME parent
// reference the parent id. Records that hold no file (never used, unreadable,
// extension records) come back as nullptr.
class TNtfsEnumerator : public TEntryEnumerator
{
public:
    explicit TNtfsEnumerator(std::shared_ptr<TTskVolume> volume);
    ~TNtfsEnumerator() override;

    int64_t count() const override { return m_count; }
    const TFileInfo* next() override;
    int64_t addressOf(int64_t id) const override;

private:
    bool fillRecord(int64_t recordNumber);
    // Reads the raw record header: remembers its sequence number and flags, and says
    // whether the record is an extension of another record (its attributes continue a
    // file whose base record lies elsewhere).
    bool readHeader(int64_t recordNumber, bool& extension);
    // Whether a parent reference (record number and sequence number) still names the
    // folder it named when the entry was written: a record in use must carry the same
    // sequence number; a free one the same or the next (it is raised when freed).
    bool parentStillHolds(uint64_t parent, uint16_t sequence);

    int64_t m_count = 0;
    int64_t m_next = 0;
    TSK_FS_FILE* m_file = nullptr;
    TSK_FS_FILE* m_mft = nullptr; // $MFT itself, to read record headers
    int64_t m_recordSize = 0;
    // Per record: kHeaderKnown | in-use and directory flags << 16 | sequence number.
    std::vector<uint32_t> m_headers;
};
