#include "table/numbers.h"
#include "table/rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace table {

namespace {
bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
} // namespace

std::optional<double> readNumber(const QString &text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;

    qsizetype i = b;
    if (i < e && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    int digits = 0;
    bool point = false;
    for (; i < e; ++i) {
        if (isDigit(text[i]))
            ++digits;
        else if (text[i] == QLatin1Char('.') && !point)
            point = true;
        else
            break;
    }
    if (digits == 0 || i != e)
        return std::nullopt;

    // Only ASCII digits, one point and a sign are left between b and e. They
    // are converted without the C library's locale: under a comma-decimal
    // locale strtod would stop at the point ("3.5" would read as 3).
    const QByteArray ascii = text.mid(b, e - b).toLatin1();
    const char *first = ascii.constData();
    const char *last = first + ascii.size();
    const bool negative = *first == '-';
    if (*first == '+' || *first == '-')
        ++first;
    double v = 0;
    const std::from_chars_result r = std::from_chars(first, last, v, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

bool isDigits(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit);
}

bool readInt16(const QString &text, qint16 &target)
{
    const std::optional<double> v = readNumber(text);
    if (!v)
        return false;
    const double r = std::nearbyint(*v); // the default rounding: half to even
    if (r < -32768.0 || r > 32767.0)
        return false;
    target = static_cast<qint16>(r);
    return true;
}

QString format0000(double value)
{
    const double r = std::round(value);
    if (std::fabs(r) < 1e9) { // the usual case, without floating-point formatting
        const long long n = static_cast<long long>(r);
        const QString digits = QString::number(n < 0 ? -n : n).rightJustified(4, QLatin1Char('0'));
        return n < 0 ? QLatin1Char('-') + digits : digits;
    }
    const QString digits = QString::number(std::fabs(r), 'f', 0).rightJustified(4, QLatin1Char('0'));
    return r < 0 ? QLatin1Char('-') + digits : digits;
}

QString format0000(const QString &text)
{
    const std::optional<double> v = readNumber(text);
    return v ? format0000(*v) : text;
}

bool isNumberBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QChar(0x00A0) ||
           c == QChar(0x202F);
}

std::optional<QString> normaliseGsm(const QString &text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (!isNumberBlank(c) && c != QLatin1Char('-') && c != QLatin1Char('.') && c != QLatin1Char('(') &&
            c != QLatin1Char(')'))
            s += c;
    }
    if (s.isEmpty() || s == blankGsm() || s == QLatin1String("359") + blankGsm())
        return blankGsm();
    if (s.startsWith(QLatin1Char('+')))
        s.replace(0, 1, QLatin1String("00"));
    if (!std::all_of(s.cbegin(), s.cend(), isDigit))
        return std::nullopt;
    if (s.size() == 14 && s.startsWith(QLatin1String("00359")))
        return s.mid(5);
    if (s.size() == 12 && s.startsWith(QLatin1String("359")))
        return s.mid(3);
    if (s.size() == 10 && s.startsWith(QLatin1Char('0')))
        return s.mid(1);
    if (s.size() == 9)
        return s;
    return std::nullopt;
}

} // namespace table
