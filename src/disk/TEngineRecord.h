#pragma once

#include "engine/VantrelLib.h"

class TBaseElement;

// The engine record that names an element when it is handed back to the engine (to copy
// it or read its data): zeroed, then the element's id, parent id, flags, size and
// engine-private attributes. The name is left empty; the engine finds entries by id.
class TEngineRecord
{
public:
    static void Fill(const TBaseElement& element, TFileInfo& record);
};
