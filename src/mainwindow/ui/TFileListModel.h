#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QIcon>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

class TBaseElement;

// The rows of the main window's file list: one folder's children as a flat vector of
// element references. Texts are made when first needed and kept; sorting compares
// collation keys made once per row for the sort column, so a folder of 100,000
// entries fills and sorts in a fraction of a second.
class TFileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        colName = 0,
        colSize,
        colType,
        colDateCreated,
        colCondition,
        // How intact a deleted file's data is; empty for live files and folders.
        colRecovery,
        ColumnCount
    };
    enum Role
    {
        ElementRole = Qt::UserRole + 1,
        ImageIndexRole
    };

    explicit TFileListModel(QObject* parent = nullptr);

    // Replaces the rows with the given elements, in this order (not sorted yet).
    void SetElements(std::vector<TBaseElement*> elements);
    // Adds rows at the end, keeping the rows there are (a search's hits as they come).
    void AppendElements(const std::vector<TBaseElement*>& elements);
    void Clear();

    // Sorts by the texts of one column with the user locale's case-sensitive collation;
    // equal keys keep their current order. Selections and current rows follow their rows.
    void Sort(int column, bool ascending);

    // The header image: the ascending or descending mark on one column (-1: none).
    void SetSortMark(int column, bool ascending);
    int SortMarkColumn() const { return m_markColumn; }
    // File image index of the mark shown in a column's header; -1 when it has none.
    int SortMarkImage(int column) const;

    TBaseElement* ElementAt(int row) const;
    // First row carrying the element, -1 if none.
    int RowOf(const TBaseElement* element) const;
    // The text of a cell as the list shows it.
    QString Text(int row, int column) const;
    int ImageIndex(int row) const;

    // Reloads the row and header images from the image lists.
    void ReloadImages();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Replaces a column's title (a language file does).
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct TRow
    {
        TBaseElement* Element;
        int Image;
    };

    QString makeText(const TBaseElement* element, int column) const;
    // Runs the content check of a deleted file's row when its rating is first shown.
    void checkContent(int row) const;
    void fillColumn(int column) const;
    QString typeText(const TBaseElement* element) const;

    std::vector<TRow> m_rows;
    // Texts per column, made on demand; m_made marks the cells that hold one.
    mutable std::array<std::vector<QString>, ColumnCount> m_text;
    mutable std::array<std::vector<char>, ColumnCount> m_made;
    // Type texts by the platform's file type key of the name.
    mutable std::unordered_map<QString, QString> m_typeByKey;
    QList<QIcon> m_icons;
    std::array<QString, ColumnCount> m_headers{QStringLiteral("Name"),      QStringLiteral("Size"),
                                               QStringLiteral("Type"),      QStringLiteral("Date Created"),
                                               QStringLiteral("Condition"), QStringLiteral("Recovery")};
    int m_markColumn = -1;
    bool m_markAscending = true;
};
