#include "TestConfig.h"
#include "support/TTempDir.h"
#include "util/Utils.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

// The desktop program's own command line. Each run gets a window system that does not
// exist: answering without creating windows is the only way to exit normally, and an
// argument that starts the program ends in the toolkit's refusal to start.
namespace {

struct TRun
{
    int Exit = -1;
    bool Crashed = true;
    QString Out;
    QString Err;
};

TRun runPro(const QStringList& arguments)
{
    TTempDir config;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-window-system"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(config.path()); // where a refused start may leave a core file
    process.start(QStringLiteral(BREVANT_BINARY_DIR "/src/brevant-pro"), arguments);
    TRun run;
    if (!process.waitForStarted(30000) || !process.waitForFinished(60000)) {
        run.Err = process.errorString();
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.Crashed = process.exitStatus() != QProcess::NormalExit;
    run.Exit = process.exitCode();
    run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

bool startedTheWindows(const TRun& run)
{
    return run.Crashed || (run.Exit != 0 && run.Exit != 2);
}

} // namespace

TEST(ProgramArguments, HelpAndVersionAnswerOnStandardOutput)
{
    ReadVerInfo();
    for (const char* option : {"--help", "-h"}) {
        const TRun run = runPro({QLatin1String(option), QStringLiteral("ignored.img")});
        EXPECT_FALSE(run.Crashed) << option << qPrintable(run.Err);
        EXPECT_EQ(run.Exit, 0) << option;
        EXPECT_TRUE(run.Out.startsWith(QLatin1String("Usage: brevant-pro "))) << qPrintable(run.Out);
        EXPECT_TRUE(run.Out.contains(QLatin1String("--version"))) << option;
        EXPECT_TRUE(run.Err.isEmpty()) << qPrintable(run.Err);
    }
    for (const char* option : {"--version", "-v"}) {
        const TRun run = runPro({QLatin1String(option)});
        EXPECT_FALSE(run.Crashed) << option << qPrintable(run.Err);
        EXPECT_EQ(run.Exit, 0) << option;
        EXPECT_EQ(run.Out, VerInfoProductName + QLatin1Char(' ') + VerInfoProductVersion + QLatin1Char('\n'));
    }
    // A window-system option before --help is the toolkit's and does not hide it.
    EXPECT_EQ(
        runPro({QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--help")}).Exit, 0);
}

TEST(ProgramArguments, UnknownOptionsAreRefusedAndImagesStillStartTheProgram)
{
    for (const char* option : {"--bogus", "-x", "--helpme"}) {
        const TRun run = runPro({QStringLiteral("disk.img"), QLatin1String(option)});
        EXPECT_FALSE(run.Crashed) << option;
        EXPECT_EQ(run.Exit, 2) << option;
        EXPECT_TRUE(run.Out.isEmpty()) << qPrintable(run.Out);
        EXPECT_TRUE(run.Err.contains(QStringLiteral("unknown option '%1'").arg(QLatin1String(option))))
            << qPrintable(run.Err);
        EXPECT_TRUE(run.Err.contains(QLatin1String("--help"))) << qPrintable(run.Err);
    }
    // An image path, a lone "-", a name after "--" and the toolkit's own options start
    // the program: it goes on to open its window system.
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("disk.img")}, QStringList{QStringLiteral("-")},
          QStringList{QStringLiteral("--"), QStringLiteral("--help")},
          QStringList{QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("-reverse"),
                      QStringLiteral("disk.img")}}) {
        const TRun run = runPro(arguments);
        EXPECT_TRUE(startedTheWindows(run)) << qPrintable(arguments.join(' ')) << " exit " << run.Exit;
        EXPECT_TRUE(run.Out.isEmpty()) << qPrintable(run.Out);
    }
}

TEST(ProgramArguments, LanguageOptionTakesANameAndStartsTheProgram)
{
    const TRun missing = runPro({QStringLiteral("--language")});
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_TRUE(missing.Err.contains(QLatin1String("'--language' needs a language name")))
        << qPrintable(missing.Err);
    for (const QStringList& arguments : {QStringList{QStringLiteral("--language"), QStringLiteral("dutch")},
                                         QStringList{QStringLiteral("--language=Dutch.lng")}}) {
        const TRun run = runPro(arguments);
        EXPECT_TRUE(startedTheWindows(run)) << qPrintable(arguments.join(' ')) << " exit " << run.Exit;
    }
}
