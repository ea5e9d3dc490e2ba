#include "engine/format/TFatDirectory.h"
#include "engine/format/TLittleEndian.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

constexpr uint8_t kDeletedMark = 0xE5;
constexpr uint8_t kLongNameAttributes = 0x0F;
constexpr uint8_t kVolumeLabel = 0x08;
constexpr uint8_t kFolder = 0x10;
// Characters a short name never holds; a long name's character of this kind becomes '_'.
constexpr std::string_view kReplacedInShortNames = "+,;=[]";
constexpr std::string_view kNeverInShortNames = "\"*+,./:;<=>?[\\]|";

size_t slotCount(std::span<const uint8_t> buffer)
{
    return buffer.size() / TFatDirectory::kSlotSize;
}

const uint8_t* slotAt(std::span<const uint8_t> buffer, size_t index)
{
    return buffer.data() + index * TFatDirectory::kSlotSize;
}

bool namesMatch(const uint8_t* slot, std::string_view name)
{
    return std::memcmp(slot, name.data(), 11) == 0;
}

// The 13 UTF-16 characters of one long-name slot, in name order.
void appendLongNameCharacters(const uint8_t* slot, std::u16string& out)
{
    static constexpr size_t kOffsets[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (size_t offset : kOffsets) {
        out.push_back(static_cast<char16_t>(TLittleEndian::U16(slot + offset)));
    }
}

// The long name spelled by slots listed from the one next to the 8.3 entry outward;
// empty when it is not a well-formed name.
std::u16string longNameOf(std::span<const uint8_t> buffer, const std::vector<size_t>& nearestFirst)
{
    std::u16string raw;
    for (size_t index : nearestFirst) {
        appendLongNameCharacters(slotAt(buffer, index), raw);
    }
    const size_t end = raw.find(u'\0');
    std::u16string name = raw.substr(0, end);
    // After the terminator only padding may follow; a name must not be padding itself.
    if (name.empty() || name.find(u'\xFFFF') != std::u16string::npos) {
        return {};
    }
    for (char16_t c : name) {
        if (c < 0x20 || c == u'/' || c == u'\\') {
            return {};
        }
    }
    return name;
}

// Short names hold OEM bytes; the volume's code page is not recorded, so the two
// common Western ones are tried.
class TOemCodec
{
public:
    static std::string encode(const char* codePage, char16_t c)
    {
        const char in[2] = {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        return convert(codePage, "UTF-16LE", in, sizeof in);
    }

    static char16_t decode(uint8_t byte)
    {
        if (byte < 0x80) {
            return static_cast<char16_t>(byte);
        }
        const char in[1] = {static_cast<char>(byte)};
        const std::string out = convert("UTF-16LE", "IBM437", in, sizeof in);
        if (out.size() != 2) {
            return u'\xFFFD';
        }
        return static_cast<char16_t>(static_cast<uint8_t>(out[0]) | (static_cast<uint8_t>(out[1]) << 8));
    }

private:
    // One character's bytes in another encoding; empty when it has none there.
    static std::string convert(const char* to, const char* from, const char* data, size_t size)
    {
        static std::mutex lock;
        std::lock_guard<std::mutex> guard(lock);
        iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            return {};
        }
        char out[8] = {};
        char* inPtr = const_cast<char*>(data);
        char* outPtr = out;
        size_t inLeft = size;
        size_t outLeft = sizeof out;
        const size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        iconv_close(cd);
        return done == static_cast<size_t>(-1) ? std::string() : std::string(out, sizeof out - outLeft);
    }
};

// A DOS time and date pair; all zeros stands for "not set".
bool isPlausibleTime(uint16_t time, uint16_t date)
{
    if (time == 0 && date == 0) {
        return true;
    }
    const unsigned month = (date >> 5) & 0x0F;
    const unsigned day = date & 0x1F;
    return (time >> 11) <= 23 && ((time >> 5) & 0x3F) <= 59 && (time & 0x1F) <= 29 && month >= 1 &&
           month <= 12 && day >= 1;
}

char16_t upperLatin(char16_t c)
{
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return static_cast<char16_t>(c - 0x20);
    }
    return c;
}

} // namespace

uint8_t TFatDirectory::checksum(const uint8_t* shortName)
{
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i) {
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + shortName[i]);
    }
    return sum;
}

bool TFatDirectory::isLongNameSlot(const uint8_t* slot)
{
    const uint8_t order = slot[0];
    const bool orderValid =
        order == kDeletedMark || ((order & 0x1F) >= 1 && (order & 0x1F) <= 20 && (order & ~0x5F) == 0);
    return orderValid && (slot[11] & 0x3F) == kLongNameAttributes && slot[12] == 0 &&
           TLittleEndian::U16(slot + 26) == 0;
}

bool TFatDirectory::isPlausibleShortEntry(const uint8_t* slot)
{
    if (slot[0] == 0 || (slot[11] & 0xC0) != 0 || (slot[11] & 0x3F) == kLongNameAttributes) {
        return false;
    }
    const bool dot = namesMatch(slot, ".          ") || namesMatch(slot, "..         ");
    if (dot) {
        return (slot[11] & kFolder) != 0;
    }
    for (int i = 0; i < 11; ++i) {
        const uint8_t c = slot[i];
        if (i == 0 && (c == kDeletedMark || c == 0x05)) {
            continue;
        }
        if (c < 0x20 || kNeverInShortNames.find(static_cast<char>(c)) != std::string_view::npos) {
            return false;
        }
    }
    // Unused bits clear and times that a clock can show: ordinary data rarely passes all.
    if (slot[0] == ' ' || (slot[12] & ~0x18) != 0 || slot[13] > 199) {
        return false;
    }
    return isPlausibleTime(TLittleEndian::U16(slot + 14), TLittleEndian::U16(slot + 16)) &&
           isPlausibleTime(TLittleEndian::U16(slot + 22), TLittleEndian::U16(slot + 24)) &&
           (TLittleEndian::U16(slot + 18) == 0 || isPlausibleTime(0, TLittleEndian::U16(slot + 18)));
}

bool TFatDirectory::isFolderHead(std::span<const uint8_t> buffer, uint32_t cluster, uint32_t* parent)
{
    if (slotCount(buffer) < 2) {
        return false;
    }
    const uint8_t* self = slotAt(buffer, 0);
    const uint8_t* up = slotAt(buffer, 1);
    if (!namesMatch(self, ".          ") || !namesMatch(up, "..         ") || (self[11] & kFolder) == 0 ||
        (up[11] & kFolder) == 0) {
        return false;
    }
    const auto clusterOf = [](const uint8_t* slot) {
        return (static_cast<uint32_t>(TLittleEndian::U16(slot + 20)) << 16) | TLittleEndian::U16(slot + 26);
    };
    if (clusterOf(self) != cluster) {
        return false;
    }
    if (parent != nullptr) {
        *parent = clusterOf(up);
    }
    return true;
}

bool TFatDirectory::holdsOnlyEntries(std::span<const uint8_t> buffer)
{
    bool anything = false;
    bool ended = false;
    for (size_t i = 0; i < slotCount(buffer); ++i) {
        const uint8_t* slot = slotAt(buffer, i);
        if (slot[0] == 0) {
            ended = true;
            continue;
        }
        // Past the end marker a folder holds nothing.
        if (ended || (!isLongNameSlot(slot) && !isPlausibleShortEntry(slot))) {
            return false;
        }
        anything = true;
    }
    return anything;
}

bool TFatDirectory::hasEndMarker(std::span<const uint8_t> buffer)
{
    for (size_t i = 0; i < slotCount(buffer); ++i) {
        if (slotAt(buffer, i)[0] == 0) {
            return true;
        }
    }
    return slotCount(buffer) == 0;
}

std::optional<TFatDirectory::TOpenLongName> TFatDirectory::openLongName(std::span<const uint8_t> buffer)
{
    const size_t count = slotCount(buffer);
    if (count == 0 || !isLongNameSlot(slotAt(buffer, count - 1))) {
        return std::nullopt;
    }
    std::u16string part;
    appendLongNameCharacters(slotAt(buffer, count - 1), part);
    return TOpenLongName{slotAt(buffer, count - 1)[13], part.front()};
}

bool TFatDirectory::continuesLongName(std::span<const uint8_t> buffer, const TOpenLongName& open)
{
    size_t i = 0;
    for (; i < slotCount(buffer) && isLongNameSlot(slotAt(buffer, i)); ++i) {
        if (slotAt(buffer, i)[13] != open.checksum) {
            return false;
        }
    }
    if (i >= slotCount(buffer) || !isPlausibleShortEntry(slotAt(buffer, i))) {
        return false;
    }
    std::array<uint8_t, 11> name{};
    std::memcpy(name.data(), slotAt(buffer, i), 11);
    if (name[0] != kDeletedMark) {
        return TFatDirectory::checksum(name.data()) == open.checksum;
    }
    // The long name starts in the slot next to the entry: here, or the previous cluster's last.
    char16_t first = open.firstCharacter;
    if (i > 0) {
        std::u16string part;
        appendLongNameCharacters(slotAt(buffer, i - 1), part);
        first = part.front();
    }
    return firstCharacterMatches(name, first, open.checksum);
}

bool TFatDirectory::firstCharacterMatches(std::array<uint8_t, 11> shortName, char16_t first, uint8_t checksum)
{
    std::vector<uint8_t> candidates;
    const char16_t upper = upperLatin(first);
    if (upper < 0x80) {
        const bool replaced = kReplacedInShortNames.find(static_cast<char>(upper)) != std::string_view::npos;
        candidates.push_back(replaced ? '_' : static_cast<uint8_t>(upper));
    } else {
        candidates.push_back('_');
        for (const char* codePage : {"IBM850", "IBM437"}) {
            for (char16_t c : {upper, first}) {
                const std::string bytes = TOemCodec::encode(codePage, c);
                if (bytes.size() == 1) {
                    candidates.push_back(static_cast<uint8_t>(bytes[0]));
                }
            }
        }
    }
    for (uint8_t candidate : candidates) {
        // A name starting with 0xE5 stores 0x05 there; the checksum is over what is stored.
        shortName[0] = candidate == kDeletedMark ? 0x05 : candidate;
        if (TFatDirectory::checksum(shortName.data()) == checksum) {
            return true;
        }
    }
    return false;
}

std::vector<TFatDirectory::TEntry> TFatDirectory::parse(std::span<const uint8_t> buffer)
{
    std::vector<TEntry> entries;
    std::vector<size_t> pending; // long-name slots seen since the last 8.3 entry, in disk order
    for (size_t i = 0; i < slotCount(buffer); ++i) {
        const uint8_t* slot = slotAt(buffer, i);
        if (slot[0] == 0) {
            break;
        }
        if (isLongNameSlot(slot)) {
            // A new set starts where the checksum changes or a live set marks its last part.
            if (!pending.empty() && (slotAt(buffer, pending.back())[13] != slot[13] ||
                                     (slot[0] != kDeletedMark && (slot[0] & 0x40)))) {
                pending.clear();
            }
            pending.push_back(i);
            continue;
        }
        if (!isPlausibleShortEntry(slot) || (slot[11] & kVolumeLabel) != 0) {
            pending.clear();
            continue;
        }
        TEntry entry;
        entry.slot = i;
        std::memcpy(entry.shortName.data(), slot, 11);
        entry.attributes = slot[11];
        entry.caseFlags = slot[12];
        entry.firstCluster =
            (static_cast<uint32_t>(TLittleEndian::U16(slot + 20)) << 16) | TLittleEndian::U16(slot + 26);
        entry.size = TLittleEndian::U32(slot + 28);
        entry.deleted = slot[0] == kDeletedMark;
        if (!pending.empty()) {
            const uint8_t sum = slotAt(buffer, pending.back())[13];
            std::vector<size_t> nearestFirst(pending.rbegin(), pending.rend());
            std::u16string name = longNameOf(buffer, nearestFirst);
            bool belongs = false;
            if (!name.empty()) {
                if (entry.deleted) {
                    // The lost first byte is rebuilt from the long name before the check.
                    const size_t start = name.find_first_not_of(u". ");
                    belongs = start != std::u16string::npos &&
                              firstCharacterMatches(entry.shortName, name[start], sum);
                } else {
                    belongs = checksum(entry.shortName.data()) == sum;
                }
            }
            if (belongs) {
                entry.longName = std::move(name);
            }
            pending.clear();
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::u16string TFatDirectory::TEntry::displayName() const
{
    if (!longName.empty()) {
        return longName;
    }
    const auto part = [this](size_t from, size_t length, bool lower) {
        std::u16string text;
        for (size_t i = from; i < from + length; ++i) {
            uint8_t byte = shortName[i];
            if (i == 0 && byte == 0x05) {
                byte = kDeletedMark;
            }
            char16_t c = i == 0 && deleted ? u'_' : TOemCodec::decode(byte);
            if (lower && c >= u'A' && c <= u'Z') {
                c = static_cast<char16_t>(c + 0x20);
            }
            text.push_back(c);
        }
        while (!text.empty() && text.back() == u' ') {
            text.pop_back();
        }
        return text;
    };
    std::u16string name = part(0, 8, (caseFlags & 0x08) != 0);
    const std::u16string extension = part(8, 3, (caseFlags & 0x10) != 0);
    if (!extension.empty()) {
        name += u'.';
        name += extension;
    }
    return name;
}
