#pragma once

#include <cstdint>

// How much of a deleted file's data is still in place, as the flag_RATING_ and
// flag_PERCENT_ bits of an engine record carry it, from a count of its clusters in use.
//
// Two cases differ in what is known of where the data lies:
// - Known clusters (NTFS data runs, an exFAT file stored as one run): none in use is
//   intact, all in use overwritten, anything between partial with its share.
// - Assumed clusters (a deleted FAT file, whose chain the file system clears, and an
//   exFAT file kept in a FAT chain): only the first cluster is known; the others are
//   taken to follow it on disk, as the recovery reads them. The first cluster in use is
//   overwritten. Otherwise a file of one cluster, or one whose assumed clusters are all
//   free, is intact: a FAT driver gives a growing file the next free cluster, so a file
//   written into free space lies in one piece unless clusters in use were in its way.
//   When some of the assumed clusters are in use the volume cannot tell whether they
//   were in the way (the file went on past them) or were given to other data since (it
//   is partly overwritten): that file is a guess, with the share in use.
class TRecoveryRating
{
public:
    // The share of used in total as a partial rating prints it: rounded, but never 0 or
    // 100 for a share between none and all.
    static int percent(uint64_t used, uint64_t total);
    // Flag bits for total known clusters of which used are in use.
    static int64_t knownClusters(uint64_t used, uint64_t total);
    // Flag bits for total clusters from a known first one, the others assumed to follow it;
    // used counts the clusters in use among all of them, the first included.
    static int64_t assumedClusters(bool firstUsed, uint64_t used, uint64_t total);

    // The rating code (flag_RATING_MASK bits) and the percent of a record's flags.
    static int64_t rating(int64_t flags);
    static int percentOf(int64_t flags);
};
