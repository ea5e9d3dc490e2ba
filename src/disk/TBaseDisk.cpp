#include "disk/TBaseDisk.h"

#include "disk/TBaseElement.h"
#include "disk/TFATDisk.h"
#include "disk/TMountCheck.h"
#include "disk/TNTFSDisk.h"
#include "disk/TScanProgress.h"
#include "disk/TVantrelApi.h"
#include "settings/Messages.h"
#include "settings/Settings.h"
#include "util/TUserPrompt.h"
#include "util/Utils.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstddef>
#include <cstring>

std::unique_ptr<TBaseDisk> CurDisk;
bool StopScan = false;
const int64_t TBaseDisk::RevisedBarMinimum = 10000;

namespace {

// Ids grow with the drive: a sound engine numbers entries densely (FAT) or by file
// record (NTFS, below the count it announced). An id far beyond both comes from a
// damaged record and would make Elements allocate gigabytes, so it is refused.
constexpr int64_t IdHeadroom = 1 << 20;
// Records reserved for ahead of an analysis at most (the count comes from the disk).
constexpr int64_t ReserveLimit = 1 << 24;

// Whether element can take the record's place. An element holding entries stays a
// folder: turning it into a file would hide everything below it.
bool Reusable(const TBaseElement* element, const TFileInfo& record)
{
    if (!element || (record.Flags & flag_IS_DIRECTORY))
        return element != nullptr;
    return element->ChildrenFolders.IsEmpty() && element->ChildrenFiles.IsEmpty();
}

} // namespace

TBaseDisk::TBaseDisk(int32_t ADriveId)
    : DriveId(ADriveId), DriveLetter(GetDriveLetterById(ADriveId)), m_driveNumber(TDriveRef::Enlist(this))
{
    // A drive without a letter (a volume the engine could not name) still gets a
    // printable one, since names and paths are built from it.
    if (DriveLetter == 0)
        DriveLetter = '?';
    // The drive's own elements are kept by their place in its pool: half the size.
    Elements.Bind(&m_pool);
    m_children.Bind(&m_pool);
}

// The pool frees every element; arrays, lists and history only refer to them.
TBaseDisk::~TBaseDisk()
{
    TDriveRef::StrikeOff(m_driveNumber);
}

TBaseElement* TBaseDisk::CreateElement()
{
    TBaseElement* element = m_pool.Create();
    element->Drive = this;
    return element;
}

void TBaseDisk::WarnLogDrive() const
{
    if (!GlobalLogEnable)
        return;
    QString drive = TBaseElement::ExtractDrive(GlobalLogFilename);
    if (drive.trimmed().isEmpty())
        drive = TBaseElement::ExtractDrive(QCoreApplication::applicationFilePath());
    if (drive == QString(QLatin1Char(DriveLetter)) + QLatin1Char(':')) {
        TUserPrompt::Current().Ask(Messages::LogOnSourceDrive.Text(), Messages::Warning.Text(),
                                   TUserPrompt::Buttons::Ok, TUserPrompt::Icon::Warning);
    }
}

bool TBaseDisk::InitializeDisk(bool AFullScan, int64_t& TotalFiles)
{
    const TVantrelApi& api = TVantrelApi::Current();
    // A file system in use changes while it is read, and what the system writes there
    // may overwrite deleted files: the user is told, and the scan goes on.
    if (api.DiskPath) {
        const QString device = QFile::decodeName(api.DiskPath(DriveId));
        if (const QString mountPoint = TMountCheck::WritableMountOf(device); !mountPoint.isEmpty())
            TUserPrompt::Current().Ask(Messages::LiveFileSystem.Text().arg(device, mountPoint),
                                       Messages::Warning.Text(), TUserPrompt::Buttons::Ok,
                                       TUserPrompt::Icon::Warning);
    }
    TotalFiles = TVantrelApi::Guarded(api.DiskInitialize, int64_t{-1}, DriveId, AFullScan ? 1 : 0);
    if (TotalFiles < 0) {
        // The engine's reason (a device that does not open, no file system) follows.
        const QString reason = TVantrelApi::GuardedText(api.LastError);
        TUserPrompt::Current().ShowError(Messages::DiskNotInitialized.Text() +
                                         (reason.isEmpty() ? QString() : QLatin1Char('\n') + reason));
        return false;
    }
    m_totalFiles = TotalFiles;
    // Room for the records announced, so the id index does not copy itself over and
    // over while it grows. A count beyond any real drive is not trusted for more than a
    // bounded guess.
    const int64_t expected = std::min<int64_t>(TotalFiles, ReserveLimit);
    Elements.Reserve(int32_t(expected));
    return true;
}

void TBaseDisk::AppendChild(TBaseElement* child)
{
    m_children.Append(child->Parent, child, child->IsFolder());
}

void TBaseDisk::SetName(TBaseElement* element, QStringView name)
{
    element->Name.Refer(m_names.Store(name));
}

TBaseElement* TBaseDisk::CreateFolder(const QString& name, int64_t id, int64_t flags)
{
    TBaseElement* element = CreateElement();
    SetName(element, name);
    element->TrueID = id;
    element->Flags = flags;
    return element;
}

void TBaseDisk::CreateRootElement()
{
    RootElement = CreateFolder(QString(QLatin1Char(DriveLetter)) + QStringLiteral(": logical drive"), -1,
                               flag_IS_DIRECTORY);
}

bool TBaseDisk::IdsIndexable(const TFileInfo& record, int64_t Counter) const
{
    const int64_t expected = std::min<int64_t>(std::max(m_totalFiles, Counter), INT32_MAX);
    const int64_t limit = std::min<int64_t>(INT32_MAX - 1, expected * 2 + IdHeadroom);
    return record.TrueId <= limit && record.TrueParentId <= limit;
}

void TBaseDisk::HandleRecord(const TFileInfo& record, bool reuse)
{
    if (record.Flags & flag_IS_DELETED)
        deletedPath(record, reuse);
    else
        livePath(record, reuse);
}

bool TBaseDisk::wouldLoop(const TBaseElement* element, const TBaseElement* parent) const
{
    // The model is kept free of loops, so the walk ends at the top; the bound only
    // guards against a model changed from outside.
    size_t steps = m_pool.Count() + 1;
    for (const TBaseElement* current = parent; current && steps > 0; current = current->Parent, --steps) {
        if (current == element)
            return true;
    }
    return false;
}

void TBaseDisk::fill(TBaseElement* element, const TFileInfo& record, TBaseElement* parent)
{
    // An element already filed under another folder (the same id reported again) moves:
    // listing it in both folders would make the model a graph instead of a tree. Reported
    // again in the same folder as the same kind, it keeps its place instead of being
    // listed twice.
    const bool folder = record.Flags & flag_IS_DIRECTORY;
    bool listed = false;
    if (element->Parent) {
        if (element->Parent == parent && element->IsFolder() == folder)
            listed = true;
        else
            m_children.Remove(element->Parent, element, element->IsFolder());
    }
    element->TrueID = record.TrueId;
    element->TrueParentID = record.TrueParentId;
    element->Flags = TRecoverability::EntryFlags(record.Flags);
    element->Recovery = TRecoverability::FromFlags(record.Flags);
    element->RecoveryPercent = static_cast<uint8_t>(TRecoverability::PercentFromFlags(record.Flags));
    element->Size = record.Size;
    // The three times are often one and the same.
    element->DateCreated = ConvertFileTimeToDateTime(record.DateCreated);
    element->DateAccessed = record.DateAccessed == record.DateCreated
                                ? element->DateCreated
                                : ConvertFileTimeToDateTime(record.DateAccessed);
    element->DateModified = record.DateModified == record.DateCreated ? element->DateCreated
                            : record.DateModified == record.DateAccessed
                                ? element->DateAccessed
                                : ConvertFileTimeToDateTime(record.DateModified);
    element->Attributes = record.Attributes;
    element->Drive = this;
    element->Parent = parent;
    storeRecordName(element, record);
    Elements.SetItem(int32_t(record.TrueId), element);
    if (!listed)
        m_children.Append(parent, element, folder);
}

void TBaseDisk::storeRecordName(TBaseElement* element, const TFileInfo& record)
{
    // The record is packed and may sit at any address: the name is read bytewise.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record) + offsetof(TFileInfo, WideFileName);
    size_t length = 0;
    char16_t units = 0; // every unit or'ed: below 256, the name is kept one byte per unit
    for (; length < VANTREL_MAX_NAME; ++length) {
        char16_t unit;
        std::memcpy(&unit, bytes + 2 * length, sizeof(unit));
        if (unit == 0)
            break;
        units |= unit;
    }
    // "." and ".." would make every path through the entry point elsewhere; a damaged or
    // hostile volume can still hold an entry of that name. It is shown as the recovery
    // names it.
    const auto isDot = [bytes](size_t i) {
        char16_t unit;
        std::memcpy(&unit, bytes + 2 * i, sizeof(unit));
        return unit == u'.';
    };
    if ((length == 1 || length == 2) && isDot(0) && (length == 1 || isDot(1))) {
        SetName(element, length == 1 ? u"_" : u"__");
        return;
    }
    element->Name.Refer(m_names.Store(bytes, length, units < 256));
}

TBaseElement* TBaseDisk::createNotFoundYet(int64_t parentId)
{
    TBaseElement* placeholder = CreateFolder(QStringLiteral("not_found_yet_") + QString::number(parentId),
                                             parentId, flag_IS_DELETED | flag_IS_DIRECTORY | flag_EMPTY);
    m_placeholders.push_back(placeholder);
    return placeholder;
}

void TBaseDisk::livePath(const TFileInfo& record, bool reuse)
{
    const int32_t parentId = int32_t(record.TrueParentId);
    TBaseElement* parentFolder = Elements.GetItem(parentId);
    if (!parentFolder) {
        parentFolder = createNotFoundYet(record.TrueParentId);
        Elements.SetItem(parentId, parentFolder);
    }
    TBaseElement* element = reuse ? Elements.GetItem(int32_t(record.TrueId)) : nullptr;
    if (!Reusable(element, record)) {
        element = CreateElement();
    } else if (wouldLoop(element, parentFolder)) {
        // The entry names itself or one of its own descendants as its parent. It goes
        // under a placeholder of its own, as if that parent had never been found.
        parentFolder = createNotFoundYet(record.TrueParentId);
    }
    fill(element, record, parentFolder);
}

void TBaseDisk::deletedPath(const TFileInfo& record, bool reuse)
{
    const int32_t parentId = int32_t(record.TrueParentId);
    TBaseElement* parentFolder = nullptr;
    if (record.Flags & flag_PARENT_REUSED) {
        // The folder the entry was in is gone and its id now names another entry: a lost
        // folder of its own stands in, apart from whatever holds the id now.
        TBaseElement*& stale = m_reusedParents[record.TrueParentId];
        if (!stale) {
            stale = CreateFolder(QStringLiteral("lost_folder_") + QString::number(record.TrueParentId),
                                 record.TrueParentId, flag_IS_DELETED | flag_IS_DIRECTORY | flag_EMPTY);
            m_placeholders.push_back(stale);
        }
        parentFolder = stale;
    } else {
        parentFolder = Elements.GetItem(parentId);
    }
    if (!parentFolder || !parentFolder->IsFolder()) {
        parentFolder = LostFolders.GetItem(parentId);
        if (!parentFolder) {
            parentFolder =
                CreateFolder(QStringLiteral("lost_folder_") + QString::number(record.TrueParentId),
                             record.TrueParentId, flag_IS_DELETED | flag_IS_DIRECTORY | flag_EMPTY);
            LostFolders.SetItem(parentFolder);
        }
    }
    TBaseElement* element = reuse ? LostFolders.GetItem(int32_t(record.TrueId)) : nullptr;
    if (!Reusable(element, record)) {
        element = CreateElement();
    } else if (wouldLoop(element, parentFolder)) {
        // As on the live path: a parent inside the entry itself is replaced by a lost
        // folder of its own, shown at the top of the drive.
        parentFolder = CreateFolder(QStringLiteral("lost_folder_") + QString::number(record.TrueParentId),
                                    record.TrueParentId, flag_IS_DELETED | flag_IS_DIRECTORY | flag_EMPTY);
        LostFolders.SetItem(parentFolder);
    }
    fill(element, record, parentFolder);
    if (record.Flags & flag_IS_DIRECTORY)
        LostFolders.SetItem(element);
    else
        LostFiles.SetItem(element);
    markAncestors(element);
    m_lastDeleted = element;
}

void TBaseDisk::markAncestors(TBaseElement* element)
{
    // Only a parent that is registered in Elements starts the walk; lost folders are not.
    TBaseElement* current = element->Parent;
    if (!current || Elements.IndexOf(current) < 0)
        return;
    while (current) {
        if (current->Flags & (flag_HAS_CHILD_DELETED | flag_IS_DELETED))
            break;
        current->Flags |= flag_HAS_CHILD_DELETED;
        Elements.SetItem(int32_t(current->TrueID), current);
        // A missing parent would be looked up as the first empty slot, which holds nil.
        if (!current->Parent)
            break;
        const int32_t index = Elements.IndexOf(current->Parent);
        current = index >= 0 ? Elements.GetItem(index) : nullptr;
    }
}

void TBaseDisk::AttachTops(int32_t rootId)
{
    if (RootElement) {
        if (TBaseElement* root = Elements.GetItem(rootId)) {
            SetName(root, QString(QLatin1Char(DriveLetter)) + QLatin1Char(':'));
            RootElement->ChildrenFolders.Add(root);
        }
        for (TBaseElement* folder : LostFolders) {
            if (folder && !folder->Parent)
                RootElement->ChildrenFolders.Add(folder);
        }
        // Live entries whose folder never arrived and deleted ones whose folder's id was
        // reused: shown like lost folders, or nothing but a search would reach them. The
        // root record's own placeholder holds only the root.
        for (TBaseElement* placeholder : m_placeholders) {
            const bool holdsEntries =
                !placeholder->ChildrenFolders.IsEmpty() || !placeholder->ChildrenFiles.IsEmpty();
            if ((placeholder->Flags & flag_EMPTY) && !placeholder->Parent && holdsEntries &&
                placeholder->TrueID != rootId)
                RootElement->ChildrenFolders.Add(placeholder);
        }
    }
    m_placeholders.clear();
    m_reusedParents.clear();
    // The model is complete: the child lists get their room, unused capacity goes back.
    m_children.Build();
    Elements.Squeeze();
}

void TBaseDisk::BeginProgress(TScanProgress* ScanForm, int64_t TotalFiles)
{
    m_progress = ScanForm;
    m_lastDeleted = nullptr;
    m_labelShown = nullptr;
    m_position = 0;
    m_revised = TVantrelApi::Current().ScanEstimate != nullptr;
    m_estimate = TotalFiles;
    m_barMaximum = m_revised ? std::max(TotalFiles, RevisedBarMinimum) : TotalFiles;
    m_anchorCounter = 0;
    m_anchorShown = 0;
    m_shown = 0;
    if (m_progress) {
        m_progress->SetMaximum(m_barMaximum);
        m_progress->SetPosition(0);
    }
    m_pumpThrottle.Start();
}

int64_t TBaseDisk::shownPosition(int64_t Counter)
{
    if (!m_revised)
        return Counter;
    // The records read since the count last changed take their share of what was left
    // of the bar then. Past a count that proved too low the bar waits for a new one.
    int64_t shown = m_shown;
    if (m_estimate > Counter) {
        const long double done = static_cast<long double>(Counter - m_anchorCounter) /
                                 static_cast<long double>(m_estimate - m_anchorCounter);
        shown = m_anchorShown +
                static_cast<int64_t>(done * static_cast<long double>(m_barMaximum - m_anchorShown));
    }
    m_shown = std::clamp(shown, m_shown, m_barMaximum);

    const int64_t estimate = TVantrelApi::Guarded(TVantrelApi::Current().ScanEstimate, m_estimate);
    if (estimate >= 0 && estimate != m_estimate) {
        m_estimate = estimate;
        m_totalFiles = std::max(m_totalFiles, estimate);
        m_anchorCounter = Counter;
        m_anchorShown = m_shown;
    }
    return m_shown;
}

void TBaseDisk::pumpIfDue(int64_t Counter)
{
    if (!m_pumpThrottle.Due())
        return;
    showProgress(Counter);
    m_progress->PumpMessages();
}

void TBaseDisk::showProgress(int64_t Counter)
{
    m_progress->SetPosition(shownPosition(Counter));
    if (m_lastDeleted && m_lastDeleted != m_labelShown) {
        m_progress->SetFileLabel(m_lastDeleted->GetName() + QStringLiteral(" (") +
                                 QString::number(m_lastDeleted->TrueID) + QLatin1Char(')'));
        m_labelShown = m_lastDeleted;
    }
}

void TBaseDisk::EndProgress()
{
    // An enumeration that ran to its end has read every record, whatever was guessed.
    if (m_revised && !StopScan)
        m_shown = m_barMaximum;
    if (m_progress)
        showProgress(m_position);
    m_progress = nullptr;
}

char GetDriveLetterById(int32_t Id)
{
    const TDriveInfo* info = TVantrelApi::Current().DiskGetInformation(Id);
    return info ? info->Letter : '?';
}

QString GetFileSystem(int32_t Id)
{
    const TDriveInfo* info = TVantrelApi::Current().DiskGetInformation(Id);
    if (!info)
        return QStringLiteral("Unknown");
    const char* name = info->FileSystemName;
    return QString::fromUtf8(name, qsizetype(strnlen(name, sizeof(info->FileSystemName))));
}

std::unique_ptr<TBaseDisk> CreateDisk(int32_t ADriveId)
{
    if (GetFileSystem(ADriveId) == QLatin1String("NTFS"))
        return std::make_unique<TNTFSDisk>(ADriveId);
    return std::make_unique<TFATDisk>(ADriveId);
}

void CloseCurDisk()
{
    CurDisk.reset();
}
