#include "tablefile_harness.h"

#include "files/tablefile.h"

#include <QSet>

#include <algorithm>

namespace fuzzing {

namespace {

// The table the entries describe: positions 1 to the highest one listed.
table::Table tableOf(const QList<table::FileEntry> &entries)
{
    table::Table t;
    for (const table::FileEntry &e : entries) {
        if (e.position > t.size())
            t.resize(e.position);
        t[e.position - 1] = e.entry;
    }
    return t;
}

QString checkOne(const QByteArray &bytes, files::Format format)
{
    const files::TableFile f = files::parseTable(bytes, format);
    // A CR alone ends a line too, and a UTF-16 line end holds one of these
    // bytes: at most this many lines.
    const int lines = int(bytes.count('\n') + bytes.count('\r')) + 1;
    for (const table::Problem &p : f.problems)
        if (p.line < 0 || p.line > lines || p.what.isEmpty())
            return QStringLiteral("problem on line %1 of %2: %3").arg(p.line).arg(lines).arg(p.what);
    QSet<int> positions;
    for (const table::FileEntry &e : f.entries) {
        const table::Entry &x = e.entry;
        const bool digits = x.gsm.size() == 9 && std::all_of(x.gsm.begin(), x.gsm.end(), [](QChar c) {
                                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                            });
        if (e.line < 1 || e.line > lines || e.position < 1 || e.position > 9999 || positions.contains(e.position) ||
            !(x.isBlank() || (digits && x.object >= 1 && x.object <= 7999)))
            return QStringLiteral("entry on line %1: %2 %3 %4").arg(e.line).arg(e.position).arg(x.gsm).arg(x.object);
        positions.insert(e.position);
    }
    if (!f.problems.isEmpty())
        return QString();
    const table::Table t = tableOf(f.entries);
    for (files::Format back : {files::Format::Onf, files::Format::Csv}) {
        const files::TableFile again =
            files::parseTable(back == files::Format::Onf ? files::onfOf(t) : files::csvOf(t), back);
        if (!again.problems.isEmpty() || again.entries.size() != t.size() || tableOf(again.entries) != t)
            return QStringLiteral("written back in format %1, reads as another table").arg(int(back));
    }
    return QString();
}

} // namespace

QString runTableFileInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (files::Format format : {files::Format::Onf, files::Format::Csv})
        if (const QString bad = checkOne(bytes, format); !bad.isEmpty())
            return QStringLiteral("read as format %1: %2").arg(int(format)).arg(bad);
    return QString();
}

} // namespace fuzzing
