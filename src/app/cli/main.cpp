#include "TCliApplication.h"
#include "TCliPrompt.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    // A write to a closed pipe (a reader gone, a pipe at a target's place) fails with an
    // error that is reported, instead of killing the program without a summary.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    TCliPrompt prompt(stdin, stderr, isatty(STDIN_FILENO));
    const TUserPrompt::TInstalled::Scope promptInstalled(&prompt);
    return TCliApplication().run(QCoreApplication::arguments().mid(1));
}
