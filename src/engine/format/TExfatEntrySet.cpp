#include "engine/format/TExfatEntrySet.h"
#include "engine/format/TLittleEndian.h"

namespace {

constexpr uint8_t kInUse = 0x80;
constexpr uint8_t kFileType = 0x05;   // file entry, in-use bit masked off
constexpr uint8_t kStreamType = 0x40; // stream extension
constexpr uint8_t kNameType = 0x41;   // file name
constexpr uint16_t kFolderAttribute = 0x10;
constexpr uint8_t kNoFatChain = 0x02;
constexpr size_t kNameCharsPerEntry = 15;

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
constexpr int64_t kTicksPer10Ms = 100000LL;

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool isLeap(unsigned year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

TExfatEntrySet::TStamp stampAt(const uint8_t* entry, size_t stampOffset, size_t incrementOffset,
                               size_t utcOffset)
{
    TExfatEntrySet::TStamp stamp;
    stamp.fields = TLittleEndian::U32(entry + stampOffset);
    stamp.increment = incrementOffset != 0 ? entry[incrementOffset] : 0;
    stamp.utcOffset = entry[utcOffset];
    return stamp;
}

} // namespace

TFileTime TExfatEntrySet::toFileTime(const TStamp& stamp)
{
    const uint32_t f = stamp.fields;
    if (f == 0) {
        return 0;
    }
    const unsigned year = 1980 + (f >> 25);
    const unsigned month = (f >> 21) & 0x0F;
    const unsigned day = (f >> 16) & 0x1F;
    const unsigned hour = (f >> 11) & 0x1F;
    const unsigned minute = (f >> 5) & 0x3F;
    const unsigned seconds = (f & 0x1F) * 2;
    static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1] ||
        (month == 2 && day == 29 && !isLeap(year)) || hour > 23 || minute > 59 || seconds > 58) {
        return 0;
    }
    int64_t total = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + seconds;
    if (stamp.utcOffset & kInUse) {
        // Seven-bit two's complement count of quarter hours east of UTC.
        int quarters = stamp.utcOffset & 0x7F;
        if (quarters & 0x40) {
            quarters -= 0x80;
        }
        total -= static_cast<int64_t>(quarters) * 15 * 60;
    }
    // An increment past 1.99 s is not a valid field; it is ignored rather than trusted.
    const int64_t increment = stamp.increment < 200 ? stamp.increment : 0;
    return static_cast<TFileTime>((total + kSecondsFrom1601To1970) * kTicksPerSecond +
                                  increment * kTicksPer10Ms);
}

uint16_t TExfatEntrySet::checksum(std::span<const uint8_t> set)
{
    uint16_t sum = 0;
    for (size_t i = 0; i < set.size(); ++i) {
        if (i == 2 || i == 3) {
            continue; // the checksum field itself
        }
        // Every entry type byte counts with its in-use bit set, so a deleted set checks too.
        const uint8_t byte = i % kEntrySize == 0 ? static_cast<uint8_t>(set[i] | kInUse) : set[i];
        sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
    }
    return sum;
}

std::optional<TExfatEntrySet> TExfatEntrySet::parsePrimary(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kEntrySize || (bytes[0] & 0x7F) != kFileType) {
        return std::nullopt;
    }
    const uint8_t* entry = bytes.data();
    TExfatEntrySet set;
    set.deleted = !(entry[0] & kInUse);
    set.slotCount = size_t{1} + entry[1];
    set.attributes = TLittleEndian::U16(entry + 4);
    set.isFolder = (set.attributes & kFolderAttribute) != 0;
    set.createdStamp = stampAt(entry, 8, 20, 22);
    set.modifiedStamp = stampAt(entry, 12, 21, 23);
    set.accessedStamp = stampAt(entry, 16, 0, 24);
    return set;
}

std::optional<TExfatEntrySet> TExfatEntrySet::parse(std::span<const uint8_t> bytes)
{
    std::optional<TExfatEntrySet> set = parsePrimary(bytes);
    if (!set) {
        return std::nullopt;
    }
    const size_t secondaries = set->slotCount - 1;
    if (secondaries < kMinSecondaries || set->slotCount * kEntrySize > bytes.size()) {
        return std::nullopt;
    }
    const uint8_t state = bytes[0] & kInUse;
    const uint8_t* stream = bytes.data() + kEntrySize;
    if ((stream[0] & kInUse) != state || (stream[0] & 0x7F) != kStreamType) {
        return std::nullopt;
    }
    set->noFatChain = (stream[1] & kNoFatChain) != 0;
    const size_t nameLength = stream[3];
    set->validDataLength = TLittleEndian::U64(stream + 8);
    set->firstCluster = TLittleEndian::U32(stream + 20);
    set->dataLength = TLittleEndian::U64(stream + 24);
    const size_t nameEntries = (nameLength + kNameCharsPerEntry - 1) / kNameCharsPerEntry;
    if (nameLength == 0 || nameEntries > secondaries - 1) {
        return std::nullopt;
    }
    set->name.reserve(nameLength);
    for (size_t i = 0; i < nameEntries; ++i) {
        const uint8_t* entry = bytes.data() + (2 + i) * kEntrySize;
        if ((entry[0] & kInUse) != state || (entry[0] & 0x7F) != kNameType) {
            return std::nullopt;
        }
        for (size_t c = 0; c < kNameCharsPerEntry && set->name.size() < nameLength; ++c) {
            set->name.push_back(static_cast<char16_t>(TLittleEndian::U16(entry + 2 + 2 * c)));
        }
    }
    set->checksumOk =
        checksum(bytes.first(set->slotCount * kEntrySize)) == TLittleEndian::U16(bytes.data() + 2);
    return set;
}

std::vector<TExfatEntrySet::TFound> TExfatEntrySet::scan(std::span<const uint8_t> bytes)
{
    std::vector<TFound> found;
    size_t offset = 0;
    while (offset + kEntrySize <= bytes.size()) {
        std::optional<TExfatEntrySet> set = parse(bytes.subspan(offset));
        if (set && set->checksumOk) {
            const size_t slotCount = set->slotCount;
            found.push_back({offset, std::move(*set)});
            offset += slotCount * kEntrySize;
        } else {
            offset += kEntrySize;
        }
    }
    return found;
}
