#include "settings/ui/LanguageForms.h"

#include "settings/Language.h"
#include "settings/TLanguageFile.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>
#include <QTableView>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>

#include <optional>

namespace {

// The tab widget that shows page as one of its tabs, and its index there.
QTabWidget* tabOf(QWidget* page, int& index)
{
    for (QWidget* up = page->parentWidget(); up; up = up->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(up)) {
            index = tabs->indexOf(page);
            return index >= 0 ? tabs : nullptr;
        }
        if (!qobject_cast<QStackedWidget*>(up))
            return nullptr;
    }
    return nullptr;
}

// The text a caption replaces; null when the component has no caption.
std::optional<QString> captionOf(QObject* component)
{
    if (auto* menu = qobject_cast<QMenu*>(component))
        return menu->title();
    if (auto* action = qobject_cast<QAction*>(component))
        return action->text();
    if (auto* button = qobject_cast<QAbstractButton*>(component))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(component))
        return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(component))
        return group->title();
    if (auto* widget = qobject_cast<QWidget*>(component)) {
        int index = -1;
        if (QTabWidget* tabs = tabOf(widget, index))
            return tabs->tabText(index);
    }
    return std::nullopt;
}

bool setCaption(QObject* component, const QString& value)
{
    const std::optional<QString> original = captionOf(component);
    if (!original || !TLanguageFile::PlaceholdersMatch(*original, value))
        return false;
    if (auto* menu = qobject_cast<QMenu*>(component))
        menu->setTitle(value);
    else if (auto* action = qobject_cast<QAction*>(component))
        action->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(component))
        button->setText(value);
    else if (auto* label = qobject_cast<QLabel*>(component))
        label->setText(value);
    else if (auto* group = qobject_cast<QGroupBox*>(component))
        group->setTitle(value);
    else if (auto* widget = qobject_cast<QWidget*>(component)) {
        int index = -1;
        if (QTabWidget* tabs = tabOf(widget, index))
            tabs->setTabText(index, value);
    }
    return true;
}

QString shortHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

bool setHint(QObject* component, const QString& value)
{
    if (auto* action = qobject_cast<QAction*>(component)) {
        if (!TLanguageFile::PlaceholdersMatch(action->toolTip() + action->statusTip(),
                                              shortHint(value) + longHint(value)))
            return false;
        action->setToolTip(shortHint(value));
        action->setStatusTip(longHint(value));
        return true;
    }
    if (auto* widget = qobject_cast<QWidget*>(component)) {
        if (!TLanguageFile::PlaceholdersMatch(widget->toolTip() + widget->statusTip(),
                                              shortHint(value) + longHint(value)))
            return false;
        widget->setToolTip(shortHint(value));
        widget->setStatusTip(longHint(value));
        return true;
    }
    return false;
}

void fillLines(QPlainTextEdit* memo, const QString& section, const QString& prefix,
               const TLanguageFile& table)
{
    const QString fsdef = QStringLiteral("fsdef");
    QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
    bool changed = false;
    for (int n = 0; n < lines.size(); ++n) {
        const QString value = table.ReadString(section, prefix + QStringLiteral(".lines[%1]").arg(n), fsdef);
        if (value != fsdef && TLanguageFile::PlaceholdersMatch(lines[n], value)) {
            lines[n] = value;
            changed = true;
        }
    }
    if (changed)
        memo->setPlainText(lines.join(QLatin1Char('\n')));
}

void fillItems(QComboBox* list, const QString& section, const QString& prefix, const TLanguageFile& table)
{
    for (int n = 0; n < list->count(); ++n) {
        const QString value =
            table.ReadString(section, prefix + QStringLiteral(".items[%1]").arg(n), QString());
        if (!value.isEmpty() && TLanguageFile::PlaceholdersMatch(list->itemText(n), value))
            list->setItemText(n, value);
    }
}

// The rows of a list shown as a tree without branches, such as a page list.
void fillRows(QTreeWidget* tree, const QString& section, const QString& prefix, const TLanguageFile& table)
{
    for (int n = 0; n < tree->topLevelItemCount(); ++n) {
        const QString value =
            table.ReadString(section, prefix + QStringLiteral(".items[%1]").arg(n), QString());
        QTreeWidgetItem* item = tree->topLevelItem(n);
        if (!value.isEmpty() && TLanguageFile::PlaceholdersMatch(item->text(0), value))
            item->setText(0, value);
    }
}

void fillColumns(QAbstractItemView* view, const QString& section, const QString& prefix,
                 const TLanguageFile& table)
{
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    for (int n = 0; n < model->columnCount(); ++n) {
        const QString value =
            table.ReadString(section, prefix + QStringLiteral(".Columns[%1].Caption").arg(n), QString());
        const QString original = model->headerData(n, Qt::Horizontal).toString();
        if (value.isEmpty() || !TLanguageFile::PlaceholdersMatch(original, value))
            continue;
        if (auto* tree = qobject_cast<QTreeWidget*>(view))
            tree->headerItem()->setText(n, value);
        else
            model->setHeaderData(n, Qt::Horizontal, value);
    }
}

} // namespace

void UpdateLanguage(QWidget* form)
{
    if (CurrentLanguageFile)
        FillProps({form}, *CurrentLanguageFile);
}

bool SetProp(QObject* component, const QString& prop, const QString& value)
{
    if (!component || value.isEmpty())
        return false;
    if (prop.compare(QLatin1String("Caption"), Qt::CaseInsensitive) == 0)
        return setCaption(component, value);
    if (prop.compare(QLatin1String("Hint"), Qt::CaseInsensitive) == 0)
        return setHint(component, value);
    return false;
}

void FillProps(const QList<QWidget*>& forms, const TLanguageFile& table)
{
    for (QWidget* form : forms) {
        if (!form || form->objectName().isEmpty())
            continue;
        const QString section = form->objectName();
        const QString title = table.ReadString(section, section + QStringLiteral(".Caption"), QString());
        if (!title.isEmpty() && TLanguageFile::PlaceholdersMatch(form->windowTitle(), title))
            form->setWindowTitle(title);
        // The window's own hint (the main window's status bar text when nothing is pointed at).
        SetProp(form, QStringLiteral("Hint"),
                table.ReadString(section, section + QStringLiteral(".Hint"), QString()));
        // Setting a text can replace a control's inner objects, so the walk holds guarded
        // pointers and skips any that went meanwhile.
        QList<QPointer<QObject>> components;
        for (QObject* component : form->findChildren<QObject*>())
            components.append(component);
        for (const QPointer<QObject>& component : components) {
            if (!component || component->objectName().isEmpty())
                continue;
            const QString prefix = section + QLatin1Char('.') + component->objectName();
            SetProp(component, QStringLiteral("Caption"),
                    table.ReadString(section, prefix + QStringLiteral(".Caption"), QString()));
            SetProp(component, QStringLiteral("Hint"),
                    table.ReadString(section, prefix + QStringLiteral(".Hint"), QString()));
            if (auto* memo = qobject_cast<QPlainTextEdit*>(component))
                fillLines(memo, section, prefix, table);
            if (auto* list = qobject_cast<QComboBox*>(component))
                fillItems(list, section, prefix, table);
            if (auto* view = qobject_cast<QAbstractItemView*>(component))
                fillColumns(view, section, prefix, table);
            if (auto* tree = qobject_cast<QTreeWidget*>(component))
                fillRows(tree, section, prefix, table);
        }
    }
}

QStringList ReadProps(QWidget* form)
{
    QStringList lines;
    if (!form || form->objectName().isEmpty())
        return lines;
    const QString section = form->objectName();
    QSet<QString> written;
    const auto add = [&](const QString& key, const QString& value) {
        if (!value.trimmed().isEmpty() && !written.contains(key.toCaseFolded())) {
            written.insert(key.toCaseFolded());
            lines << key + QLatin1Char('=') + value.trimmed();
        }
    };
    add(section + QStringLiteral(".Caption"), form->windowTitle());
    if (!form->statusTip().isEmpty())
        add(section + QStringLiteral(".Hint"), form->toolTip() + QLatin1Char('|') + form->statusTip());
    for (QObject* component : form->findChildren<QObject*>()) {
        const QString name = component->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        const QString prefix = section + QLatin1Char('.') + name;
        if (const std::optional<QString> caption = captionOf(component))
            add(prefix + QStringLiteral(".Caption"), *caption);
        QString tip, status;
        if (auto* action = qobject_cast<QAction*>(component)) {
            // An action's tool tip falls back to its text; without a status tip it has no
            // hint of its own.
            status = action->statusTip();
            tip = status.isEmpty() ? QString() : action->toolTip();
        } else if (auto* widget = qobject_cast<QWidget*>(component)) {
            tip = widget->toolTip();
            status = widget->statusTip();
        }
        if (!tip.isEmpty() || !status.isEmpty())
            add(prefix + QStringLiteral(".Hint"),
                tip == status || status.isEmpty() ? tip : tip + QLatin1Char('|') + status);
        if (auto* memo = qobject_cast<QPlainTextEdit*>(component)) {
            const QStringList text = memo->toPlainText().split(QLatin1Char('\n'));
            for (int n = 0; n < text.size(); ++n)
                add(prefix + QStringLiteral(".lines[%1]").arg(n), text[n]);
        }
        if (auto* list = qobject_cast<QComboBox*>(component))
            for (int n = 0; n < list->count(); ++n)
                add(prefix + QStringLiteral(".items[%1]").arg(n), list->itemText(n));
        // Column titles of the views that show a header.
        QAbstractItemView* view = nullptr;
        if (auto* tree = qobject_cast<QTreeView*>(component); tree && !tree->isHeaderHidden())
            view = tree;
        else if (auto* table = qobject_cast<QTableView*>(component))
            view = table;
        if (view && view->model())
            for (int n = 0; n < view->model()->columnCount(); ++n)
                add(prefix + QStringLiteral(".Columns[%1].Caption").arg(n),
                    view->model()->headerData(n, Qt::Horizontal).toString());
        if (auto* tree = qobject_cast<QTreeWidget*>(component))
            for (int n = 0; n < tree->topLevelItemCount(); ++n)
                add(prefix + QStringLiteral(".items[%1]").arg(n), tree->topLevelItem(n)->text(0));
    }
    return lines;
}
