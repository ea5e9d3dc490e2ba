#pragma once

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"

#include <QString>

#include <cstdint>

// A drive whose model a test builds by hand; its top element stands for the drive.
// Elements get ids from 10 up, in the order they are added.
class TModelDisk final : public TBaseDisk
{
public:
    explicit TModelDisk(int32_t driveId = 1, char letter = 'D') : TBaseDisk(driveId)
    {
        DriveLetter = letter;
        RootElement = CreateElement();
        RootElement->Name = QString(QLatin1Char(letter)) + QStringLiteral(": logical drive");
        RootElement->Flags = flag_IS_DIRECTORY;
        RootElement->Drive = this;
    }
    bool AnalyzeDisk(TScanProgress*, bool) override { return true; }

    // An element below parent (the drive's top element or nullptr: a top-level one).
    TBaseElement* Add(TBaseElement* parent, const QString& name, int64_t flags, int64_t size = 0,
                      double created = 0)
    {
        TBaseElement* e = CreateElement();
        e->TrueID = m_nextId++;
        e->TrueParentID = parent && parent != RootElement ? parent->TrueID : -1;
        e->Name = name;
        e->Flags = flags;
        e->Size = size;
        e->DateCreated = created;
        e->Attributes = 0x20 + e->TrueID; // distinct per element, so a test sees which one travelled
        e->Drive = this;
        e->Parent = parent == RootElement ? nullptr : parent;
        if (parent)
            (e->IsFolder() ? parent->ChildrenFolders : parent->ChildrenFiles).Add(e);
        // Registered as an analysis registers its records: by id, and deleted ones in the
        // drive's lists of deleted files and folders.
        Elements.SetItem(int32_t(e->TrueID), e);
        if (e->IsDeleted())
            (e->IsFolder() ? LostFolders : LostFiles).SetItem(e);
        return e;
    }
    TBaseElement* Folder(TBaseElement* parent, const QString& name, int64_t extra = 0)
    {
        return Add(parent, name, flag_IS_DIRECTORY | extra);
    }
    TBaseElement* File(TBaseElement* parent, const QString& name, int64_t size = 0, int64_t extra = 0)
    {
        return Add(parent, name, extra, size);
    }

private:
    int64_t m_nextId = 10;
};
