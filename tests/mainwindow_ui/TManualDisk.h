#pragma once

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"

#include <QString>

// A drive whose model a test builds by hand, element by element.
class TManualDisk : public TBaseDisk
{
public:
    TManualDisk() : TBaseDisk(0)
    {
        RootElement = CreateElement();
        RootElement->Name = QStringLiteral("C: logical drive");
        RootElement->Flags = flag_IS_DIRECTORY;
        RootElement->Drive = this;
    }

    bool AnalyzeDisk(TScanProgress*, bool) override { return true; }

    TBaseElement* Add(TBaseElement* parent, const QString& name, int64_t flags, int64_t size = 0,
                      double created = 0)
    {
        TBaseElement* e = CreateElement();
        e->TrueID = m_nextId++;
        e->TrueParentID = parent ? parent->TrueID : -1;
        e->Name = name;
        e->Flags = flags;
        e->Size = size;
        e->DateCreated = created;
        e->Drive = this;
        e->Parent = parent;
        if (parent)
            (e->IsFolder() ? parent->ChildrenFolders : parent->ChildrenFiles).Add(e);
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
    int64_t m_nextId = 100;
};
