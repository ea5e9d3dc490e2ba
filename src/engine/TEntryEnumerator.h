#pragma once

#include "engine/VantrelLib.h"

#include <cstdint>
#include <memory>

class TTskVolume;

// Streams the entries of one opened file system as engine records.
class TEntryEnumerator
{
public:
    explicit TEntryEnumerator(std::shared_ptr<TTskVolume> volume) : m_volume(std::move(volume)) {}
    virtual ~TEntryEnumerator() = default;
    TEntryEnumerator(const TEntryEnumerator&) = delete;
    TEntryEnumerator& operator=(const TEntryEnumerator&) = delete;

    // Number of records the caller should expect (the NTFS loop bound). An enumerator
    // that learns the volume as it goes revises it; callers read it again for progress.
    virtual int64_t count() const = 0;
    // The next record, valid until the next call; nullptr at the end (or, on NTFS,
    // for a record slot that holds no entry).
    virtual const TFileInfo* next() = 0;
    // The library's metadata address of the entry with this engine id, or -1. The NTFS
    // enumerator answers while its next() runs on another thread.
    virtual int64_t addressOf(int64_t id) const = 0;

    const std::shared_ptr<TTskVolume>& volume() const { return m_volume; }

protected:
    std::shared_ptr<TTskVolume> m_volume;
    TFileInfo m_record{};
};
