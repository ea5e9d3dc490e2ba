// The desktop program: reads the version strings and the settings, shows the splash
// window, registers the disk images named on the command line and runs the main window.
// --help and --version are answered before any window or settings are touched.

#include "TProCommandLine.h"
#include "disk/TImageRegistration.h"
#include "periphery/TSplashForm.h"
#include "mainwindow/ui/TMainForm.h"
#include "mainwindow/ui/TMessageBoxPrompt.h"
#include "settings/Language.h"
#include "settings/Settings.h"
#include "util/TUserPrompt.h"
#include "util/Utils.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <exception>

namespace {

// Registers each image file with the engine; a refused one is reported and skipped.
void registerImages(const QStringList& paths)
{
    for (const QString& path : paths) {
        QString problem;
        if (!TImageRegistration::Register(path, &problem))
            TUserPrompt::Current().ShowError(problem);
    }
}

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[])
{
    // A write to a closed pipe fails with an error that is reported, instead of killing
    // the program.
    std::signal(SIGPIPE, SIG_IGN);
    ReadVerInfo();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const TProCommandLine line = TProCommandLine::Parse(arguments);
    switch (line.Act) {
    case TProCommandLine::Action::Help:
        print(stdout, TProCommandLine::Usage());
        return 0;
    case TProCommandLine::Action::Version:
        print(stdout, TProCommandLine::VersionText());
        return 0;
    case TProCommandLine::Action::Refuse:
        print(stderr, line.Error + QLatin1Char('\n'));
        return 2;
    case TProCommandLine::Action::Run:
        break;
    }

    RegSettingsRead();
    // The stored language, or the one named for this run, reaches every window as it is
    // created.
    if (line.Language.isEmpty())
        CurrentLanguageFile = LoadLanguage(GlobalLanguage);
    else
        CurrentLanguageFile = LoadLanguage(line.Language.endsWith(QLatin1String(".lng"), Qt::CaseInsensitive)
                                               ? line.Language
                                               : line.Language + QStringLiteral(".lng"));

    QApplication app(argc, argv);
    TMessageBoxPrompt prompt;
    const TUserPrompt::TInstalled::Scope promptInstalled(&prompt);

    if (GlobalStartupShowSplash)
        TSplashForm::ShowSplash();

    registerImages(line.Images);

    int result = 1;
    try {
        TMainForm form;
        prompt.setParent(&form);
        form.show();
        result = QApplication::exec();
        prompt.setParent(nullptr);
    } catch (const std::exception& e) {
        TUserPrompt::Current().ShowError(QString::fromUtf8(e.what()));
    }
    // The settings were saved as the main window went.
    return result;
}
