#pragma once

#include "disk/TElementsList.h"

class TBaseElement;

// Back and forward history of the folders shown for one drive. It refers to elements
// of the drive's model and never owns them.
class TMoveHistory
{
public:
    TMoveHistory() = default;
    TMoveHistory(const TMoveHistory&) = delete;
    TMoveHistory& operator=(const TMoveHistory&) = delete;

    TBaseElement* CurElement = nullptr;
    TElementsList BackElements;    // oldest first, most recent last
    TElementsList ForwardElements; // the next one last

    // Records a folder the user opened. Recording the folder already shown adds
    // nothing and keeps the forward history; nil is ignored.
    void NewFolder(TBaseElement* element);
    // The folder to show after going back (CurElement unchanged when there is none).
    TBaseElement* MoveBack();
    // The folder to show after going forward (CurElement unchanged when there is none).
    TBaseElement* MoveForward();
};
