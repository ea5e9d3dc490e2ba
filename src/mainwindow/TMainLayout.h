#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

#include <array>
#include <cstdint>

class TRegistryStore;

// The main window's layout as it is stored under "\Main": the window placement, which
// bars and panels are shown, the panel sizes and the file list's column widths. Values are
// written and read in a fixed order; a read stops at the first value that is missing or
// of another type, and what comes after it keeps the state it had.
class TMainLayout
{
public:
    // The stored values, in the order they are written and read.
    enum TValue
    {
        vWindowFlags,
        vWindowShowCmd,
        vWindowMinPositionX,
        vWindowMinPositionY,
        vWindowMaxPositionX,
        vWindowMaxPositionY,
        vNormalLeft,
        vNormalRight,
        vNormalTop,
        vNormalBottom,
        vMenuBarVisible,
        vToolBarVisible,
        vAddressBarVisible,
        vFoldersPanelSize,
        vFoldersPanelVisible,
        vColumnName,
        vColumnSize,
        vColumnType,
        vColumnDateCreated,
        vColumnCondition,
        vTipsPanelSize,
        vTipsPanelVisible,
        vStatusBarVisible,
        // Added after the others, so a layout stored without it still reads up to here.
        vColumnRecovery,
        ValueCount
    };

    // Show states of the placement.
    static constexpr uint32_t swShowNormal = 1;
    static constexpr uint32_t swShowMinimized = 2;
    static constexpr uint32_t swShowMaximized = 3;
    // Placement flag: a minimised window comes back maximised.
    static constexpr uint32_t wpfRestoreToMaximized = 2;
    static constexpr int ColumnCount = 6;

    uint32_t WindowFlags = 0;
    uint32_t WindowShowCmd = swShowNormal;
    QPoint MinPosition{-1, -1};
    QPoint MaxPosition{-1, -1};
    // Edges of the normal (restored) window, right and bottom exclusive.
    int NormalLeft = 0;
    int NormalRight = 766;
    int NormalTop = 0;
    int NormalBottom = 577;
    bool MenuBarVisible = true;
    bool ToolBarVisible = true;
    bool AddressBarVisible = true;
    int FoldersPanelSize = 209;
    bool FoldersPanelVisible = true;
    std::array<int, ColumnCount> ColumnWidths{150, 70, 130, 110, 70, 130};
    int TipsPanelSize = 75;
    bool TipsPanelVisible = true;
    bool StatusBarVisible = true;

    QRect NormalRect() const
    {
        return QRect(QPoint(NormalLeft, NormalTop), QPoint(NormalRight - 1, NormalBottom - 1));
    }
    void SetNormalRect(const QRect& rect);
    // Whether the window comes back maximised; a minimised one comes back as it was before.
    bool RestoresMaximized() const
    {
        return WindowShowCmd == swShowMaximized ||
               (WindowShowCmd == swShowMinimized && (WindowFlags & wpfRestoreToMaximized));
    }

    // Writes every value under the main window's key (in memory until the store is saved).
    void Write(TRegistryStore& store) const;
    // Reads the values in order into this layout until one is missing or of another type;
    // returns how many were read. Values from that one on keep what they held.
    int Read(const TRegistryStore& store);
    // True when a read that got `count` values reached `value`.
    static bool Reached(int count, TValue value) { return count > int(value); }

    // A window rectangle that shows on one of the screens (their available areas, the
    // primary first): the rectangle itself (no larger than the screens together) when
    // enough of its top edge is on a screen to grab it, else its size, fitted to the
    // primary screen, centred there.
    static QRect OnVisibleScreen(const QRect& rect, const QList<QRect>& screens);
};
