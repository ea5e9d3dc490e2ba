#pragma once

#include <QString>

#include <vector>

// A text the program composes at run time (a message box, a status line, a line of the
// recovery log) that a language file can replace. Its key is "Messages.<name>" in the
// "Messages" section; the replacement must carry the same format placeholders as the
// original, or the original is shown. Every message is defined once, in Messages.h, and
// registers itself, so the English language file can list them all.
class TMessage
{
public:
    TMessage(const char* name, const char* original);
    TMessage(const TMessage&) = delete;
    TMessage& operator=(const TMessage&) = delete;

    // The text of the current language, or the original.
    QString Text() const;
    // The key of the message in the "Messages" section.
    const QString& Key() const { return m_key; }
    const QString& Original() const { return m_original; }

    // Every message defined, in the order of their definitions.
    static const std::vector<const TMessage*>& All();

private:
    QString m_key;
    QString m_original;
};
