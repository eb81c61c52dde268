#pragma once
// m7ctl's commands: reading the command line, running one command against
// the unit through the engine, and the exit status that says how it went.

#include "unit/engine.h"
#include "unit/jobs.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "files/tablefile.h"

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
// device given by its name: "ttyUSB0" is /dev/ttyUSB0). Empty device when
// the text names no port. Windows names its ports COMn and nothing else,
// and a USB adapter often gets COM5 or higher: there (windowsPorts) any
// COMn up to COM256 is the device COMn, and a path or a name is no port.
struct PortChoice {
    QString device;
    int number = 0;
};
#ifdef Q_OS_WIN
constexpr bool kWindowsPorts = true;
#else
constexpr bool kWindowsPorts = false;
#endif
PortChoice portFromArgument(const QString &text, bool windowsPorts = kWindowsPorts);

// The timeout -t gives, in milliseconds: 1 ms to an hour written as a plain
// number of seconds ("0.5"); nothing for any other text ("nan", "1e-9").
std::optional<int> timeoutFrom(const QString &text);

// The most problems of a file listed one by one; the rest are counted.
constexpr int kShownProblems = 50;

class Tool {
public:
    Tool(std::FILE *out = stdout, std::FILE *err = stderr);
    ~Tool();
    // Runs the command line (arguments without the program name first);
    // returns the exit status.
    int run(const QStringList &arguments);

private:
    friend const QList<CommandInfo> &commandTable();

    int runCommand(const QStringList &arguments);
    bool isSet(const char *option) const { return m_args.options.contains(QLatin1String(option)); }
    QString value(const char *option) const { return m_args.options.value(QLatin1String(option)); }
    int usage(const QString &message, const CommandInfo *command = nullptr);
    int fail(int status, const QString &message);
    // "m7ctl: message" on standard error
    void say(const QString &message);
    // A note on standard error that -q keeps back ("N entries written to FILE")
    void note(const QString &message);
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
    // The number of the unit's positions, found by reading single
    // positions, for the total of a progress line; 0 when no line is shown
    // or the unit does not tell.
    int positionsForProgress();
    // What a run has done so far, said when a second Ctrl-C ends it.
    QString doneSoFar() const;
    // Reads a table file (- for standard input): false (having said why)
    // when it cannot be read or has problems of its own.
    bool loadFile(const QString &path, files::TableFile &file);
    // FILE:LINE: lines for the first kShownProblems problems, the count of
    // the rest, and the summary; a number the unit holds twice is named as
    // the unit's, with the command that mends it. name is empty for an entry
    // given on the command line.
    void reportProblems(const QString &name, const QList<table::Problem> &problems);
    // The format --format gives for path, checked against the name: 0, or
    // the exit status of a usage error.
    int formatFor(const QString &path, std::optional<files::Format> &format);

    int cmdPorts(const QStringList &args);
    int cmdInfo(const QStringList &args);
    int cmdRead(const QStringList &args);
    int cmdGet(const QStringList &args);
    int cmdSet(const QStringList &args);
    int cmdClear(const QStringList &args);
    int cmdDiff(const QStringList &args);
    int cmdWrite(const QStringList &args);
    int cmdErase(const QStringList &args);
    int cmdHelp(const QStringList &args);
    int setEntry(const QString &positionText, const table::Entry &entry);

    std::FILE *m_out;
    std::FILE *m_err;
    Arguments m_args;
    const CommandInfo *m_command = nullptr;
    bool m_quiet = false;
    PortChoice m_port;
    int m_timeoutMs = 3000;
    bool m_trace = false;
    std::unique_ptr<ProgressLine> m_progress;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<Interrupts> m_interrupts;
    int m_outError = 0;        // errno of the first failed write of a result
    int m_declined = ExitDone; // the exit status of a plan not written
    std::optional<unit::Stage> m_stage; // the stage a job is in
    int m_done = 0, m_total = 0;  // ... and how far it got
    bool m_erasing = false;
};

} // namespace cli
