#pragma once

#include <QHash>
#include <QSize>
#include <QString>

class TRegistryStore;

// The sizes the user gave the resizable windows (find, viewer, properties, recovery
// wizard), by window name. They are read and written with the other settings, each under
// "\Windows\<name>" as the integers "Width" and "Height".
class TWindowSizes
{
public:
    // The size stored for a window; invalid when none is.
    static QSize Get(const QString& window);
    static void Set(const QString& window, const QSize& size);
    static void Clear();

    // A read keeps only sizes whose both values are usable positive integers.
    static void Read(const TRegistryStore& store);
    static void Write(TRegistryStore& store);

private:
    static QHash<QString, QSize>& sizes();
};
