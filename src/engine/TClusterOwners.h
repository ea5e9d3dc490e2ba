#pragma once

#include <tsk/libtsk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class TTskVolume;

// Which live files now hold the clusters of a deleted file that are in use again.
//
// The deleted file's clusters are the ones a recovery copy reads: its data runs on NTFS,
// its clusters from the first one on, contiguously, on FAT and exFAT. Those the volume
// marks in use are collected as byte ranges; one walk of the live folder tree then
// follows every live entry's clusters (NTFS run lists, FAT and exFAT chains, as the
// library maps them) and takes off what each one covers, until nothing is left.
class TClusterOwners
{
public:
    struct TResult
    {
        // Paths of the first owners found, "/"-separated from the root.
        std::vector<std::string> Paths;
        // All owners found.
        int64_t Count = 0;
    };

    // Finds the owners of the deleted entry at the library address; false with a reason
    // when the entry cannot be read or is no deleted file. Takes the library lock.
    static bool find(const std::shared_ptr<TTskVolume>& volume, uint64_t address, size_t listed,
                     TResult& result, std::string& error);

private:
    explicit TClusterOwners(TSK_FS_INFO* fs, size_t listed) : m_fs(fs), m_listed(listed) {}

    // The byte ranges the copy of the deleted file reads.
    bool collectFat(TSK_FS_FILE* file, std::vector<std::pair<uint64_t, uint64_t>>& ranges);
    void collectRuns(TSK_FS_FILE* file, std::vector<std::pair<uint64_t, uint64_t>>& ranges) const;
    // Keeps the parts of ranges the volume marks in use, in steps of unit bytes.
    void keepUsed(const std::vector<std::pair<uint64_t, uint64_t>>& ranges, uint64_t unit);
    // Takes [from, to) off what is left to find; true when it covered any of it.
    bool claim(uint64_t from, uint64_t to);
    TSK_WALK_RET_ENUM visit(TSK_FS_FILE* file, const char* path);
    static TSK_WALK_RET_ENUM visitEntry(TSK_FS_FILE* file, const char* path, void* self);

    TSK_FS_INFO* m_fs;
    size_t m_listed;
    // What is left to find: start -> end, byte offsets in the file system, disjoint.
    std::map<uint64_t, uint64_t> m_left;
    std::unordered_set<TSK_INUM_T> m_seen;
    TResult m_result;
};
