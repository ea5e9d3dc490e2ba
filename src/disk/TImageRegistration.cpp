#include "disk/TImageRegistration.h"

#include "settings/Messages.h"
#include "disk/TVantrelApi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool TImageRegistration::Register(const QString& path, QString* problem)
{
    const QFileInfo info(path);
    QString reason;
    if (!info.exists()) {
        reason = QStringLiteral("The file does not exist.");
    } else if (!info.isFile() || !info.isReadable()) {
        reason = QStringLiteral("It is not a file you can read.");
    } else {
        const TVantrelApi& api = TVantrelApi::Current();
        const QByteArray native = QFile::encodeName(info.canonicalFilePath());
        if (TVantrelApi::Guarded(api.RegisterImage, int32_t{-1}, native.constData()) == 0)
            return true;
        reason = TVantrelApi::GuardedText(api.LastError);
    }
    if (problem) {
        *problem = Messages::ImageNotOpened.Text().arg(QDir::toNativeSeparators(path));
        if (!reason.isEmpty())
            *problem += QLatin1Char('\n') + reason;
        *problem += QStringLiteral(
            "\nChoose a raw, split raw, E01, AFF, VHD, VHDX, VMDK or qcow2 image file that you can read.");
    }
    return false;
}
