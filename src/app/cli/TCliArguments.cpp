#include "TCliArguments.h"

bool TCliArguments::NextOption()
{
    while (m_next < m_arguments.size()) {
        m_index = m_next++;
        const QString& argument = m_arguments[m_index];
        if (m_optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument.size() == 1) {
            m_operands << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            m_optionsEnded = true;
            continue;
        }
        m_name = argument;
        m_hasValue = false;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('='));
            argument.startsWith(QLatin1String("--")) && equals > 0) {
            m_name = argument.left(equals);
            m_value = argument.mid(equals + 1);
            m_hasValue = true;
        }
        return true;
    }
    return false;
}

bool TCliArguments::TakeValue(QString& value, QString& error)
{
    if (!m_hasValue) {
        if (m_next >= m_arguments.size()) {
            error = QStringLiteral("%1 needs a value.").arg(m_name);
            return false;
        }
        m_value = m_arguments[m_next++];
        m_hasValue = true;
    }
    value = m_value;
    return true;
}

bool TCliArguments::TakeNext(QString& value, QString& error, const QString& missing)
{
    if (m_next >= m_arguments.size()) {
        error = missing;
        return false;
    }
    value = m_arguments[m_next++];
    return true;
}

bool TCliArguments::Unknown(QString& error) const
{
    error = QStringLiteral("Unknown option \"%1\".").arg(Argument());
    return false;
}
