#pragma once

#include "QtPrinters.h"
#include "disk/TScanProgress.h"

#include <QStringList>

#include <functional>

// Records what an analysis reports; PumpMessages runs a hook, the way a click on
// Cancel is served while the window processes its events.
class TFakeScanProgress final : public TScanProgress
{
public:
    void SetMaximum(int64_t maximum) override { Maximum = maximum; }
    void SetPosition(int64_t position) override
    {
        Position = position;
        Positions.append(position);
    }
    void SetFileLabel(const QString& text) override { Labels.append(text); }
    void PumpMessages() override
    {
        ++Pumps;
        if (OnPump)
            OnPump(Pumps);
    }

    int64_t Maximum = -1;
    int64_t Position = -1;
    QList<int64_t> Positions;
    QStringList Labels;
    int Pumps = 0;
    std::function<void(int pump)> OnPump;
};
