#include "TCliApplication.h"
#include "TCliPrompt.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    TCliPrompt prompt(stdin, stderr, isatty(STDIN_FILENO));
    TUserPrompt::Install(&prompt);
    const int status = TCliApplication().run(QCoreApplication::arguments().mid(1));
    TUserPrompt::Install(nullptr);
    return status;
}
