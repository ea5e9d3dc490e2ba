#include "TProCommandLine.h"

#include "util/Utils.h"

namespace {

// The toolkit's window options: the first take a value (as the next argument or after
// "="), the others stand alone. It reads them itself when the application starts.
const QStringList toolkitOptionsWithValue = {QStringLiteral("platform"),
                                             QStringLiteral("platformpluginpath"),
                                             QStringLiteral("platformtheme"),
                                             QStringLiteral("plugin"),
                                             QStringLiteral("qwindowgeometry"),
                                             QStringLiteral("geometry"),
                                             QStringLiteral("qwindowtitle"),
                                             QStringLiteral("title"),
                                             QStringLiteral("qwindowicon"),
                                             QStringLiteral("icon"),
                                             QStringLiteral("session"),
                                             QStringLiteral("display"),
                                             QStringLiteral("name"),
                                             QStringLiteral("style"),
                                             QStringLiteral("stylesheet"),
                                             QStringLiteral("qmljsdebugger")};
const QStringList toolkitFlags = {QStringLiteral("reverse"),     QStringLiteral("widgetcount"),
                                  QStringLiteral("testability"), QStringLiteral("nograb"),
                                  QStringLiteral("dograb"),      QStringLiteral("sync")};

} // namespace

TProCommandLine TProCommandLine::Parse(const QStringList& arguments)
{
    TProCommandLine line;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        // "-" alone and everything after "--" are file names.
        if (optionsEnded || argument.size() < 2 || !argument.startsWith(QLatin1Char('-'))) {
            line.Images.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.Act = Action::Help;
            return line;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            line.Act = Action::Version;
            return line;
        }
        const QString body = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const QString name = body.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("language") && argument.startsWith(QLatin1String("--"))) {
            if (body.contains(QLatin1Char('=')))
                line.Language = body.section(QLatin1Char('='), 1);
            else if (i + 1 < arguments.size())
                line.Language = arguments.at(++i);
            if (line.Language.isEmpty()) {
                line.Act = Action::Refuse;
                line.Error = QStringLiteral("brevant-pro: option '--language' needs a language name\n"
                                            "Run 'brevant-pro --help' for usage.");
                return line;
            }
            continue;
        }
        if (toolkitOptionsWithValue.contains(name)) {
            if (!body.contains(QLatin1Char('=')))
                ++i; // its value
            continue;
        }
        if (toolkitFlags.contains(body))
            continue;
        line.Act = Action::Refuse;
        line.Error = QStringLiteral("brevant-pro: unknown option '%1'\nRun 'brevant-pro --help' for usage.")
                         .arg(argument);
        return line;
    }
    return line;
}

QString TProCommandLine::Usage()
{
    return QStringLiteral(
        "Usage: brevant-pro [OPTION...] [IMAGE...]\n"
        "Finds deleted files on FAT, exFAT and NTFS drives and disk images and recovers them.\n"
        "Each IMAGE, a disk image file, is offered as a drive in the drive selection.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this text and exit\n"
        "  -v, --version  show the version and exit\n"
        "  --language NAME\n"
        "                 show the windows in the language of NAME.lng among the program's\n"
        "                 language files, for this run only (the language chosen in Preferences\n"
        "                 stays stored)\n"
        "  --             take every following argument as an image, even one starting with '-'\n"
        "\n"
        "The window system options of the toolkit (-platform, -style, -reverse, ...) are\n"
        "accepted too. The command-line program brevant-cli scans and recovers without windows.\n");
}

QString TProCommandLine::VersionText()
{
    return VerInfoProductName + QLatin1Char(' ') + VerInfoProductVersion + QLatin1Char('\n');
}
