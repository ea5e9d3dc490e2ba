#include "mainwindow/TMainLayout.h"

#include "settings/Settings.h"
#include "settings/TRegistryKey.h"
#include "settings/TRegistryStore.h"

#include <QtEndian>

#include <algorithm>
#include <optional>
#include <variant>
#include <vector>

namespace {

// A 32-bit value stored as 4 bytes of binary data, least significant first.
struct TBinary32
{
    uint32_t* Value;
};

using TTarget = std::variant<TBinary32, int*, bool*>;

struct TField
{
    const char* Name;
    TTarget Target;
};

// How much of a window's top edge has to be on a screen for the user to reach its title bar.
constexpr int GrabWidth = 100;
constexpr int GrabHeight = 30;

} // namespace

void TMainLayout::SetNormalRect(const QRect& rect)
{
    NormalLeft = rect.left();
    NormalTop = rect.top();
    NormalRight = rect.left() + rect.width();
    NormalBottom = rect.top() + rect.height();
}

namespace {

// The fields of a layout in TValue order.
std::vector<TField> fieldsOf(TMainLayout& l)
{
    std::vector<TField> fields{
        {"WindowFlags", TBinary32{&l.WindowFlags}},
        {"WindowShowCmd", TBinary32{&l.WindowShowCmd}},
        {"WindowMinPositionX", &l.MinPosition.rx()},
        {"WindowMinPositionY", &l.MinPosition.ry()},
        {"WindowMaxPositionX", &l.MaxPosition.rx()},
        {"WindowMaxPositionY", &l.MaxPosition.ry()},
        // The names are kept as they always were, although these are the right and bottom edges.
        {"WindowNormalPositionLeft", &l.NormalLeft},
        {"WindowNormalPositionHeight", &l.NormalRight},
        {"WindowNormalPositionTop", &l.NormalTop},
        {"WindowNormalPositionWidth", &l.NormalBottom},
        {"MenuBarVisible", &l.MenuBarVisible},
        {"ToolBarVisible", &l.ToolBarVisible},
        {"AddressBarVisible", &l.AddressBarVisible},
        {"FoldersPanelSize", &l.FoldersPanelSize},
        {"FoldersPanelVisible", &l.FoldersPanelVisible},
        {"FilesListColumnName", &l.ColumnWidths[0]},
        {"FilesListColumnSize", &l.ColumnWidths[1]},
        {"FilesListColumnType", &l.ColumnWidths[2]},
        {"FilesListColumnDateCreated", &l.ColumnWidths[3]},
        {"FilesListColumnCondition", &l.ColumnWidths[4]},
        {"TipsPanelSize", &l.TipsPanelSize},
        {"TipsPanelVisible", &l.TipsPanelVisible},
        {"StatusBarVisible", &l.StatusBarVisible},
        {"FilesListColumnRecovery", &l.ColumnWidths[5]},
    };
    return fields;
}

} // namespace

void TMainLayout::Write(TRegistryStore& store) const
{
    TRegistryKey key = store.OpenKey(RegKeyMainWindow);
    TMainLayout values = *this;
    for (const TField& field : fieldsOf(values)) {
        const QString name = QLatin1String(field.Name);
        if (const auto* binary = std::get_if<TBinary32>(&field.Target)) {
            const uint32_t le = qToLittleEndian(*binary->Value);
            key.WriteBinary(name, QByteArray(reinterpret_cast<const char*>(&le), sizeof le));
        } else if (int* const* integer = std::get_if<int*>(&field.Target)) {
            key.WriteInteger(name, **integer);
        } else {
            key.WriteBool(name, *std::get<bool*>(field.Target));
        }
    }
}

int TMainLayout::Read(const TRegistryStore& store)
{
    int count = 0;
    for (const TField& field : fieldsOf(*this)) {
        const QString name = QLatin1String(field.Name);
        if (const auto* binary = std::get_if<TBinary32>(&field.Target)) {
            const std::optional<QByteArray> bytes = store.ReadBinary(RegKeyMainWindow, name);
            if (!bytes || bytes->size() != int(sizeof(uint32_t)))
                break;
            *binary->Value = qFromLittleEndian<uint32_t>(bytes->constData());
        } else if (int* const* integer = std::get_if<int*>(&field.Target)) {
            const std::optional<int32_t> value = store.ReadInteger(RegKeyMainWindow, name);
            if (!value)
                break;
            **integer = *value;
        } else {
            const std::optional<bool> value = store.ReadBool(RegKeyMainWindow, name);
            if (!value)
                break;
            *std::get<bool*>(field.Target) = *value;
        }
        ++count;
    }
    return count;
}

QRect TMainLayout::OnVisibleScreen(const QRect& rect, const QList<QRect>& screens)
{
    if (rect.isEmpty() || screens.isEmpty())
        return rect;
    // No larger than all the screens together, which a damaged store could ask for.
    QRect all;
    for (const QRect& screen : screens)
        all = all.united(screen);
    const QRect fitted(rect.topLeft(), rect.size().boundedTo(all.size()));
    const QRect titleBar(fitted.topLeft(), QSize(fitted.width(), std::min(GrabHeight, fitted.height())));
    for (const QRect& screen : screens) {
        const QRect shown = titleBar.intersected(screen);
        if (shown.width() >= std::min(GrabWidth, fitted.width()) && shown.height() == titleBar.height())
            return fitted;
    }
    const QRect& primary = screens.first();
    QRect placed(QPoint(0, 0), rect.size().boundedTo(primary.size()));
    placed.moveCenter(primary.center());
    return placed;
}
