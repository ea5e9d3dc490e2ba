#include "disk/TEngineRecord.h"

#include "disk/TBaseElement.h"

#include <cstring>

void TEngineRecord::Fill(const TBaseElement& element, TFileInfo& record)
{
    std::memset(&record, 0, sizeof record);
    record.TrueId = element.TrueID;
    record.TrueParentId = element.TrueParentID;
    record.Flags = element.Flags;
    record.Size = element.Size;
    record.Attributes = element.Attributes;
}
