#include "TDrivesCommand.h"

#include "TCliApplication.h"

#include "disk/TDriveListLogic.h"
#include "disk/TScanReport.h"
#include "disk/TVantrelApi.h"

#include <cstdio>
#include <unistd.h>

int TDrivesCommand::run(const QStringList& images)
{
    for (const QString& image : images) {
        if (!m_application.registerImage(image)) {
            return TCliApplication::ExitBadInput;
        }
    }

    const TVantrelApi& api = TVantrelApi::Current();
    api.DisksRescan();
    QByteArray out = headerLine();
    const int32_t count = api.DiskGetCount();
    for (int32_t id = 0; id < count; ++id) {
        TDriveInfo info;
        if (!TDriveListLogic::ReadDriveInfo(api, id, info)) {
            continue;
        }
        const char* path = api.DiskPath ? api.DiskPath(id) : nullptr;
        out += driveLine(info, path ? QString::fromUtf8(path) : QString());
        // Why a device cannot be read, and what helps, goes to standard error: standard
        // output stays one line per drive.
        if (info.Status == 0 && info.ParentID < 0 && path && *path) {
            const QString error = api.DiskError ? QString::fromUtf8(api.DiskError(id)) : QString();
            const QString hint = TDriveListLogic::NotReadyHint(error, ::geteuid() == 0);
            std::fprintf(stderr, "%s: %s\n", path, hint.toUtf8().constData());
        }
    }
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return std::fflush(stdout) == 0 ? TCliApplication::ExitOk : TCliApplication::ExitFailed;
}

QByteArray TDrivesCommand::headerLine()
{
    return QByteArrayLiteral("id\tparent\tletter\ttype\tfilesystem\tsize\tlabel\tstatus\tpath\n");
}

QByteArray TDrivesCommand::driveLine(const TDriveInfo& info, const QString& path)
{
    const bool lettered = info.Letter >= 'A' && info.Letter <= 'Z';
    const QStringList fields{
        QString::number(info.ID),
        QString::number(info.ParentID),
        lettered ? QStringLiteral("%1:").arg(QLatin1Char(info.Letter)) : QStringLiteral("-"),
        TDriveListLogic::GetDriveTypeStr(info.DriveType),
        TScanReport::CleanText(TDriveListLogic::FieldText(info.FileSystemName)),
        QString::number(info.SpaceTotal),
        TScanReport::CleanText(TDriveListLogic::FieldText(info.VolumeLabel)),
        info.Status != 0 ? QStringLiteral("ready") : QStringLiteral("not ready"),
        TScanReport::CleanText(path),
    };
    return fields.join(QLatin1Char('\t')).toUtf8() + '\n';
}
