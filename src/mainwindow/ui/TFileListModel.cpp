#include "mainwindow/ui/TFileListModel.h"

#include "disk/TBaseElement.h"
#include "disk/TContentCheck.h"
#include "mainwindow/TMainViewRules.h"
#include "periphery/TImageLists.h"
#include "util/TPlatform.h"
#include "util/Utils.h"

#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <numeric>

TFileListModel::TFileListModel(QObject* parent) : QAbstractTableModel(parent)
{
    ReloadImages();
}

void TFileListModel::ReloadImages()
{
    // One icon per image index holding both sizes, so every view style picks its own.
    const QList<QIcon>& small = TImageLists::FileImages();
    const QList<QIcon>& large = TImageLists::FileImagesLarge();
    m_icons.clear();
    for (qsizetype i = 0; i < std::max(small.size(), large.size()); ++i) {
        QIcon icon;
        if (i < small.size())
            icon.addPixmap(small.at(i).pixmap(16, 16));
        if (i < large.size())
            icon.addPixmap(large.at(i).pixmap(32, 32));
        m_icons.append(icon);
    }
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void TFileListModel::SetElements(std::vector<TBaseElement*> elements)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(elements.size());
    for (TBaseElement* element : elements)
        m_rows.push_back({element, TMainViewRules::ListImageIndex(element->Flags)});
    for (int c = 0; c < ColumnCount; ++c) {
        m_text[c].assign(m_rows.size(), QString());
        m_made[c].assign(m_rows.size(), 0);
    }
    endResetModel();
}

void TFileListModel::AppendElements(const std::vector<TBaseElement*>& elements)
{
    if (elements.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(elements.size()) - 1);
    for (TBaseElement* element : elements)
        m_rows.push_back({element, TMainViewRules::ListImageIndex(element->Flags)});
    for (int c = 0; c < ColumnCount; ++c) {
        m_text[c].resize(m_rows.size());
        m_made[c].resize(m_rows.size(), 0);
    }
    endInsertRows();
}

void TFileListModel::Clear()
{
    SetElements({});
}

QString TFileListModel::makeText(const TBaseElement* element, int column) const
{
    switch (column) {
    case colName:
        return element->GetName();
    case colSize:
        return element->IsFolder() ? QString() : FormatSize(element->Size);
    case colType:
        return typeText(element);
    case colDateCreated:
        return TMainViewRules::DateTimeText(element->DateCreated);
    case colCondition:
        return element->GetCondition();
    case colRecovery:
        return element->GetRecoveryShortText();
    default:
        return QString();
    }
}

QString TFileListModel::typeText(const TBaseElement* element) const
{
    if (element->IsFolder())
        return element->GetFileType();
    // The element's own type, as the properties window shows it. The platform says which
    // names share an answer (for most, the extension), so a folder of 100,000 files asks
    // the type database once per distinct key instead of once per row.
    const QString key = TPlatform::Current().FileTypeKey(element->GetName());
    auto it = m_typeByKey.find(key);
    if (it == m_typeByKey.end())
        it = m_typeByKey.emplace(key, element->GetFileType()).first;
    return it->second;
}

void TFileListModel::fillColumn(int column) const
{
    std::vector<QString>& texts = m_text[column];
    std::vector<char>& made = m_made[column];
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (!made[i]) {
            texts[i] = makeText(m_rows[i].Element, column);
            made[i] = 1;
        }
    }
}

QString TFileListModel::Text(int row, int column) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size() || column < 0 || column >= ColumnCount)
        return QString();
    if (!m_made[column][row]) {
        m_text[column][row] = makeText(m_rows[row].Element, column);
        m_made[column][row] = 1;
    }
    return m_text[column][row];
}

void TFileListModel::Sort(int column, bool ascending)
{
    if (column < 0 || column >= ColumnCount || m_rows.size() < 2)
        return;
    fillColumn(column);

    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseSensitive);
    const std::vector<QString>& texts = m_text[column];
    std::vector<QCollatorSortKey> keys;
    keys.reserve(m_rows.size());
    for (const QString& text : texts)
        keys.push_back(collator.sortKey(text));

    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    if (ascending)
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[a].compare(keys[b]) > 0; });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(m_rows.size());
    for (size_t to = 0; to < order.size(); ++to)
        newRowOf[order[to]] = static_cast<int>(to);

    std::vector<TRow> rows(m_rows.size());
    for (size_t to = 0; to < order.size(); ++to)
        rows[to] = m_rows[order[to]];
    m_rows.swap(rows);
    for (int c = 0; c < ColumnCount; ++c) {
        std::vector<QString> text(order.size());
        std::vector<char> made(order.size());
        for (size_t to = 0; to < order.size(); ++to) {
            text[to] = std::move(m_text[c][order[to]]);
            made[to] = m_made[c][order[to]];
        }
        m_text[c].swap(text);
        m_made[c].swap(made);
    }

    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent)
        moved.append(index(newRowOf[old.row()], old.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TFileListModel::SetSortMark(int column, bool ascending)
{
    m_markColumn = TMainViewRules::ValidColumn(column) ? column : -1;
    m_markAscending = ascending;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int TFileListModel::SortMarkImage(int column) const
{
    if (column != m_markColumn || m_markColumn < 0)
        return -1;
    return m_markAscending ? TMainViewRules::imgSortAscending : TMainViewRules::imgSortDescending;
}

TBaseElement* TFileListModel::ElementAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return nullptr;
    return m_rows[row].Element;
}

int TFileListModel::RowOf(const TBaseElement* element) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].Element == element)
            return static_cast<int>(i);
    }
    return -1;
}

int TFileListModel::ImageIndex(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return -1;
    return m_rows[row].Image;
}

int TFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

void TFileListModel::checkContent(int row) const
{
    // A deleted file shown for the first time has its first bytes compared with what its
    // type starts with: one read of a few bytes, for the rows on screen only.
    TBaseElement* element = ElementAt(row);
    if (!element || !TContentCheck::Applies(*element))
        return;
    if (TContentCheck::Check(*element) == TContentCheck::Verdict::Mismatch)
        m_made[colRecovery][size_t(row)] = 0;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (index.column() == colRecovery)
            checkContent(row);
        return Text(row, index.column());
    case Qt::DecorationRole:
        if (index.column() == colName) {
            const int image = ImageIndex(row);
            if (image >= 0 && image < m_icons.size())
                return m_icons.at(image);
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == colSize)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case ElementRole:
        return QVariant::fromValue(static_cast<void*>(ElementAt(row)));
    case ImageIndexRole:
        return ImageIndex(row);
    default:
        return QVariant();
    }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_headers[size_t(section)];
    case Qt::DecorationRole: {
        const int image = SortMarkImage(section);
        if (image >= 0 && image < m_icons.size())
            return m_icons.at(image);
        return QVariant();
    }
    case Qt::TextAlignmentRole:
        if (section == colSize)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case ImageIndexRole:
        return SortMarkImage(section);
    default:
        return QVariant();
    }
}

bool TFileListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount ||
        (role != Qt::EditRole && role != Qt::DisplayRole))
        return false;
    m_headers[size_t(section)] = value.toString();
    emit headerDataChanged(Qt::Horizontal, section, section);
    return true;
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
