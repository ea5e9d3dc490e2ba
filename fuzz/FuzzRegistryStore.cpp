// The settings file's bytes as the store reads them, then the written form read back:
// what the store saves from a damaged file must read as the same keys and values.
#include "settings/TRegistryStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TRegistryStore::TData parsed = TRegistryStore::Parse(bytes);
    for (const TRegistryStore::TKeyData& key : parsed) {
        if (key.Names.size() != key.Values.size()) {
            std::abort();
        }
        (void)TRegistryStore::NormalizeKeyPath(key.Path);
    }
    const QByteArray written = TRegistryStore::Serialize(parsed);
    const TRegistryStore::TData again = TRegistryStore::Parse(written);
    if (TRegistryStore::Serialize(again) != written) {
        std::abort(); // saving twice changes the file
    }
    return 0;
}
