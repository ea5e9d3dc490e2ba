#pragma once

#include "util/TUserPrompt.h"

class QWidget;

// Questions and messages of the desktop program, shown as modal message boxes over
// the main window (or the active window when none was given).
class TMessageBoxPrompt final : public TUserPrompt
{
public:
    explicit TMessageBoxPrompt(QWidget* parent = nullptr) : m_parent(parent) {}

    Answer Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) override;

    void setParent(QWidget* parent) { m_parent = parent; }

private:
    QWidget* m_parent;
};
