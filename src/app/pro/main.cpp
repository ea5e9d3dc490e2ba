// The desktop program: reads the version strings and the settings, shows the splash
// window, registers the disk images named on the command line and runs the main window.

#include "disk/TVantrelApi.h"
#include "periphery/TSplashForm.h"
#include "mainwindow/TMainForm.h"
#include "mainwindow/TMessageBoxPrompt.h"
#include "settings/Settings.h"
#include "util/TUserPrompt.h"
#include "util/Utils.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <exception>

namespace {

// Registers each image file with the engine; a refused one is reported and skipped.
void registerImages(const QStringList& paths)
{
    const TVantrelApi& api = TVantrelApi::Current();
    for (const QString& path : paths) {
        const QByteArray native = QFile::encodeName(QFileInfo(path).absoluteFilePath());
        if (api.RegisterImage(native.constData()) != 0) {
            const char* reason = api.LastError();
            TUserPrompt::Current().ShowError(
                QStringLiteral("Can't open disk image %1.").arg(path) +
                (reason && *reason ? QStringLiteral("\n") + QString::fromUtf8(reason) : QString()) +
                QStringLiteral("\nCheck that the file exists, is readable and holds a disk image."));
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    ReadVerInfo();
    RegSettingsRead();

    QApplication app(argc, argv);
    TMessageBoxPrompt prompt;
    TUserPrompt::Install(&prompt);

    if (GlobalStartupShowSplash)
        TSplashForm::ShowSplash();

    QStringList images = QApplication::arguments();
    images.removeFirst();
    registerImages(images);

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
    RegSettingsWrite();
    TUserPrompt::Install(nullptr);
    return result;
}
