#pragma once
// m7ctl's commands: reading the command line, running one command against
// the unit through the engine, and the exit status that says how it went.

#include "cli/engine.h"
#include "cli/terminal.h"
#include "files/tablefile.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace cli {

// Exit statuses; scripts depend on them.
enum Exit : int {
    ExitDone = 0,
    ExitDiffers = 1,     // diff found differences
    ExitUsage = 2,       // bad usage or a bad input file: nothing was written
    ExitPort = 3,        // the port could not be opened, or was lost
    ExitSilent = 4,      // the unit did not answer in time
    ExitVerify = 5,      // the read-back after a write found differences
    ExitInterrupted = 130,
};

// What -p names: a device and the COM number it stands for (0 for a
// device given by its path). Empty device when the text names no port.
struct PortChoice {
    QString device;
    int number = 0;
};
PortChoice portFromArgument(const QString &text);

// The text of --help.
QString usageText();

class Tool {
public:
    Tool(std::FILE *out = stdout, std::FILE *err = stderr);
    ~Tool();
    // Runs the command line (arguments without the program name first);
    // returns the exit status.
    int run(const QStringList &arguments);

private:
    int usage(const QString &message);
    int fail(int status, const QString &message);
    void say(const QString &message);
    void result(const QString &line);
    int exitFor(Outcome outcome);

    bool openEngine();
    // Reads POSITION and opens the port: 0, or the exit status.
    int openAt(const QString &positionText, int &position);
    int readUnit(table::Table &unit);
    // Reads and checks a table file: false (having said why) when it cannot
    // be read or has problems of its own.
    bool loadFile(const QString &path, files::TableFile &file);
    void reportProblems(const QString &path, const QList<files::Problem> &problems);
    std::optional<files::Format> formatFor(const QString &path);

    int cmdPorts();
    int cmdInfo();
    int cmdRead();
    int cmdGet(const QString &positionText);
    int cmdSet(const QString &positionText, const table::Entry &entry);
    int cmdDiff(const QString &path);
    int cmdWrite(const QString &path);
    int cmdErase();

    std::FILE *m_out;
    std::FILE *m_err;
    QCommandLineParser m_parser;
    PortChoice m_port;
    int m_timeoutMs = 3000;
    bool m_trace = false;
    std::unique_ptr<ProgressLine> m_progress;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<Interrupts> m_interrupts;
};

} // namespace cli
