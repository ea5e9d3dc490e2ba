#pragma once

#include <QObject>

#include <cstdint>

// Bytes a viewer shows, read where they lie: an in-memory block, or a file of the open
// drive read in pages. The viewer never owns or copies the whole content; it asks for
// the bytes of the rows it paints and repaints when changed() says more have arrived.
class TByteSource : public QObject
{
    Q_OBJECT

public:
    // byte() for a byte still being read, and for one that cannot be read.
    static constexpr int Pending = -2;
    static constexpr int Unreadable = -1;

    using QObject::QObject;

    // Number of bytes the content has (a file's recorded size).
    virtual int64_t size() const = 0;
    // The byte at offset (0..255), Pending or Unreadable. Offsets outside 0..size()-1
    // are Unreadable. Never blocks on a disk.
    virtual int byte(int64_t offset) const = 0;
    // Asks for the bytes from offset on to be made available (the rows about to be
    // shown); a source in memory has them all and does nothing.
    virtual void prefetch(int64_t offset, int64_t length)
    {
        (void)offset;
        (void)length;
    }

    // Copies up to length bytes from offset into buffer, waiting for them if need be;
    // returns how many were copied (fewer at the end or where the content cannot be
    // read), -1 when none can. May block on a disk: call it off the GUI thread. Safe to
    // call from another thread while the source lives.
    virtual int64_t read(int64_t offset, char* buffer, int64_t length) const
    {
        int64_t copied = 0;
        for (; copied < length; ++copied) {
            const int value = byte(offset + copied);
            if (value < 0)
                break;
            buffer[copied] = char(value);
        }
        return copied > 0 || length == 0 ? copied : -1;
    }
    // How many bytes from the start on can be read: size() for content in memory; for a
    // file, the length up to the first byte found unreadable, -1 while not known.
    virtual int64_t readableLength() const { return size(); }

signals:
    // Bytes became available or turned out unreadable, or the size changed.
    void changed();
};
