#pragma once
// What m7ctl does on the terminal beside its results: one updating
// progress line on standard error, and Ctrl-C / SIGTERM as a request to
// stop.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdio>
#include <functional>

namespace cli {

// "writing  37/120 [#######.............]  85.2/s  0:01 left" on one line
// of standard error, redrawn at most ten times a second, cut to the
// terminal's width. Nothing at all when disabled (standard error is no
// terminal, or -q).
class ProgressLine {
public:
    explicit ProgressLine(bool enabled, std::FILE *out = stderr) : m_enabled(enabled), m_out(out) {}
    ~ProgressLine() { clear(); }
    // what: "reading"; total 0 when unknown.
    void update(const QString &what, int done, int total);
    // Takes the line away (before a message or at the end).
    void clear();
    bool enabled() const { return m_enabled; }

    // The text of the line, for a given time since the start, in at most
    // `width` characters: the bar goes first, then the rate, then the rest
    // is cut.
    static QString format(const QString &what, int done, int total, double seconds, int width = 80);

private:
    bool m_enabled;
    std::FILE *m_out;
    QString m_what;
    QElapsedTimer m_started;
    QElapsedTimer m_drawn;
    bool m_shown = false;
};

// Whether a progress line belongs on standard error: it is a terminal.
bool stderrIsTerminal();
// The width of the terminal on standard error (80 when it cannot be told).
int stderrColumns();
// Whether a question can be asked: standard input is a terminal.
bool stdinIsTerminal();

// Turns SIGINT, SIGTERM and SIGHUP (the terminal or SSH session gone) into
// the signal interrupted() on the event loop (a handler may only write to a
// pipe); on Windows the same for Ctrl-C and Ctrl-Break in the console. A
// second one ends the process at once with status 130, after "m7ctl: " and
// the text of lastWords on standard error.
class Interrupts : public QObject {
    Q_OBJECT
public:
    explicit Interrupts(QObject *parent = nullptr);
    ~Interrupts() override;
    bool seen() const { return m_count > 0; }
    // What was done so far, said when a second signal ends the process.
    void setLastWords(std::function<QString()> words) { m_lastWords = std::move(words); }

signals:
    void interrupted();

private:
    int m_count = 0;
    std::function<QString()> m_lastWords;
};

} // namespace cli
