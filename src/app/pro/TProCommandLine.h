#pragma once

#include <QString>
#include <QStringList>

// The desktop program's command line, read before any window exists: --help and
// --version are answered on standard output, an unknown option is refused, and every
// other argument names a disk image to offer as a drive. The toolkit's own window
// options (-platform, -style, ...) pass through to it untouched.
class TProCommandLine
{
public:
    enum class Action
    {
        Run,     // open the main window with Images
        Help,    // print Usage() and exit 0
        Version, // print VersionText() and exit 0
        Refuse   // print Error and exit with status 2
    };

    // Reads the arguments without the program name.
    static TProCommandLine Parse(const QStringList& arguments);
    static QString Usage();
    // The product name and version; ReadVerInfo must have run.
    static QString VersionText();

    Action Act = Action::Run;
    QStringList Images;
    // The language file for this run (--language), as given; empty for the stored choice.
    QString Language;
    QString Error;
};
