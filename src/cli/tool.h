#pragma once
// m7ctl's commands: reading the command line, running one command against
// the unit through the engine, and the exit status that says how it went.

#include "unit/engine.h"
#include "unit/jobs.h"
#include "cli/terminal.h"
#include "files/tablefile.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace cli {

using unit::Engine;
using unit::JobResult;
using unit::Outcome;
using unit::StageProgress;
using unit::WritePlan;

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
    int runCommand(const QStringList &arguments);
    int usage(const QString &message);
    int fail(int status, const QString &message);
    // "m7ctl: message" on standard error
    void say(const QString &message);
    // A line on standard error as it is (a file's problem: FILE:LINE: ...)
    void message(const QString &line);
    // A line of the results, on standard output
    void result(const QString &line);
    void output(const QByteArray &bytes);
    void noteOutputError(int code);
    int exitFor(Outcome outcome);
    StageProgress stageProgress();
    int failed(const JobResult &result);
    void showPlan(const WritePlan &plan);
    bool approve(const WritePlan &plan, const QString &path);

    bool openEngine();
    // Reads POSITION and opens the port: 0, or the exit status.
    int openAt(const QString &positionText, int &position);
    int readUnit(table::Table &unit);
    // Reads a table file: false (having said why) when it cannot be read or
    // has problems of its own.
    bool loadFile(const QString &path, files::TableFile &file);
    void reportProblems(const QString &path, const QList<table::Problem> &problems);
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
    int m_outError = 0;        // errno of the first failed write of a result
    int m_declined = ExitDone; // the exit status of a plan not written
};

} // namespace cli
