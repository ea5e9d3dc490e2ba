#pragma once

#include <QString>

#include <cstdint>

// The program's log file: each line it is given is appended with a time stamp, so the
// user keeps a record of what was recovered where. The file is created with the user's
// rights (mode 0600) and is never reached through a symbolic link; anything but a
// regular file (a FIFO, a device) is refused, never waited on. At its first opening in a
// program run a recycled log starts empty; when the next line would take it past its size
// limit, it is moved to the same name with ".1" appended and a new one is begun.
class TProgramLog
{
public:
    enum class Kind
    {
        Status,
        Warning,
        Error,
        Debug
    };

    struct Options
    {
        QString Path;
        bool Recycle = true;
        int64_t MaxBytes = 1024 * 1024; // 0 or less: no limit
        bool Status = true;
        bool Warnings = true;
        bool Errors = true;
        bool Debug = true;
    };

    // The options the Preferences hold; null path when logging is off. A name without a
    // folder stands for a file in the program's folder, or in the user's data folder
    // when the program's folder cannot be written.
    static Options FromSettings();

    explicit TProgramLog(Options options);
    ~TProgramLog();
    TProgramLog(const TProgramLog&) = delete;
    TProgramLog& operator=(const TProgramLog&) = delete;

    // Appends line when its kind is included. False once the file cannot be written;
    // Error() then tells why, and later lines are dropped.
    bool Add(Kind kind, const QString& line);

    const QString& Path() const { return m_options.Path; }
    const QString& Error() const { return m_error; }

private:
    bool open();
    bool rotate();
    bool fail(const QString& what);

    Options m_options;
    int m_fd = -1;
    int64_t m_size = 0;
    bool m_failed = false;
    QString m_error;
};
