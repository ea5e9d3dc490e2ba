#include "TCatCommand.h"

#include "TCliApplication.h"
#include "TCliArguments.h"
#include "TInterruptGuard.h"

#include "disk/TBaseDisk.h"
#include "disk/TBaseElement.h"
#include "disk/TEngineRecord.h"
#include "disk/TScanReport.h"
#include "viewers/TFileByteSource.h"

#include <cstdio>
#include <memory>

bool TCatCommand::parseArguments(const QStringList& arguments, TOptions& options, QString& error)
{
    options = TOptions();
    TCliArguments args(arguments);
    while (args.NextOption()) {
        if (args.Name() == QLatin1String("--help") || args.Name() == QLatin1String("-h"))
            options.Help = true;
        else if (args.Name() == QLatin1String("--devices"))
            options.Devices = true;
        else
            return args.Unknown(error);
    }
    const QStringList& operands = args.Operands();
    if (options.Help)
        return true;
    if (operands.size() != 2) {
        error = QStringLiteral("cat needs a SOURCE and an ENTRY.");
        return false;
    }
    options.Source = operands[0];
    options.Entry = operands[1];
    return true;
}

bool TCatCommand::findElements(const TBaseDisk& disk, const QString& entry, QList<const TBaseElement*>& found,
                               QString& error)
{
    found.clear();
    const bool byId = entry.startsWith(QLatin1Char('#'));
    qlonglong id = -1;
    if (byId) {
        bool ok = false;
        id = entry.mid(1).toLongLong(&ok);
        if (!ok || id < 0) {
            error = QStringLiteral("\"%1\" is no engine id: give # and a number, as in #12.").arg(entry);
            return false;
        }
    }
    TScanReport::walk(disk, false, [&](const TBaseElement& element) {
        // Folders the analysis invented stand for no entry of the disk.
        if (element.Flags & flag_EMPTY)
            return;
        if (byId) {
            if (element.TrueID == id)
                found.append(&element);
            return;
        }
        const QString path = TScanReport::elementPath(element);
        if (path == entry || TScanReport::CleanText(path) == entry)
            found.append(&element);
    });
    return true;
}

int TCatCommand::run(const QStringList& arguments)
{
    TOptions options;
    QString error;
    if (!parseArguments(arguments, options, error))
        return TCliApplication::badArguments(error);
    if (options.Help)
        return TCliApplication::printUsage();
    TInterruptGuard guard;
    int status = TCliApplication::ExitOk;
    const std::unique_ptr<TBaseDisk> disk =
        m_application.analyseSource(options.Source, options.Devices, status);
    if (!disk)
        return status;

    QList<const TBaseElement*> found;
    if (!findElements(*disk, options.Entry, found, error)) {
        TCliApplication::printError(error);
        return TCliApplication::ExitBadInput;
    }
    if (found.isEmpty()) {
        TCliApplication::printError(
            QStringLiteral("%1 has no entry \"%2\". Give the path as scan prints it, or # and its id.")
                .arg(options.Source, options.Entry));
        return TCliApplication::ExitBadInput;
    }
    if (found.size() > 1) {
        // A live and a deleted entry may share a path; guessing one would show the wrong data.
        QStringList ids;
        for (const TBaseElement* element : found)
            ids << QStringLiteral("#%1 (%2)").arg(element->TrueID).arg(element->GetCondition());
        TCliApplication::printError(QStringLiteral("\"%1\" names %2 entries: %3. Give one by its id.")
                                        .arg(options.Entry)
                                        .arg(found.size())
                                        .arg(ids.join(QStringLiteral(", "))));
        return TCliApplication::ExitBadInput;
    }
    const TBaseElement& element = *found.front();
    const QString shown = TScanReport::CleanText(TScanReport::elementPath(element));
    if (element.IsFolder()) {
        TCliApplication::printError(QStringLiteral("%1 is a folder; cat reads files.").arg(shown));
        return TCliApplication::ExitBadInput;
    }

    TFileInfo record;
    TEngineRecord::Fill(element, record);
    bool written = true;
    bool interrupted = false;
    const int64_t size = element.Size;
    const int64_t read = TFileByteSource::readRange(
        record, 0, size,
        [&](const char* data, int64_t length) {
            written = std::fwrite(data, 1, size_t(length), stdout) == size_t(length);
            interrupted = TInterruptGuard::Interrupted();
            return written && !interrupted;
        },
        error);
    written = std::fflush(stdout) == 0 && written;
    if (!written) {
        TCliApplication::printError(
            QStringLiteral("The data of %1 could not be written to standard output; check the disk space or "
                           "the receiving program.")
                .arg(shown));
        return TCliApplication::ExitFailed;
    }
    if (interrupted) {
        TCliApplication::printError(QStringLiteral("Reading %1 was interrupted after %2 of %3 bytes.")
                                        .arg(shown)
                                        .arg(read)
                                        .arg(size));
        return TCliApplication::ExitInterrupted;
    }
    if (read < size) {
        TCliApplication::printError(QStringLiteral("Only %1 of the %2 bytes of %3 could be read%4.")
                                        .arg(read)
                                        .arg(size)
                                        .arg(shown)
                                        .arg(error.isEmpty() ? QString() : QStringLiteral(": ") + error));
        return TCliApplication::ExitFailed;
    }
    return TCliApplication::ExitOk;
}
