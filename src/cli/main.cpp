// m7ctl: the command-line companion of m7prog. Backs up, clones, programs
// and checks the table of a GSM-M7/1 unit over its serial cable.

#include "cli/tool.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("m7ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(M7_VERSION));
    cli::Tool tool;
    return tool.run(QCoreApplication::arguments().mid(1));
}
