#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

// The command-line program: reads the arguments, sets the engine up and runs one
// command. Results go to standard output, messages to standard error.
class TBaseDisk;

class TCliApplication
{
public:
    // Exit statuses.
    static constexpr int ExitOk = 0;
    static constexpr int ExitFailed = 1; // a scan could not run to its end
    static constexpr int ExitBadInput =
        2; // wrong arguments, an unknown source, an image that cannot be opened
    static constexpr int ExitInterrupted = 130;

    struct TOptions
    {
        QString Command;
        bool Help = false;
        bool Devices = false;
        bool DeletedOnly = false;
        bool Json = false;
        QStringList Operands;
    };

    // Runs the program with its arguments (without the program name); returns the exit status.
    int run(const QStringList& arguments);

    // Splits the arguments into command, options and operands; false with a reason on error.
    static bool parseArguments(const QStringList& arguments, TOptions& options, QString& error);
    static QString usage();
    // Tells that the arguments are wrong, with the way to the usage: the exit status.
    static int badArguments(const QString& error);
    // The usage on standard output: the exit status.
    static int printUsage();

    // Lists registered images only unless devices are wanted.
    static void configureEngine(bool devices);
    // Registers an image file with the engine once per canonical path; false with a
    // message on standard error when it cannot be opened.
    bool registerImage(const QString& path);
    // The engine disk a SOURCE operand names, registering the image it names: -1 after
    // telling why on standard error.
    int32_t resolveSource(const QString& source, bool devices);
    // Tells on standard error why the analysis of source did not run to its end (an
    // interrupt, or a drive the engine cannot read) and gives the exit status for it.
    static int analysisFailed(const QString& source);
    // Resolves source and analyses it without a display (Ctrl+C cancels while an
    // interrupt guard lives). Null after telling why, with the exit status in status.
    std::unique_ptr<TBaseDisk> analyseSource(const QString& source, bool devices, int& status);
    // Writes bytes to standard output; false when not all of them went.
    static bool writeOut(const QByteArray& bytes);

    // A source named at the start of a line, with its colon and a blank: "C: " for a
    // drive letter, which ends in a colon already, "disk.img: " for others.
    static QString sourceLabel(const QString& source);

    // "brevant-cli: " + text on standard error.
    static void printError(const QString& text);

private:
    QStringList m_registered;
};
