#include "m7protocol.h"

#include <QFile>
#include <QSet>

namespace m7sim {

namespace {

// splitmix64: small, fast, and the same numbers on every platform and
// standard library, which std::uniform_int_distribution does not promise.
class Rng
{
public:
    explicit Rng(quint32 seed) : m_state(0x9E3779B97F4A7C15ull ^ seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n; the bias for the small n used here is negligible
    quint32 below(quint32 n) { return quint32(next() % n); }

private:
    quint64 m_state;
};

bool allDigits(const QByteArray &s)
{
    if (s.isEmpty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QByteArray fourDigits(int n)
{
    return QByteArray::number(n).rightJustified(4, '0');
}

} // namespace

Table generateTable(int slotCount, quint32 seed)
{
    Rng rng(seed);
    QVector<int> objects(kObjectLimit);
    for (int i = 0; i < kObjectLimit; ++i)
        objects[i] = i + 1;
    for (int i = kObjectLimit - 1; i > 0; --i)
        std::swap(objects[i], objects[rng.below(quint32(i + 1))]);

    Table table(qMax(slotCount, 0));
    QSet<QByteArray> used;
    int nextObject = 0;
    for (Slot &slot : table) {
        if (rng.below(100) < 15 || nextObject >= objects.size())
            continue;
        QByteArray gsm;
        do {
            gsm = QByteArray(1, rng.below(2) ? '9' : '8')
                + QByteArray::number(rng.below(100000000)).rightJustified(8, '0');
        } while (used.contains(gsm));
        used.insert(gsm);
        slot.gsm = gsm;
        slot.object = objects[nextObject++];
    }
    return table;
}

bool parseTableText(const QByteArray &text, int slotCount, Table &table, QString &error)
{
    table = Table(qMax(slotCount, 0));
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the terminator of the last line
    for (int n = 0; n < lines.size() && n < table.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        // "(0001)","359888123456",17
        const QList<QByteArray> fields = line.split(',');
        const auto unquote = [](QByteArray f, bool *ok) {
            *ok = f.size() >= 2 && f.startsWith('"') && f.endsWith('"');
            return f.mid(1, f.size() - 2);
        };
        bool okPos = false, okGsm = false, okObject = false;
        if (fields.size() == 3) {
            unquote(fields[0], &okPos);
            QByteArray gsm = unquote(fields[1], &okGsm);
            const QByteArray objectText = fields[2].trimmed();
            const int object = objectText.toInt(&okObject);
            okObject = okObject && object >= 0 && object <= 9999;
            if (okPos && okGsm && okObject) {
                if (gsm.startsWith("359"))
                    gsm.remove(0, 3);
                table[n].gsm = gsm;
                table[n].object = object;
                continue;
            }
        }
        error = QStringLiteral("line %1: expected \"(NNNN)\",\"359GGGGGGGGG\",OBJECT but found \"%2\"")
                    .arg(n + 1)
                    .arg(QString::fromLatin1(line));
        return false;
    }
    return true;
}

bool loadTableFile(const QString &path, int slotCount, Table &table, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QString why;
    if (!parseTableText(file.readAll(), slotCount, table, why)) {
        error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

QList<QByteArray> FrameSplitter::feed(const QByteArray &bytes, QList<qsizetype> *ends)
{
    // A frame of a normal command is at most 20 bytes; anything much longer
    // is noise and must not make the buffer grow without end.
    constexpr qsizetype kMaxFrame = 64;
    QList<QByteArray> frames;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        switch (m_state) {
        case State::Junk:
            if (c == '[') {
                m_frame = QByteArray(1, c);
                m_state = State::InFrame;
            }
            break;
        case State::InFrame:
            if (c == '[') { // the frame before was cut short: start again
                m_frame = QByteArray(1, c);
            } else if (c == '\r' || m_frame.size() >= kMaxFrame) {
                reset();
            } else {
                m_frame += c;
                if (c == ']')
                    m_state = State::WantCr;
            }
            break;
        case State::WantCr:
            if (c == '\r') {
                m_frame += c;
                frames.append(m_frame);
                if (ends)
                    ends->append(i + 1);
                reset();
            } else if (c == '[') {
                m_frame = QByteArray(1, c);
                m_state = State::InFrame;
            } else {
                reset();
            }
            break;
        }
    }
    return frames;
}

void FrameSplitter::reset()
{
    m_state = State::Junk;
    m_frame.clear();
}

Command parseCommand(const QByteArray &frame)
{
    Command cmd;
    QByteArray f = frame;
    if (f.endsWith('\r'))
        f.chop(1);
    if (f.size() < 3 || !f.startsWith('[') || !f.endsWith(']'))
        return cmd;
    const char letter = f.at(1);
    const QByteArray fields = f.mid(2, f.size() - 3);
    switch (letter) {
    case 'r':
        if (fields.isEmpty()) {
            cmd.kind = Command::ReadAll;
        } else if (allDigits(fields) && fields.size() <= 9) {
            cmd.kind = Command::ReadOne;
            cmd.slot = fields.toInt();
        } else {
            cmd.kind = Command::Malformed;
        }
        break;
    case 'w':
        if (fields.size() >= 8 && allDigits(fields.left(8))) {
            cmd.kind = Command::Write;
            cmd.slot = fields.left(4).toInt();
            cmd.object = fields.mid(4, 4).toInt();
            cmd.gsm = fields.mid(8);
        } else {
            cmd.kind = Command::Malformed;
        }
        break;
    case 'd':
        cmd.kind = fields.isEmpty() ? Command::Erase : Command::Malformed;
        break;
    default:
        break;
    }
    return cmd;
}

QByteArray entryBody(const Slot &slot)
{
    return fourDigits(slot.object) + slot.gsm + ' ';
}

QByteArray statusBody() { return QByteArrayLiteral("K"); }
QByteArray helloBody() { return QByteArrayLiteral("S"); }
QByteArray infoBody1() { return QByteArrayLiteral("GSM-M7/1 V2.14 SN:00123456"); }
QByteArray infoBody2() { return QByteArrayLiteral("CSQ:21 BER:00"); }
QByteArray erasingBody() { return QByteArrayLiteral("ERASING"); }
QByteArray erasedBody() { return QByteArrayLiteral("ERASED"); }

QByteArray lineOf(const QByteArray &body)
{
    return '(' + body + ")\r\n";
}

QList<QByteArray> execute(const Command &command, Table &table, bool info)
{
    QList<QByteArray> out;
    const bool inRange = command.slot >= 0 && command.slot < table.size();
    switch (command.kind) {
    case Command::Ignore:
        break;
    case Command::Malformed:
        out.append(statusBody());
        break;
    case Command::ReadAll:
        out.reserve(table.size() + 3);
        for (const Slot &slot : table)
            out.append(entryBody(slot));
        out.append(statusBody());
        if (info) {
            out.append(infoBody1());
            out.append(infoBody2());
        }
        break;
    case Command::ReadOne:
        if (inRange)
            out.append(entryBody(table[command.slot]));
        out.append(statusBody());
        break;
    case Command::Write:
        if (inRange) {
            table[command.slot].object = command.object;
            table[command.slot].gsm = command.gsm;
        }
        out.append(statusBody());
        break;
    case Command::Erase:
        out.reserve(table.size() + 2);
        out.append(erasingBody());
        for (Slot &slot : table) {
            slot = Slot();
            out.append(entryBody(slot));
        }
        out.append(erasedBody());
        break;
    }
    return out;
}

} // namespace m7sim
