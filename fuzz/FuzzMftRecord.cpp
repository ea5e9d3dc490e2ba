// One NTFS file record as the engine's MFT reader parses it. Bytes 0-3 give the volume's
// cluster count; the rest is the record, cut to whole 512-byte sectors (at most 4 KiB), read
// both as a base record and as an extension record.
#include "engine/format/TMftAttributeList.h"
#include "engine/format/TMftRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void checkRuns(const TMftRecord& parsed, uint32_t clusters)
{
    if (parsed.runCount > TMftRecord::kMaxRuns || parsed.listRunCount > TMftRecord::kMaxListRuns) {
        std::abort();
    }
    for (size_t i = 0; i < parsed.runCount; ++i) {
        const TMftRecord::TRun& run = parsed.runs[i];
        if (!run.sparse && (run.address > clusters || run.length > clusters - run.address)) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4 + TMftRecord::kSectorStride) {
        return 0;
    }
    uint32_t clusters = 0;
    std::memcpy(&clusters, data, sizeof clusters);
    const size_t length =
        std::min<size_t>((size - 4) / TMftRecord::kSectorStride, 8) * TMftRecord::kSectorStride;
    std::vector<uint8_t> record(data + 4, data + 4 + length);
    TMftRecord parsed;
    // Read as an extension record first (its own copy: parsing puts the saved bytes back).
    std::vector<uint8_t> extension = record;
    if (parsed.parseExtension(extension.data(), extension.size(), clusters) != TMftRecord::TResult::Refused) {
        checkRuns(parsed, clusters);
        if (parsed.name != nullptr &&
            (parsed.name < extension.data() ||
             parsed.name + size_t{parsed.nameLength} * 2 > extension.data() + extension.size())) {
            std::abort();
        }
    }
    if (parsed.parse(record.data(), record.size(), clusters) == TMftRecord::TResult::Refused) {
        return 0;
    }
    checkRuns(parsed, clusters);
    // What a parsed record hands out lies inside it and inside the volume. A record that
    // lists its attributes may hold its name elsewhere.
    if (parsed.hasAttributeList) {
        if (parsed.attributeList != nullptr) {
            if (parsed.attributeList < record.data() ||
                parsed.attributeList + parsed.attributeListLength > record.data() + record.size()) {
                std::abort();
            }
            TMftAttributeList list;
            list.read(parsed.attributeList, parsed.attributeListLength, 0);
        }
        if (parsed.name == nullptr) {
            return 0;
        }
    }
    if (parsed.name == nullptr || parsed.name < record.data() ||
        parsed.name + size_t{parsed.nameLength} * 2 > record.data() + record.size()) {
        std::abort();
    }
    return 0;
}
