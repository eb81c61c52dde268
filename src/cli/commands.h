#pragma once
// m7ctl's command table: every command and option, in one place. The
// argument reader, the per-command checks, --help, "m7ctl help COMMAND" and
// the dispatch in Tool::run all read it; a test holds the manual page and
// the bash completion against it.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace cli {

class Tool;

struct OptionInfo {
    QString name;      // long name: "dry-run"
    QChar letter;      // short name, or a null QChar
    QString value;     // what the option takes ("PORT"), empty for a switch
    QString help;      // one line
    bool global;       // goes with every command
};

struct CommandInfo {
    QString name;
    QString arguments;   // "POSITION GSM OBJECT"
    int least;           // how many arguments it takes: least..most
    int most;
    QStringList options; // the long names of its own options
    QString help;        // what it does, lines for the usage text
    int (Tool::*run)(const QStringList &arguments);
};

// Every option, global ones first.
const QList<OptionInfo> &optionTable();
// Every command, in the order --help lists them.
const QList<CommandInfo> &commandTable();
const CommandInfo *findCommand(const QString &name);

// What the command line says: the options given (long name to value, an
// empty value for a switch) and the other words in order. Options may stand
// anywhere before "--"; "-" is a word. Short options may be bundled (-qV)
// and take their value attached (-pCOM1) or as the next word; a long option
// may be cut to a prefix that only it has, and takes its value after "=" or
// as the next word. error is not empty when the line cannot be read.
struct Arguments {
    QHash<QString, QString> options;
    QStringList words;
    QString error;
};
Arguments readArguments(const QStringList &arguments);

// "-p, --port PORT" / "    --dry-run"
QString optionSynopsis(const OptionInfo &option);
// "write FILE [--format F] [--dry-run] ..."
QString commandSynopsis(const CommandInfo &command);
// The text of --help.
QString usageText();
// The text of "m7ctl help COMMAND" and "m7ctl COMMAND --help".
QString commandHelp(const CommandInfo &command);
// The command nearest to a misspelt one, or an empty text when none is near.
QString nearestCommand(const QString &name);

} // namespace cli
