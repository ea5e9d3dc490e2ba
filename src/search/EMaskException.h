#pragma once

#include <stdexcept>

#include <QString>

// Raised when a file-name mask cannot be compiled.
class EMaskException : public std::runtime_error
{
public:
    EMaskException(const QString& mask, int position);

    const QString& Message() const { return m_message; }
    int Position() const { return m_position; }

private:
    QString m_message;
    int m_position;
};
