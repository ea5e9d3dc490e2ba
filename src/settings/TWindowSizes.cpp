#include "settings/TWindowSizes.h"

#include "settings/Settings.h"
#include "settings/TRegistryKey.h"
#include "settings/TRegistryStore.h"

namespace {

const QString WindowsKey = RegKeyBase + QStringLiteral("\\Windows");
// Sizes beyond this come from a damaged store, not from a user.
constexpr int MaxSide = 20000;

} // namespace

QHash<QString, QSize>& TWindowSizes::sizes()
{
    static QHash<QString, QSize> map;
    return map;
}

QSize TWindowSizes::Get(const QString& window)
{
    return sizes().value(window);
}

void TWindowSizes::Set(const QString& window, const QSize& size)
{
    if (!window.isEmpty() && size.isValid())
        sizes().insert(window, size);
}

void TWindowSizes::Clear()
{
    sizes().clear();
}

void TWindowSizes::Read(const TRegistryStore& store)
{
    Clear();
    const QString prefix = store.NormalizeKeyPath(WindowsKey) + QLatin1Char('\\');
    for (const QString& path : store.KeyPaths()) {
        if (!path.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString name = path.mid(prefix.size());
        const std::optional<int32_t> width = store.ReadInteger(path, QStringLiteral("Width"));
        const std::optional<int32_t> height = store.ReadInteger(path, QStringLiteral("Height"));
        if (name.contains(QLatin1Char('\\')) || !width || !height || *width <= 0 || *height <= 0 ||
            *width > MaxSide || *height > MaxSide)
            continue;
        sizes().insert(name, QSize(*width, *height));
    }
}

void TWindowSizes::Write(TRegistryStore& store)
{
    for (auto it = sizes().cbegin(); it != sizes().cend(); ++it) {
        TRegistryKey key = store.OpenKey(WindowsKey + QLatin1Char('\\') + it.key());
        key.WriteInteger(QStringLiteral("Width"), it.value().width());
        key.WriteInteger(QStringLiteral("Height"), it.value().height());
    }
}
