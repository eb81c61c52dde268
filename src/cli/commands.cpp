#include "cli/commands.h"

#include "cli/tool.h"

#include <algorithm>

namespace cli {

namespace {
QString S(const char *text) { return QString::fromUtf8(text); }
} // namespace

const QList<OptionInfo> &optionTable()
{
    static const QList<OptionInfo> table{
        {S("port"), QLatin1Char('p'), S("PORT"),
#ifdef Q_OS_WIN
         S("COM1..COM256, or 1..4 for COM1..COM4 as the window names them; default COM1"),
#else
         S("COM1..COM4 or 1..4 (as the window maps them), or a device: ttyUSB1,\n"
           "/dev/ttyUSB1, /dev/serial/by-id/...; default COM1"),
#endif
         true},
        {S("timeout"), QLatin1Char('t'), S("SECONDS"),
         S("seconds to wait for the unit's answer to one frame, 0.001 to 3600 (default 3)"), true},
        {S("quiet"), QLatin1Char('q'), QString(), S("no progress line and no notes: only errors and results"), true},
        {S("trace"), QChar(), QString(), S("every frame sent and line received on standard error, with times"), true},
        {S("help"), QLatin1Char('h'), QString(), S("this text, or with a command that command's"), true},
        {S("version"), QLatin1Char('V'), QString(), S("the version"), true},
        {S("output"), QLatin1Char('o'), S("FILE"), S("write the table to FILE (- for standard output)"), false},
        {S("format"), QChar(), S("F"),
         S("onf or csv: the file's format when its name does not say it (else its content does)"), false},
        {S("json"), QChar(), QString(), S("the result as one JSON document on standard output"), false},
        {S("dry-run"), QChar(), QString(), S("show the plan and the positions that would change; write nothing"),
         false},
        {S("prune"), QChar(), QString(), S("also blank the used positions FILE does not list"), false},
        {S("no-verify"), QChar(), QString(), S("no read-back after the writes"), false},
        {S("yes"), QChar(), QString(), S("do it without asking"), false},
    };
    return table;
}

const QList<CommandInfo> &commandTable()
{
    static const QList<CommandInfo> table{
        {S("ports"), QString(), 0, 0, {S("json")},
         S("serial ports here: device, lasting /dev/serial/by-id name, the COM number that maps to it,\n"
           "description, USB vendor:product and serial number, and whether another program holds it"),
         &Tool::cmdPorts},
        {S("info"), QString(), 0, 0, {},
         S("the unit's two information lines; when none comes, asks for position 1 and listens again"),
         &Tool::cmdInfo},
        {S("read"), QString(), 0, 0, {S("output"), S("format"), S("json")},
         S("the whole table: rows as the window shows them on standard output, or FILE"), &Tool::cmdRead},
        {S("get"), S("POSITION"), 1, 1, {}, S("one entry, printed as the window's row: (0005) : 359888123456 - 12"),
         &Tool::cmdGet},
        {S("set"), S("POSITION GSM OBJECT"), 3, 3, {}, S("write one entry, checked as the window checks an edit"),
         &Tool::cmdSet},
        {S("clear"), S("POSITION"), 1, 1, {}, S("write the blank entry at POSITION"), &Tool::cmdClear},
        {S("diff"), S("FILE"), 1, 1, {S("format"), S("json")},
         S("list the positions where the unit and FILE differ (FILE - is standard input)"), &Tool::cmdDiff},
        {S("write"), S("FILE"), 1, 1, {S("format"), S("dry-run"), S("prune"), S("no-verify"), S("yes"), S("json")},
         S("make the unit hold FILE's entries (FILE - is standard input); --prune also blanks the\n"
           "positions FILE does not list (asks first, or --yes); --json goes with --dry-run"),
         &Tool::cmdWrite},
        {S("erase"), QString(), 0, 0, {S("yes")},
         S("erase the whole table and wait until the unit reports the end (needs --yes)"), &Tool::cmdErase},
        {S("help"), S("[COMMAND]"), 0, 1, {}, S("this text, or the options of one command"), &Tool::cmdHelp},
    };
    return table;
}

const CommandInfo *findCommand(const QString &name)
{
    for (const CommandInfo &c : commandTable())
        if (c.name == name)
            return &c;
    return nullptr;
}

namespace {
const OptionInfo *optionByName(const QString &name)
{
    for (const OptionInfo &o : optionTable())
        if (o.name == name)
            return &o;
    return nullptr;
}
} // namespace

Arguments readArguments(const QStringList &arguments)
{
    Arguments a;
    for (qsizetype i = 0; i < arguments.size() && a.error.isEmpty(); ++i) {
        const QString &word = arguments[i];
        if (word == QLatin1String("--")) {
            a.words += arguments.mid(i + 1);
            break;
        }
        if (word.startsWith(QLatin1String("--"))) {
            const qsizetype eq = word.indexOf(QLatin1Char('='));
            const QString name = word.mid(2, eq < 0 ? -1 : eq - 2);
            QList<const OptionInfo *> matches;
            for (const OptionInfo &o : optionTable()) {
                if (o.name == name) {
                    matches = {&o};
                    break;
                }
                if (o.name.startsWith(name))
                    matches << &o;
            }
            if (matches.size() != 1) {
                QStringList names;
                for (const OptionInfo *o : matches)
                    names << QLatin1String("--") + o->name;
                a.error = matches.isEmpty() ? QStringLiteral("unknown option --%1").arg(name)
                                            : QStringLiteral("option --%1 is ambiguous: %2")
                                                  .arg(name, names.join(QLatin1String(", ")));
                break;
            }
            const OptionInfo &o = *matches.first();
            if (o.value.isEmpty()) {
                if (eq >= 0)
                    a.error = QStringLiteral("option --%1 takes no value").arg(o.name);
                a.options.insert(o.name, QString());
            } else if (eq >= 0) {
                a.options.insert(o.name, word.mid(eq + 1));
            } else if (i + 1 < arguments.size()) {
                a.options.insert(o.name, arguments[++i]);
            } else {
                a.error = QStringLiteral("option --%1 wants %2").arg(o.name, o.value);
            }
            continue;
        }
        if (word.size() < 2 || !word.startsWith(QLatin1Char('-'))) {
            a.words << word;
            continue;
        }
        // -qV: switches bundled; -pCOM1 and -p COM1: a value attached or next.
        for (qsizetype k = 1; k < word.size(); ++k) {
            const auto it = std::find_if(optionTable().cbegin(), optionTable().cend(),
                                         [c = word[k]](const OptionInfo &o) { return o.letter == c; });
            if (it == optionTable().cend()) {
                a.error = QStringLiteral("unknown option -%1").arg(word[k]);
                break;
            }
            if (it->value.isEmpty()) {
                a.options.insert(it->name, QString());
                continue;
            }
            if (k + 1 < word.size())
                a.options.insert(it->name, word.mid(k + 1));
            else if (i + 1 < arguments.size())
                a.options.insert(it->name, arguments[++i]);
            else
                a.error = QStringLiteral("option -%1 wants %2").arg(it->letter).arg(it->value);
            break;
        }
    }
    return a;
}

QString optionSynopsis(const OptionInfo &o)
{
    QString s = o.letter.isNull() ? QStringLiteral("    --%1").arg(o.name)
                                  : QStringLiteral("-%1, --%2").arg(o.letter).arg(o.name);
    if (!o.value.isEmpty())
        s += QLatin1Char(' ') + o.value;
    return s;
}

QString commandSynopsis(const CommandInfo &c)
{
    QString s = c.name;
    if (!c.arguments.isEmpty())
        s += QLatin1Char(' ') + c.arguments;
    for (const QString &name : c.options) {
        const OptionInfo *o = optionByName(name);
        s += QStringLiteral(" [%1%2%3]")
                 .arg(o->letter.isNull() ? QLatin1String("--") + o->name : QStringLiteral("-") + o->letter)
                 .arg(o->value.isEmpty() ? QString() : QLatin1String(" "), o->value);
    }
    return s;
}

namespace {
QString indented(const QString &text, int by)
{
    QString s = text;
    return s.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(by, QLatin1Char(' ')));
}
QString optionLines(const QList<const OptionInfo *> &options)
{
    QString text;
    for (const OptionInfo *o : options)
        text += QStringLiteral("  %1%2\n").arg(optionSynopsis(*o), -24).arg(indented(o->help, 26));
    return text;
}

} // namespace

QString usageText()
{
    QList<const OptionInfo *> options;
    for (const OptionInfo &o : optionTable())
        options << &o;
    QString text = QStringLiteral(
        "Usage: m7ctl [-p PORT] [-t SECONDS] [-q] [--trace] COMMAND [ARGS]\n"
        "Backs up, clones, programs and checks the table of a GSM-M7/1 unit over its\n"
        "serial cable (115200 baud, 8N1).\n\n");
    text += optionLines(options) + QLatin1Char('\n');
    for (const CommandInfo &c : commandTable()) {
        const QString synopsis = commandSynopsis(c);
        text += QStringLiteral("  %1\n      %2\n").arg(synopsis, indented(c.help, 6));
    }
    text += QStringLiteral(
        "\nPOSITION counts from 1 as the window's rows do. FILE is .onf/.tfo (the window's records) or\n"
        ".csv (position,gsm,object); another name is read by its content. Exit status: 0 done; 1 diff\n"
        "found differences; 2 bad usage or a bad input file (nothing was written); 3 the port could not\n"
        "be opened or was lost; 4 the unit did not answer in time; 5 the read-back after a write found\n"
        "differences; 130 interrupted. m7ctl help COMMAND tells one command's options.\n");
    return text;
}

QString commandHelp(const CommandInfo &c)
{
    QList<const OptionInfo *> own, global;
    for (const QString &name : c.options)
        own << optionByName(name);
    for (const OptionInfo &o : optionTable())
        if (o.global)
            global << &o;
    QString text = QStringLiteral("Usage: m7ctl [OPTIONS] %1\n%2\n").arg(commandSynopsis(c), c.help);
    if (!own.isEmpty())
        text += QStringLiteral("\nOptions of %1:\n").arg(c.name) + optionLines(own);
    text += QStringLiteral("\nOptions of every command:\n") + optionLines(global);
    return text;
}

QString nearestCommand(const QString &name)
{
    // Edits (insert, delete, change, swap two neighbours) from one word to another.
    const auto distance = [](const QString &a, const QString &b) {
        QList<QList<int>> d(a.size() + 1, QList<int>(b.size() + 1, 0));
        for (qsizetype i = 0; i <= a.size(); ++i)
            d[i][0] = int(i);
        for (qsizetype j = 0; j <= b.size(); ++j)
            d[0][j] = int(j);
        for (qsizetype i = 1; i <= a.size(); ++i)
            for (qsizetype j = 1; j <= b.size(); ++j) {
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        return d[a.size()][b.size()];
    };
    QString best;
    int bestDistance = 3; // more edits than two are no misspelling
    for (const CommandInfo &c : commandTable()) {
        const QString word = name.toLower();
        const int d = word.size() >= 2 && c.name.startsWith(word) ? 1 : distance(word, c.name);
        if (d < bestDistance && d < c.name.size()) {
            best = c.name;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace cli
