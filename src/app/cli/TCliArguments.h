#pragma once

#include <QString>
#include <QStringList>

// Walks a command's arguments: options one by one, the rest collected as operands. An
// option's value is taken after "=" (--mask=*.jpg) or from the next argument; "--" ends
// the options, and a lone "-" is an operand.
class TCliArguments
{
public:
    explicit TCliArguments(const QStringList& arguments) : m_arguments(arguments) {}

    // Moves to the next option, collecting the operands before it; false at the end.
    bool NextOption();
    // The option's name without a value given after "=", and the argument as typed.
    const QString& Name() const { return m_name; }
    const QString& Argument() const { return m_arguments[m_index]; }
    // The option's value; false, with error set, when none follows.
    bool TakeValue(QString& value, QString& error);
    // The argument after the option's value (an option with two values); false, with
    // error set to missing, when there is none.
    bool TakeNext(QString& value, QString& error, const QString& missing);
    // Sets error to the message for an option the command does not know; returns false.
    bool Unknown(QString& error) const;

    const QStringList& Operands() const { return m_operands; }

private:
    const QStringList& m_arguments;
    QStringList m_operands;
    qsizetype m_next = 0;
    qsizetype m_index = -1;
    QString m_name;
    QString m_value;
    bool m_hasValue = false;
    bool m_optionsEnded = false;
};
