#include "files/tablefile.h"

#include "files/records.h"
#include "table/numbers.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <array>

namespace files {

namespace {

using table::isNumberBlank;
using table::kLastObject;
using table::kLastPosition;
using table::normaliseGsm;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

QStringView trimmed(QStringView s)
{
    while (!s.isEmpty() && isNumberBlank(s.front()))
        s = s.mid(1);
    while (!s.isEmpty() && isNumberBlank(s.back()))
        s.chop(1);
    return s;
}

// Digits with an optional leading minus as a whole number; a value too
// large for an int stops growing just past it (it is out of every range
// anyway). Nothing when the text is not of that form.
std::optional<int> wholeNumber(QStringView s)
{
    const bool negative = s.startsWith(QLatin1Char('-'));
    if (negative)
        s = s.mid(1);
    if (s.isEmpty())
        return std::nullopt;
    int value = 0;
    for (QChar c : s) {
        if (!isDigit(c))
            return std::nullopt;
        if (value <= 100000000)
            value = value * 10 + (c.unicode() - '0');
    }
    return negative ? -value : value;
}

QString quoted(QStringView s) { return QLatin1Char('"') + s.toString() + QLatin1Char('"'); }

// Collects the entries and problems of one file, line by line.
class Collector {
public:
    TableFile file;

    void problem(int line, const QString &what) { file.problems.append({line, what}); }

    // One entry from its three texts. The GSM text has already been read
    // into the nine digits or the blank text (gsm), or could not be (nothing).
    // An empty object text stands for 0 when emptyObjectIsZero.
    void take(int line, QStringView positionText, const std::optional<QString> &gsm, QStringView gsmText,
              QStringView objectText, bool emptyObjectIsZero)
    {
        const int problemsBefore = int(file.problems.size());

        positionText = trimmed(positionText);
        const std::optional<int> position = wholeNumber(positionText);
        if (!position || *position < 1 || *position > kLastPosition) {
            problem(line, positionText.isEmpty()
                              ? QStringLiteral("the position is missing")
                              : QStringLiteral("position %1 is not a whole number from 1 to %2")
                                    .arg(quoted(positionText))
                                    .arg(kLastPosition));
        } else if (const auto seen = lineOfPosition.constFind(*position); seen != lineOfPosition.cend()) {
            problem(line, QStringLiteral("position %1 also on line %2").arg(*position).arg(*seen));
        } else {
            lineOfPosition.insert(*position, line);
        }

        if (!gsm) {
            QString what = QStringLiteral("GSM number %1 is not nine digits").arg(quoted(trimmed(gsmText)));
            // 3.59888E+11: a spreadsheet showed the number in its short form
            // and saved it so, with its last digits lost.
            if (gsmText.contains(QLatin1String("E+"), Qt::CaseInsensitive))
                what += QStringLiteral(" (the spreadsheet shortened it: format the column as text)");
            problem(line, what);
        }

        objectText = trimmed(objectText);
        const bool blank = gsm && *gsm == table::blankGsm();
        const std::optional<int> object =
            objectText.isEmpty() && emptyObjectIsZero ? std::optional<int>(0) : wholeNumber(objectText);
        if (!object) {
            problem(line, objectText.isEmpty()
                              ? QStringLiteral("the object number is missing")
                              : QStringLiteral("object number %1 is not a whole number").arg(quoted(objectText)));
        } else if (blank && *object != 0) {
            problem(line,
                    QStringLiteral("object number %1 with a blank GSM number (a blank slot has object 0)")
                        .arg(objectText));
        } else if (!blank && (*object > kLastObject || *object < (gsm ? 1 : 0))) {
            problem(line, objectText.isEmpty() ? QStringLiteral("the object number is missing")
                                               : QStringLiteral("object number %1 is outside 1..%2").arg(objectText).arg(kLastObject));
        }

        if (file.problems.size() == problemsBefore) {
            table::Entry e;
            e.gsm = *gsm;
            e.object = qint16(*object);
            file.entries.append({*position, e, line});
        }
    }

private:
    QHash<int, int> lineOfPosition;
};

// ---------------------------------------------------------------- records

// Cuts a line made of a start, the position, a separator, the GSM text, a
// second separator and the object number into its three stretches.
bool cutThree(QStringView line, QLatin1String start, QLatin1String afterPosition, QLatin1String afterGsm,
              QStringView &position, QStringView &gsm, QStringView &object)
{
    if (!line.startsWith(start))
        return false;
    const qsizetype close = line.indexOf(afterPosition, start.size());
    if (close < 0)
        return false;
    const qsizetype gsmStart = close + afterPosition.size();
    const qsizetype gsmEnd = line.indexOf(afterGsm, gsmStart);
    if (gsmEnd < 0)
        return false;
    position = line.mid(start.size(), close - start.size());
    gsm = line.mid(gsmStart, gsmEnd - gsmStart);
    object = line.mid(gsmEnd + afterGsm.size());
    return true;
}

// A record "(P)","G",O.
bool cutRecord(QStringView line, QStringView &position, QStringView &gsm, QStringView &object)
{
    return cutThree(line, QLatin1String("\"("), QLatin1String(")\",\""), QLatin1String("\","), position, gsm, object);
}

// A row as the window's list and m7ctl's standard output show it:
// (P) : 359G - O.
bool cutRow(QStringView line, QStringView &position, QStringView &gsm, QStringView &object)
{
    return cutThree(line, QLatin1String("("), QLatin1String(") : "), QLatin1String(" - "), position, gsm, object);
}

TableFile parseRecords(const QString &text)
{
    Collector c;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int line = int(i + 1);
        const QStringView l = trimmed(lines[i]);
        if (l.isEmpty())
            continue;
        QStringView position, gsmText, object;
        if (!cutRecord(l, position, gsmText, object) && !cutRow(l, position, gsmText, object)) {
            c.problem(line, QStringLiteral("not a record like \"(0001)\",\"359888123456\",17 or a row like "
                                           "(0001) : 359888123456 - 17"));
            continue;
        }
        // The unit takes a GSM text with an asterisk anywhere for an empty
        // slot; a record always has the GSM stretch, an empty one is cut short.
        std::optional<QString> gsm;
        if (table::marksBlankSlot(gsmText.toString()))
            gsm = table::blankGsm();
        else if (!trimmed(gsmText).isEmpty())
            gsm = normaliseGsm(gsmText.toString());
        c.take(line, position, gsm, gsmText, object, false);
    }
    return c.file;
}

// ---------------------------------------------------------------- spreadsheet

struct CsvRecord {
    int line; // where it starts
    QStringList fields;
    bool unclosed; // a quoted field runs to the end of the file
};

bool allEmpty(const QStringList &fields)
{
    for (const QString &f : fields)
        if (!trimmed(f).isEmpty())
            return false;
    return true;
}

// Cuts the text into records of fields. A quoted field may hold the
// separator, line breaks and "" for a quotation mark; what follows its
// closing quotation mark up to the separator is taken into it as it is.
QList<CsvRecord> csvRecords(const QString &text, QChar sep)
{
    QList<CsvRecord> records;
    const QChar quote = QLatin1Char('"'), newline = QLatin1Char('\n');
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    while (i < n) {
        CsvRecord r{line, {}, false};
        for (bool more = true; more;) {
            QString field;
            if (i < n && text[i] == quote) {
                for (++i;; ++i) {
                    if (i >= n) {
                        r.unclosed = true;
                        break;
                    }
                    if (text[i] == quote) {
                        if (i + 1 < n && text[i + 1] == quote) {
                            ++i;
                        } else {
                            ++i;
                            break;
                        }
                    } else if (text[i] == newline) {
                        ++line;
                    }
                    field += text[i];
                }
            }
            while (i < n && text[i] != sep && text[i] != newline)
                field += text[i++];
            if (i < n && text[i] == sep) {
                ++i; // another field follows, an empty one at the very end
            } else {
                more = false;
                if (i < n) {
                    ++i;
                    ++line;
                }
            }
            r.fields.append(field);
        }
        records.append(r);
    }
    return records;
}

// The names each column is found by, in any case: English first (the name
// m7ctl writes), then Bulgarian, as people head their sheets.
const std::array<QStringList, 3> &columnNames()
{
    static const std::array<QStringList, 3> names{
        QStringList{QStringLiteral("position"), QStringLiteral("позиция")},
        QStringList{QStringLiteral("gsm"), QStringLiteral("gsm number"), QStringLiteral("gsm номер"),
                    QStringLiteral("телефон")},
        QStringList{QStringLiteral("object"), QStringLiteral("обект")}};
    return names;
}

// The value a spreadsheet meant by a field: Excel keeps a leading zero as
// '0888000001 or ="0888000002" (saved as "=""0888000002""").
QString sheetValue(const QString &field)
{
    const QStringView t = trimmed(field);
    if (t.size() >= 3 && t.startsWith(QLatin1String("=\"")) && t.endsWith(QLatin1Char('"')))
        return t.mid(2, t.size() - 3).toString();
    if (t.startsWith(QLatin1Char('\'')))
        return t.mid(1).toString();
    return field;
}

struct Header {
    qsizetype at = -1;                // index of the header record (or the first row without one)
    std::array<int, 3> column{-1, -1, -1}; // position, gsm, object
    QStringList twice;                // column names that stand more than once
    bool none = false;                // no header: the rows are position, gsm, object
    int found() const { return int(std::count_if(column.begin(), column.end(), [](int c) { return c >= 0; })); }
};

Header findHeader(const QList<CsvRecord> &records)
{
    Header h;
    for (h.at = 0; h.at < records.size() && allEmpty(records[h.at].fields); ++h.at) {
    }
    if (h.at == records.size())
        return h;
    const QStringList &fields = records[h.at].fields;
    for (int f = 0; f < fields.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const QStringView name = trimmed(fields[f]);
            if (!std::any_of(columnNames()[k].cbegin(), columnNames()[k].cend(),
                             [name](const QString &n) { return name.compare(n, Qt::CaseInsensitive) == 0; }))
                continue;
            if (h.column[k] < 0)
                h.column[k] = f;
            else if (!h.twice.contains(columnNames()[k].first()))
                h.twice.append(columnNames()[k].first());
        }
    }
    // A first row of three or more fields that begins with a position is
    // a row: the file has no header, and its columns are in m7ctl's order.
    if (h.found() == 0 && fields.size() >= 3 && wholeNumber(trimmed(sheetValue(fields[0])))) {
        h.column = {0, 1, 2};
        h.none = true;
    }
    return h;
}

// "position (позиция), gsm (...) and object (обект)"
QString lookedFor()
{
    QStringList names;
    for (const QStringList &n : columnNames())
        names.append(QStringLiteral("%1 (%2)").arg(n.first(), n.mid(1).join(QLatin1String(", "))));
    return QStringLiteral("looked for %1, %2 and %3 in any case").arg(names[0], names[1], names[2]);
}

TableFile parseSpreadsheet(const QString &text)
{
    Collector c;
    // The separator is the one that splits the header into the three columns.
    QList<CsvRecord> records;
    Header header;
    for (QChar sep : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
        QList<CsvRecord> r = csvRecords(text, sep);
        const Header h = findHeader(r);
        if (records.isEmpty() || h.found() > header.found()) {
            records = std::move(r);
            header = h;
        }
        if (header.found() == 3)
            break;
    }
    if (header.at >= records.size()) {
        c.problem(0, QStringLiteral("the file is empty: no header line position,gsm,object"));
        return c.file;
    }
    const int headerLine = records[header.at].line;
    if (header.found() < 3) {
        QStringList missing;
        for (int k = 0; k < 3; ++k)
            if (header.column[k] < 0)
                missing.append(columnNames()[k].first());
        const QString last = missing.takeLast();
        QStringList cells;
        for (const QString &f : records[header.at].fields)
            cells.append(trimmed(f).toString());
        QString shown = cells.join(QLatin1String(" | "));
        if (shown.size() > 80)
            shown = shown.left(77) + QLatin1String("...");
        c.problem(headerLine, (missing.isEmpty()
                                   ? QStringLiteral("the header line lacks the column %1").arg(last)
                                   : QStringLiteral("the header line lacks the columns %1 and %2")
                                         .arg(missing.join(QLatin1String(", ")), last)) +
                                  QStringLiteral(": found %1; %2").arg(quoted(shown), lookedFor()));
        return c.file;
    }
    for (const QString &name : header.twice)
        c.problem(headerLine, QStringLiteral("column %1 stands twice in the header line").arg(name));

    for (qsizetype i = header.at; i < records.size(); ++i) {
        const CsvRecord &r = records[i];
        if (r.unclosed)
            c.problem(r.line, QStringLiteral("a quotation mark opened on this line is never closed"));
        if ((i == header.at && !header.none) || r.unclosed || allEmpty(r.fields))
            continue;
        const auto field = [&r](int k) { return k < r.fields.size() ? sheetValue(r.fields[k]) : QString(); };
        const QString position = field(header.column[0]), gsmText = field(header.column[1]),
                      object = field(header.column[2]);
        c.take(r.line, position, normaliseGsm(gsmText), gsmText, object, true);
    }
    return c.file;
}

// A spreadsheet field, quoted when it holds what would end it.
QByteArray csvField(const QString &s)
{
    QByteArray b = s.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\r') || b.contains('\n'))
        b = '"' + b.replace("\"", "\"\"") + '"';
    return b;
}

} // namespace

std::optional<Format> formatFromName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("onf") || suffix == QLatin1String("tfo"))
        return Format::Onf;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    return std::nullopt;
}

QString unknownFormatText(const QString &path)
{
    return QStringLiteral("cannot tell the format of %1: name it .onf, .tfo or .csv").arg(path);
}

namespace {
// The text of a table file. UTF-16 with its byte-order mark, little- or
// big-endian (a spreadsheet's "Unicode text"); else UTF-8, with or without
// its mark, for a spreadsheet, and one byte per character for records.
// CR LF, LF and a CR alone all end a line: each becomes one LF.
QString textOf(const QByteArray &bytes, Format format)
{
    QByteArrayView b(bytes);
    QString text;
    if (b.startsWith("\xFF\xFE") || b.startsWith("\xFE\xFF")) {
        QStringDecoder decode(b.startsWith("\xFF") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                              QStringConverter::Flag::Stateless);
        text = decode(b.sliced(2));
    } else {
        if (b.startsWith("\xEF\xBB\xBF"))
            b = b.sliced(3);
        text = format == Format::Onf ? QString::fromLatin1(b) : QString::fromUtf8(b);
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
} // namespace

Format formatFromContent(const QByteArray &bytes)
{
    const QString text = textOf(bytes, Format::Csv);
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView l = trimmed(line);
        if (l.isEmpty())
            continue;
        return l.startsWith(QLatin1Char('(')) || l.startsWith(QLatin1String("\"(")) ? Format::Onf : Format::Csv;
    }
    return Format::Onf;
}

TableFile parseTable(const QByteArray &bytes, Format format)
{
    const QString text = textOf(bytes, format);
    TableFile file = format == Format::Onf ? parseRecords(text) : parseSpreadsheet(text);
    // A file that lists nothing is no table: written with prune it would
    // blank the whole unit, and compared it would match any unit.
    if (file.entries.isEmpty() && file.problems.isEmpty())
        file.problems.append({0, QStringLiteral("the file lists no entries")});
    return file;
}

QByteArray onfOf(const table::Table &t)
{
    QStringList rows;
    rows.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i)
        rows.append(table::rowOf(int(i + 1), t[i]));
    return recordsOf(rows);
}

QByteArray csvOf(const table::Table &t)
{
    QByteArray out("position,gsm,object\r\n");
    for (qsizetype i = 0; i < t.size(); ++i) {
        out += QByteArray::number(i + 1);
        out += ',';
        if (t[i].gsm != table::blankGsm())
            out += csvField(t[i].gsm);
        out += ',';
        out += QByteArray::number(t[i].object);
        out += "\r\n";
    }
    return out;
}

} // namespace files
