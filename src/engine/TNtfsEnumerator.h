#pragma once

#include "engine/TEntryEnumerator.h"

#include <tsk/libtsk.h>

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
    // True when the raw record is an extension of another record (its attributes
    // continue a file whose base record lies elsewhere).
    bool isExtensionRecord(int64_t recordNumber);

    int64_t m_count = 0;
    int64_t m_next = 0;
    TSK_FS_FILE* m_file = nullptr;
    TSK_FS_FILE* m_mft = nullptr; // $MFT itself, to read record headers
    int64_t m_recordSize = 0;
};
