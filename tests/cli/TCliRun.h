#pragma once

#include "TestConfig.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// One run of the built brevant-cli: exit status and what it printed.
struct TCliRun
{
    int Exit = -1;
    bool Crashed = true;
    QString Out;
    QString Err;
};

// Runs brevant-cli with the arguments, listing registered images only, and waits for it.
inline TCliRun runCli(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(BREVANT_CLI_PATH), arguments);
    TCliRun run;
    if (!process.waitForStarted(30000)) {
        run.Err = process.errorString();
        return run;
    }
    process.closeWriteChannel();
    process.waitForFinished(300000);
    run.Crashed = process.exitStatus() != QProcess::NormalExit;
    run.Exit = process.exitCode();
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
