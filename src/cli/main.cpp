// m7ctl: the command-line companion of m7prog. Backs up, clones, programs
// and checks the table of a GSM-M7/1 unit over its serial cable.

#include "cli/tool.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("m7ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(M7_VERSION));
    int status = 0;
    {
        cli::Tool tool;
        status = tool.run(QCoreApplication::arguments().mid(1));
    }
    // The last bytes of standard output go out when it is closed: a failure
    // there is a failure of the results too.
    if (std::fclose(stdout) != 0 && status == 0) {
        std::fprintf(stderr, "m7ctl: standard output: %s\n", std::strerror(errno));
        status = 2;
    }
    return status;
}
