// A whole disk image through the engine, as `brevant-cli scan` drives it: the image is
// registered and listed, each volume on it analysed into the drive model and written out
// as the scan report, then enumerated once more with the full scan and a few of its
// files read back.
//
// An input is the image's bytes, or a sparse image: "BRVIMG01", the image size (64-bit),
// then runs of an offset (64-bit), a length (32-bit) and that many bytes; the rest is
// zero. The sparse form keeps seeds of volumes whose structures lie megabytes apart small.
//
// The engine opens every image by path (the catalog probes it, the volume reopens it), so
// each input is written to one file, in /dev/shm where there is one, made anew for every input.
#include "disk/TBaseDisk.h"
#include "disk/TNoScanProgress.h"
#include "disk/TScanReport.h"
#include "engine/VantrelLib.h"
#include "util/TUserPrompt.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Bigger inputs take too long per run to be worth a mutation.
constexpr size_t kMaxImage = 8 * 1024 * 1024;
constexpr int kMaxVolumes = 4;
constexpr int kReadsPerVolume = 4;
constexpr int64_t kMaxCalls = 1000000;

class TSilentPrompt final : public TUserPrompt
{
public:
    Answer Ask(const QString&, const QString&, Buttons buttons, Icon) override
    {
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
    }
};

std::string g_imagePath;

template<typename T> T readLittle(const uint8_t* data)
{
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(data[i]) << (8 * i);
    }
    return value;
}

bool writeAll(int fd, const uint8_t* data, size_t size, uint64_t offset)
{
    while (size > 0) {
        const ssize_t wrote = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (wrote <= 0) {
            return false;
        }
        data += wrote;
        size -= static_cast<size_t>(wrote);
        offset += static_cast<uint64_t>(wrote);
    }
    return true;
}

bool writeImage(const uint8_t* data, size_t size)
{
    // A new file each time: a volume the engine still holds open keeps reading the old one.
    ::unlink(g_imagePath.c_str());
    const int fd = ::open(g_imagePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool written = true;
    constexpr size_t kMagic = 8;
    if (size >= kMagic + 8 && std::memcmp(data, "BRVIMG01", kMagic) == 0) {
        const uint64_t imageSize = std::min<uint64_t>(readLittle<uint64_t>(data + kMagic), kMaxImage);
        written = ::ftruncate(fd, static_cast<off_t>(imageSize)) == 0;
        size_t at = kMagic + 8;
        while (written && at + 12 <= size) {
            const uint64_t offset = readLittle<uint64_t>(data + at);
            const size_t length = std::min<size_t>(readLittle<uint32_t>(data + at + 8), size - at - 12);
            at += 12;
            if (offset < imageSize) {
                written = writeAll(fd, data + at, std::min<uint64_t>(length, imageSize - offset), offset);
            }
            at += length;
        }
    } else {
        written = writeAll(fd, data, size, 0);
    }
    ::close(fd);
    return written;
}

void readSome(const TFileInfo& record)
{
    std::vector<uint8_t> buffer(65536);
    const int64_t size = record.Size;
    for (const int64_t offset : {int64_t{0}, size / 2, size - 100, size, size + 1}) {
        const int64_t got =
            VantrelFileRead(&record, offset, buffer.data(), static_cast<int64_t>(buffer.size()));
        if (got > static_cast<int64_t>(buffer.size())) {
            std::abort(); // more than the buffer holds
        }
    }
    char16_t owners[512];
    (void)VantrelClusterOwners(&record, owners, 512);
}

// Enumerates the volume with the full scan and reads back the first few files.
void enumerateAndRead(int32_t id)
{
    const int64_t count = DiskInitialize(id, 1);
    if (count < 0) {
        return;
    }
    std::vector<TFileInfo> chosen;
    for (int64_t calls = 0; calls < kMaxCalls; ++calls) {
        const TFileInfo* record = FileGetNext();
        if (record == nullptr) {
            // The NTFS walk may give an empty slot before its estimate is reached.
            if (calls > VantrelScanEstimate()) {
                break;
            }
            continue;
        }
        if (std::find(std::begin(record->WideFileName), std::end(record->WideFileName), u'\0') ==
            std::end(record->WideFileName)) {
            std::abort(); // a name without its terminator
        }
        if ((record->Flags & flag_IS_DIRECTORY) == 0 && chosen.size() < kReadsPerVolume) {
            chosen.push_back(*record);
        }
    }
    for (const TFileInfo& record : chosen) {
        readSome(record);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication application(*argc, *argv);
    // $BREVANT_FUZZ_IMAGE_DIR when set (scripts/fuzz.sh points it at a folder it removes,
    // since a crash skips the clean-up here), else memory, else the temporary folder.
    const QString given = qEnvironmentVariable("BREVANT_FUZZ_IMAGE_DIR");
    const QString base = !given.isEmpty()            ? given
                         : QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm")
                                                     : QDir::tempPath();
    g_imagePath =
        QFile::encodeName(base + QStringLiteral("/brevant-fuzz-%1.img").arg(::getpid())).toStdString();
    // Settings are read from a folder of this run only, never the user's.
    const QByteArray config =
        QFile::encodeName(base + QStringLiteral("/brevant-fuzz-%1-config").arg(::getpid()));
    ::setenv("XDG_CONFIG_HOME", config.constData(), 1);
    static TSilentPrompt prompt;
    static TUserPrompt::TInstalled::Scope silent(&prompt);
    VantrelSetOptions(VANTREL_OPTION_IMAGES_ONLY);
    std::atexit([] { ::unlink(g_imagePath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxImage) {
        return 0;
    }
    // Forget the previous input's image and what was probed on it.
    VantrelClearImages();
    DisksRescan();
    if (!writeImage(data, size) || VantrelRegisterImage(g_imagePath.c_str()) != 0) {
        return 0;
    }
    const int32_t bound = DisksRescan();
    int volumes = 0;
    for (int32_t id = 0; id < bound && volumes < kMaxVolumes; ++id) {
        const TDriveInfo* info = DiskGetInformation(id);
        if (info == nullptr || info->ParentID < 0 || info->Status == 0) {
            continue;
        }
        ++volumes;
        {
            std::unique_ptr<TBaseDisk> disk = CreateDisk(id);
            TNoScanProgress progress;
            if (disk->AnalyzeDisk(&progress, false)) {
                const TScanReport report(TScanReport::Format::Json, false);
                (void)report.write(*disk, [](const QByteArray&) {});
            }
        }
        enumerateAndRead(id);
    }
    return 0;
}
