#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QWidget;
class TLanguageFile;

// Applies the current language table to a window; nothing without a table. Every window
// calls it once at the end of its construction with itself.
void UpdateLanguage(QWidget* form);

// Applies table to each window in forms (null entries skipped). A window is the section
// named after its objectName; its keys are "Window.Caption" for the title and
// "Window.Control.Caption", ".Hint", ".lines[n]", ".items[n]" and ".Columns[n].Caption"
// for the controls below it, found by their objectName (".items[n]" also names the rows
// of a tree widget's top level, such as a page list). Only existing lines, items and
// columns are replaced. A value whose format placeholders differ from the text it
// replaces is not applied.
void FillProps(const QList<QWidget*>& forms, const TLanguageFile& table);

// Sets the text property "Caption" or "Hint" of a control: the text of a button, label,
// action or group box, the title of a menu, the tab text of a tab page; the tool tip (the
// part before a "|") and status tip (the part after it) of a hint. An empty value, a
// property the control has no counterpart for, and a value with mismatched placeholders
// leave it alone. Returns true when the property was set.
bool SetProp(QObject* component, const QString& prop, const QString& value);

// The texts of a window as a language file section would give them, one "key=value" line
// each, in the order FillProps walks them: the title, then each named control's caption,
// hint, lines, items and column titles. Empty texts are left out, and a key is written once.
QStringList ReadProps(QWidget* form);
