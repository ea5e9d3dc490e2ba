#pragma once

// The recovery engine's binary interface: the two packed records, the flag
// constants, the six calls the program imports by name, and the calls this
// platform adds (image registration, handle wait/close, recovery result,
// progress callback). Plain C types only, so the library can be loaded from
// any language and swapped for a scripted engine in tests.

#include <stddef.h>
#include <stdint.h>

#if defined(VANTREL_BUILDING)
#define VANTREL_API __attribute__((visibility("default")))
#else
#define VANTREL_API
#endif

// No call throws: a failure is told by the return value and VantrelLastError.
#ifdef __cplusplus
#define VANTREL_NOEXCEPT noexcept
#else
#define VANTREL_NOEXCEPT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// 100-nanosecond intervals since 1601-01-01, in whatever zone the file system keeps.
typedef uint64_t TFileTime;

// Entry flags shared by engine records and elements.
enum
{
    flag_IS_DELETED = 1,
    flag_IS_DIRECTORY = 2,
    flag_EMPTY = 8,
    flag_HAS_CHILD_DELETED = 16,
    // The parent id names a record that now holds another entry: the entry's folder is
    // gone, and the new occupant must not be taken for it.
    flag_PARENT_REUSED = 32,
    // How an entry was found when not as a record of a folder the file system still lists.
    flag_FOUND_ORPHAN = 64,   // among the deleted entries no folder leads to
    flag_FOUND_REBUILT = 128, // in a deleted folder rebuilt from its free clusters
    flag_FOUND_INDEX = 256,   // only in a folder's index; its own record is gone or reused
    // Nothing of the content can be read back (the record that described it is gone).
    flag_NO_DATA = 512,

    // How much of a deleted file's data is still where its entry says (bits 16-18); 0 for
    // live files, folders and files the engine could not rate.
    flag_RATING_MASK = 7 << 16,
    flag_RATING_INTACT = 1 << 16,         // none of its clusters is in use
    flag_RATING_DATA_IN_RECORD = 2 << 16, // its data is kept inside its own file record
    flag_RATING_PARTIAL = 3 << 16,        // some of its clusters are in use
    flag_RATING_OVERWRITTEN = 4 << 16,    // all its clusters, or its first, are in use
    flag_RATING_NO_DATA = 5 << 16,        // nothing says where its data was
    // Its clusters after the first are only assumed to follow it, and some of them are in use.
    flag_RATING_GUESS = 6 << 16,
    // Its data does not look like its type; set by a content check, not by the enumeration.
    flag_RATING_MISMATCH = 7 << 16,
    // For partial and guess ratings: the share of its clusters in use, in percent (bits 19-25).
    flag_PERCENT_SHIFT = 19,
    flag_PERCENT_MASK = 0x7F << 19,
};

enum
{
    VANTREL_MAX_NAME = 4096,
    VANTREL_MAX_TARGET = 4097,
    VANTREL_MAX_OWNERS_LISTED = 10
};

#pragma pack(push, 1)

typedef struct TFileInfo
{
    int64_t TrueId;
    int64_t TrueParentId; // negative: none
    int64_t Flags;
    int64_t Size;
    TFileTime DateCreated;
    TFileTime DateAccessed;
    TFileTime DateModified;
    int64_t Attributes; // engine-private; handed back at recovery
    int64_t Reserve;
    char16_t WideFileName[VANTREL_MAX_NAME]; // NUL-terminated UTF-16
} TFileInfo;

typedef struct TDriveInfo
{
    int32_t ID;
    int32_t DriveType;
    int64_t SpaceTotal;
    int64_t SpaceFree;
    int32_t Status; // nonzero: can be opened for reading
    char Letter;    // 'A'..'Z', or 0 for none
    char VolumeLabel[30];
    char FileSystemName[30];
    char OEM_ID[8];
    int32_t FileSystemType;
    int64_t SerialNumber;
    int32_t SectorsPerCluster;
    int32_t BytesPerSector;
    int32_t BytesPerCluster;
    int64_t TotalSectors;
    int64_t TotalClusters;
    int64_t TotalClustersFree;
    int64_t OffsetInPhysical; // byte offset of a volume in its device; 0 = none
    int32_t FileSystemFlags;  // Windows volume-flag bits
    int64_t Cylinders;
    int32_t TracksPerCylinder;
    int32_t SectorsPerTrack;
    int32_t Heads;
    int32_t ParentID; // -1: a device; else the ID of its device
    int32_t Flags;
    int32_t Reserved2;
    int64_t Reserved3;
} TDriveInfo;

#pragma pack(pop)

// Drive type codes.
enum
{
    DRIVE_TYPE_UNKNOWN = 0,
    DRIVE_TYPE_REMOVABLE = 2,
    DRIVE_TYPE_FIXED = 3,
    DRIVE_TYPE_PHYSICAL = 16,
    DRIVE_TYPE_LOGICAL = 17,
    DRIVE_TYPE_VIRTUAL = 18,
};

// Windows volume-flag bits reported in TDriveInfo.FileSystemFlags.
enum
{
    FILE_CASE_SENSITIVE_SEARCH = 0x00000001,
    FILE_CASE_PRESERVED_NAMES = 0x00000002,
    FILE_UNICODE_ON_DISK = 0x00000004,
    FILE_PERSISTENT_ACLS = 0x00000008,
    FILE_FILE_COMPRESSION = 0x00000010,
    FILE_VOLUME_QUOTAS = 0x00000020,
    FILE_SUPPORTS_SPARSE_FILES = 0x00000040,
    FILE_SUPPORTS_REPARSE_POINTS = 0x00000080,
    FILE_VOLUME_IS_COMPRESSED = 0x00008000,
    FILE_SUPPORTS_OBJECT_IDS = 0x00010000,
    FILE_SUPPORTS_ENCRYPTION = 0x00020000,
    FILE_NAMED_STREAMS = 0x00040000,
    FILE_READ_ONLY_VOLUME = 0x00080000,
    FILE_SUPPORTS_HARD_LINKS = 0x00400000,
    FILE_SUPPORTS_EXTENDED_ATTRIBUTES = 0x00800000,
    FILE_SUPPORTS_USN_JOURNAL = 0x02000000,
};

// A waitable recovery handle; 0 or negative means the copy could not start.
typedef int64_t TVantrelHandle;

// Results of VantrelWait.
enum
{
    VANTREL_WAIT_DONE = 0,
    VANTREL_WAIT_TIMEOUT = 258,
    VANTREL_WAIT_FAILED = -1
};

// Results of a finished recovery (VantrelRecoveryResult).
enum
{
    VANTREL_RECOVERY_OK = 0,
    VANTREL_RECOVERY_RUNNING = 1,
    VANTREL_RECOVERY_READ_ERROR = 2,  // the source could not be read
    VANTREL_RECOVERY_WRITE_ERROR = 3, // the target could not be written (disk full, permission)
    VANTREL_RECOVERY_BAD_REQUEST = 4, // no such entry, no disk initialised, bad target
    VANTREL_RECOVERY_CANCELLED = 5,
};

// Options of VantrelSetOptions.
enum
{
    // DisksRescan lists only the registered images, not the machine's block devices
    // (a program given images to work on, or a run that must not touch devices).
    VANTREL_OPTION_IMAGES_ONLY = 1,
    // NTFS file records are read one at a time through the file system library instead of
    // by the engine's own reader of the MFT (slower; the same entries).
    VANTREL_OPTION_LIBRARY_RECORDS = 2,
    // NTFS records are read ahead of the thread that asks for them, on a thread of the
    // engine's, when the machine has three cores or more (reading, parsing and the caller's
    // work then each have one; on fewer they only take turns). These force either way; the
    // same entries come.
    VANTREL_OPTION_SERIAL_RECORDS = 4,
    VANTREL_OPTION_RECORDS_AHEAD = 8
};

// Progress of a running recovery: total bytes and bytes copied so far. Called on the
// engine's worker thread with the window value given to FileRecovery.
typedef void (*TVantrelProgressCallback)(void* window, int64_t total, int64_t position);

// ---- The six calls ----------------------------------------------------------------

// Lists devices, partitions and registered images again. A disk still there keeps its id
// and letter; the id of a disk that went away stays vacant until a new disk takes it.
// Result: one past the highest id in use (DiskGetInformation is NULL for a vacant id).
VANTREL_API int32_t DisksRescan(void) VANTREL_NOEXCEPT;
VANTREL_API int32_t DiskGetCount(void) VANTREL_NOEXCEPT;
// Record of disk id, valid until the next DisksRescan; NULL for an unknown id.
VANTREL_API const TDriveInfo* DiskGetInformation(int32_t id) VANTREL_NOEXCEPT;
// Opens the disk's file system for enumeration. Result: number of entries to expect,
// or -1 on failure (VantrelLastError says why).
VANTREL_API int64_t DiskInitialize(int32_t id, int32_t fullScan) VANTREL_NOEXCEPT;
// Next record, valid until the next call; NULL at the end (NTFS: NULL for an empty slot).
VANTREL_API const TFileInfo* FileGetNext(void) VANTREL_NOEXCEPT;
// Starts copying one entry of the initialised disk into target (UTF-16, NUL-terminated,
// at most VANTREL_MAX_TARGET units) on a worker thread. Result: a handle to wait on.
VANTREL_API TVantrelHandle FileRecovery(const char16_t* target, void* window,
                                        const TFileInfo* record) VANTREL_NOEXCEPT;

// ---- Calls of this platform ----------------------------------------------------------

VANTREL_API void VantrelSetOptions(int32_t options) VANTREL_NOEXCEPT;
// Registers a disk image (raw, split raw, E01, AFF, VHD, VHDX, VMDK, qcow/qcow2).
// Result: 0, or -1 when the file cannot be opened as an image.
VANTREL_API int32_t VantrelRegisterImage(const char* path) VANTREL_NOEXCEPT;
VANTREL_API void VantrelClearImages(void) VANTREL_NOEXCEPT;
// Path of the device or image file behind a disk id; "" for an unknown id.
VANTREL_API const char* VantrelDiskPath(int32_t id) VANTREL_NOEXCEPT;
// Why the disk behind an id does not open for reading, in the system's words (for
// example "Permission denied" or "No medium found"); "" when it opens or for an unknown id.
// Valid until the next DisksRescan.
VANTREL_API const char* VantrelDiskError(int32_t id) VANTREL_NOEXCEPT;
// Text of the last failure on the calling thread.
VANTREL_API const char* VantrelLastError(void) VANTREL_NOEXCEPT;
VANTREL_API void VantrelSetProgressCallback(TVantrelProgressCallback callback) VANTREL_NOEXCEPT;
// Records the enumeration begun by DiskInitialize now expects in all: the count
// DiskInitialize returned, revised while a walk of the folder tree learns how big the
// folders are; exact once FileGetNext has returned the last record. -1 when no disk
// is initialised.
VANTREL_API int64_t VantrelScanEstimate(void) VANTREL_NOEXCEPT;
// Waits up to timeoutMs for the handle: VANTREL_WAIT_DONE, VANTREL_WAIT_TIMEOUT or
// VANTREL_WAIT_FAILED.
VANTREL_API int32_t VantrelWait(TVantrelHandle handle, int32_t timeoutMs) VANTREL_NOEXCEPT;
// Result of the recovery behind the handle; message receives a reason (may be NULL).
VANTREL_API int32_t VantrelRecoveryResult(TVantrelHandle handle, char* message,
                                          int32_t messageSize) VANTREL_NOEXCEPT;
VANTREL_API void VantrelCloseHandle(TVantrelHandle handle) VANTREL_NOEXCEPT;
// Like FileRecovery, with the target given as an open folder handle and a name inside it
// (one path level, UTF-16, NUL-terminated): nothing above the folder is looked up again.
// The engine keeps its own copy of the handle; the caller may close it once this returns.
VANTREL_API TVantrelHandle VantrelFileRecoveryAt(int32_t folder, const char16_t* name, void* window,
                                                 const TFileInfo* record) VANTREL_NOEXCEPT;
// Reads up to length bytes of the entry a record names (as handed to FileRecovery) on the
// initialised disk, from offset on, into buffer, by the rules the copy follows. Result: the
// bytes read; 0 at or past the end; fewer than asked where the source gives no more there
// (a deleted file whose clusters run out, an unreadable region): a read at the next offset
// then fails and says why. -1 with VantrelLastError set: no disk initialised, no such entry,
// a folder, an entry whose data is gone (flag_NO_DATA), or nothing readable at offset.
// Safe to call from any thread, beside running recoveries and other reads.
VANTREL_API int64_t VantrelFileRead(const TFileInfo* record, int64_t offset, void* buffer,
                                    int64_t length) VANTREL_NOEXCEPT;
// Which live files of the initialised disk now hold the clusters in use of the deleted
// file a record names (the clusters its copy reads). Writes their paths into text, one a
// line, at most VANTREL_MAX_OWNERS_LISTED, then "and N more" when there are more; the text
// is cut to textUnits - 1 units and NUL-terminated (text may be NULL with textUnits 0).
// Result: the number of owners found, 0 for none; -1 with VantrelLastError set: no disk
// initialised, no such entry, a live entry, a folder or an entry whose data is gone.
// Walks the volume's live entries once; safe to call from any thread, beside running
// recoveries and reads.
VANTREL_API int32_t VantrelClusterOwners(const TFileInfo* record, char16_t* text,
                                         int32_t textUnits) VANTREL_NOEXCEPT;

// Read faults laid over an image, as a failing disk gives them, so that the handling of
// bad regions can be tried: every read of the image that touches [Offset, Offset + Length)
// fails (VANTREL_FAULT_READ_ERROR) or ends before the range (VANTREL_FAULT_SHORT_READ).
enum
{
    VANTREL_FAULT_READ_ERROR = 0,
    VANTREL_FAULT_SHORT_READ = 1
};
typedef struct TVantrelReadFault
{
    int64_t Offset;
    int64_t Length;
    int32_t Kind;
} TVantrelReadFault;
// Sets the faults of the image at path (as it will be registered) for every opening of it
// from now on; count 0 clears them. Result: 0, or -1 for a NULL path or a negative count.
VANTREL_API int32_t VantrelSetReadFaults(const char* path, const TVantrelReadFault* faults,
                                         int32_t count) VANTREL_NOEXCEPT;

#ifdef __cplusplus
} // extern "C"

static_assert(sizeof(TFileInfo) == 8264);
static_assert(offsetof(TFileInfo, TrueParentId) == 8);
static_assert(offsetof(TFileInfo, Flags) == 16);
static_assert(offsetof(TFileInfo, Size) == 24);
static_assert(offsetof(TFileInfo, DateCreated) == 32);
static_assert(offsetof(TFileInfo, DateAccessed) == 40);
static_assert(offsetof(TFileInfo, DateModified) == 48);
static_assert(offsetof(TFileInfo, Attributes) == 56);
static_assert(offsetof(TFileInfo, Reserve) == 64);
static_assert(offsetof(TFileInfo, WideFileName) == 72);

static_assert(sizeof(TDriveInfo) == 197);
static_assert(offsetof(TDriveInfo, DriveType) == 4);
static_assert(offsetof(TDriveInfo, SpaceTotal) == 8);
static_assert(offsetof(TDriveInfo, SpaceFree) == 16);
static_assert(offsetof(TDriveInfo, Status) == 24);
static_assert(offsetof(TDriveInfo, Letter) == 28);
static_assert(offsetof(TDriveInfo, VolumeLabel) == 29);
static_assert(offsetof(TDriveInfo, FileSystemName) == 59);
static_assert(offsetof(TDriveInfo, OEM_ID) == 89);
static_assert(offsetof(TDriveInfo, FileSystemType) == 97);
static_assert(offsetof(TDriveInfo, SerialNumber) == 101);
static_assert(offsetof(TDriveInfo, SectorsPerCluster) == 109);
static_assert(offsetof(TDriveInfo, BytesPerSector) == 113);
static_assert(offsetof(TDriveInfo, BytesPerCluster) == 117);
static_assert(offsetof(TDriveInfo, TotalSectors) == 121);
static_assert(offsetof(TDriveInfo, TotalClusters) == 129);
static_assert(offsetof(TDriveInfo, TotalClustersFree) == 137);
static_assert(offsetof(TDriveInfo, OffsetInPhysical) == 145);
static_assert(offsetof(TDriveInfo, FileSystemFlags) == 153);
static_assert(offsetof(TDriveInfo, Cylinders) == 157);
static_assert(offsetof(TDriveInfo, TracksPerCylinder) == 165);
static_assert(offsetof(TDriveInfo, SectorsPerTrack) == 169);
static_assert(offsetof(TDriveInfo, Heads) == 173);
static_assert(offsetof(TDriveInfo, ParentID) == 177);
static_assert(offsetof(TDriveInfo, Flags) == 181);
static_assert(offsetof(TDriveInfo, Reserved2) == 185);
static_assert(offsetof(TDriveInfo, Reserved3) == 189);
#endif
