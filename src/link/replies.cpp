#include "link/replies.h"

#include "table/numbers.h"

namespace comm {

Reply classifyReply(qsizetype length)
{
    switch (length) {
    case 16: return Reply::Entry;
    case 3: return Reply::Status;
    case 28: return Reply::Info1;
    case 15: return Reply::Info2;
    case 9: return Reply::EraseStart;
    case 8: return Reply::EraseEnd;
    default: return Reply::Other;
    }
}

Notice noticeOf(const QString &line)
{
    if (line == QLatin1String("(R)"))
        return Notice::Reset;
    if (line == QLatin1String("(S)"))
        return Notice::StartUp;
    return Notice::None;
}

EntryReport parseEntryReport(const QString &line)
{
    EntryReport r;
    qint16 object = 0;
    if (table::readInt16(line.mid(1, 4), object))
        r.object = object;
    r.gsm = line.mid(5, 9);
    return r;
}

QString insertLfAfterCr(const QString &text)
{
    const qsizetype crs = text.count(QLatin1Char('\r'));
    if (crs == 0)
        return text;
    QString out;
    out.reserve(text.size() + crs);
    for (QChar c : text) {
        out.append(c);
        if (c == QLatin1Char('\r'))
            out.append(QLatin1Char('\n'));
    }
    return out;
}

bool ReplyCutter::next(const QString &buffer, qsizetype from, bool resync, QString &line, qsizetype &next)
{
    static const QString terminator = QStringLiteral(")\r\n");
    const qsizetype t = buffer.indexOf(terminator, from);
    if (t < 0)
        return false;
    const qsizetype end = t + 1; // the candidate ends with the ")"
    const qsizetype open = (resync || end - from > kLineBufferCap) ? buffer.lastIndexOf(QLatin1Char('('), t)
                                                                   : buffer.indexOf(QLatin1Char('('), from);
    line = (open >= from && open < end) ? buffer.mid(open, end - open) : QString();
    next = end + 2;
    return true;
}

bool ReplyCutter::capRest(QString &rest)
{
    if (rest.size() <= kLineBufferCap)
        return false;
    // A reply may have begun just before the cap: keep the text from the
    // last "(" on, when that is short enough to be one.
    const qsizetype open = rest.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && rest.size() - open <= kLineBufferCap)
        rest.remove(0, open);
    else
        rest.clear();
    return true;
}

bool ReplyReader::next(QString &line)
{
    if (m_floodToTell) {
        m_floodToTell = false;
        line.clear();
        return true;
    }
    qsizetype after = 0;
    if (ReplyCutter::next(m_buffer, m_from, m_flooded, line, after)) {
        m_flooded = false;
        m_from = after;
        return true;
    }
    m_buffer.remove(0, m_from);
    m_from = 0;
    if (ReplyCutter::capRest(m_buffer))
        m_flooded = m_floodToTell = true;
    return false;
}

bool ReplyReader::midLine() const
{
    for (qsizetype i = m_from; i < m_buffer.size(); ++i)
        if (m_buffer[i] != QLatin1Char('\r') && m_buffer[i] != QLatin1Char('\n'))
            return true;
    return false;
}

void ReplyReader::clear()
{
    m_buffer.clear();
    m_from = 0;
    m_flooded = m_floodToTell = false;
}

} // namespace comm
