#include "tablefile_harness.h"

#include "files/tablefile.h"

#include <QSet>

#include <algorithm>

namespace fuzzing {

namespace {

int lineCount(const QByteArray &bytes)
{
    const int ends = int(bytes.count('\n'));
    return bytes.isEmpty() || bytes.endsWith('\n') ? ends : ends + 1;
}

bool nineDigits(const QString &gsm)
{
    return gsm.size() == 9 && std::all_of(gsm.cbegin(), gsm.cend(), [](QChar c) {
               return c >= QLatin1Char('0') && c <= QLatin1Char('9');
           });
}

// The table the entries describe: positions 1 to the highest one, the
// positions not listed blank.
table::Table tableOf(const QList<files::FileEntry> &entries)
{
    int last = 0;
    for (const files::FileEntry &e : entries)
        last = qMax(last, e.position);
    table::Table t(last);
    for (const files::FileEntry &e : entries)
        t[e.position - 1] = e.entry;
    return t;
}

QString checkOne(const QByteArray &bytes, files::Format format)
{
    const QString name = format == files::Format::Onf ? QStringLiteral("records") : QStringLiteral("spreadsheet");
    const files::TableFile f = files::parseTable(bytes, format);
    const int lines = lineCount(bytes);
    for (const files::Problem &p : f.problems) {
        if (p.line < 0 || p.line > lines)
            return QStringLiteral("%1: problem on line %2 of %3: %4").arg(name).arg(p.line).arg(lines).arg(p.what);
        if (p.what.isEmpty())
            return QStringLiteral("%1: problem without a text on line %2").arg(name).arg(p.line);
    }
    QSet<int> positions;
    for (const files::FileEntry &e : f.entries) {
        const bool blank = e.entry.gsm == table::blankGsm();
        if (e.line < 1 || e.line > lines || e.position < 1 || e.position > 9999 || positions.contains(e.position) ||
            !(blank || nineDigits(e.entry.gsm)) || (blank ? e.entry.object != 0 : e.entry.object < 1) ||
            e.entry.object > 7999)
            return QStringLiteral("%1: entry on line %2 for position %3: %4 - %5")
                .arg(name)
                .arg(e.line)
                .arg(e.position)
                .arg(e.entry.gsm)
                .arg(e.entry.object);
        positions.insert(e.position);
    }
    if (!f.problems.isEmpty())
        return QString();

    const table::Table t = tableOf(f.entries);
    for (files::Format back : {files::Format::Onf, files::Format::Csv}) {
        const QByteArray written = back == files::Format::Onf ? files::onfOf(t) : files::csvOf(t);
        const files::TableFile again = files::parseTable(written, back);
        if (!again.problems.isEmpty())
            return QStringLiteral("%1: written back, line %2: %3")
                .arg(name)
                .arg(again.problems.first().line)
                .arg(again.problems.first().what);
        if (tableOf(again.entries) != t || again.entries.size() != t.size())
            return QStringLiteral("%1: written back, reads as another table").arg(name);
    }
    return QString();
}

} // namespace

QString runTableFileInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString bad = checkOne(bytes, files::Format::Onf);
    if (bad.isEmpty())
        bad = checkOne(bytes, files::Format::Csv);
    return bad;
}

} // namespace fuzzing
