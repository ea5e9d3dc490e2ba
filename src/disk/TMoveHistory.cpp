#include "disk/TMoveHistory.h"

void TMoveHistory::NewFolder(TBaseElement* element)
{
    if (!element)
        return;
    if (!CurElement) {
        CurElement = element;
        return;
    }
    // The folder tree reports one click twice (click, then selection change), and a
    // folder reached by the history is reported again when shown: neither is a move.
    if (element == CurElement)
        return;
    ForwardElements.Clear();
    BackElements.SetItem(CurElement);
    CurElement = element;
}

TBaseElement* TMoveHistory::MoveBack()
{
    if (!BackElements.IsEmpty()) {
        ForwardElements.SetItem(CurElement);
        CurElement = BackElements.Last();
        BackElements.Delete(BackElements.Count() - 1);
    }
    return CurElement;
}

TBaseElement* TMoveHistory::MoveForward()
{
    if (!ForwardElements.IsEmpty()) {
        BackElements.SetItem(CurElement);
        CurElement = ForwardElements.Last();
        ForwardElements.Delete(ForwardElements.Count() - 1);
    }
    return CurElement;
}
