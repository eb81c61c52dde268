#pragma once
// The protocol engine of the simulated GSM-M7/1 unit, free of any terminal
// handling so that it can be driven and checked directly.
//
// What goes over the line, one byte per character:
//
//   tool -> unit   command frames   "[" letter fields "]" CR
//       [r]CR                      read the whole table
//       [rPPPP]CR                  read slot PPPP (0-based, leading zeros)
//       [wPPPPOOOOGGGGGGGGG]CR     write slot PPPP: object OOOO, GSM G...
//       [d]CR                      erase the whole table
//
//   unit -> tool   reply lines      "(" body ")" CR LF
//       (0012888123456 )           entry report, 16 bytes with the brackets
//       (K) (S) (R)                status reply: done / start-up / reset
//       (ERASING) ... (ERASED)     around the entry reports of an erase
//       28- and 15-byte lines      information (firmware, signal quality)
//
// Bytes in front of a "[" are junk and skipped; a frame that is not closed
// by "]" CR, or whose letter is unknown, is ignored. A known letter with
// fields that do not parse gets just a status reply.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

namespace m7sim {

constexpr int kMaxSlots = 9999;
constexpr int kObjectLimit = 7999;     // object numbers the generator hands out: 1..7999
constexpr int kBytesPerSecond = 11520; // 115200 baud, 8N1: ten bit times a byte

// One slot of the unit's table. A blank slot has object 0 and nine '*'.
struct Slot
{
    QByteArray gsm = blankGsm(); // normally 9 characters; stored as it came
    int object = 0;

    static QByteArray blankGsm() { return QByteArrayLiteral("*********"); }
    bool isBlank() const { return object == 0 && gsm == blankGsm(); }
    bool operator==(const Slot &o) const { return gsm == o.gsm && object == o.object; }
    bool operator!=(const Slot &o) const { return !(*this == o); }
};
using Table = QVector<Slot>;

// A table of `slotCount` slots made up from `seed`: about 15% of the slots are
// blank, the others have distinct 9-digit GSM numbers starting with 8 or 9
// and distinct object numbers from 1..7999 (once those run out, the rest is
// blank). The same seed always gives the same table.
Table generateTable(int slotCount, quint32 seed);

// A table from the lines of the tool's objects file, one line per slot in
// slot order:  "(0001)","359888123456",17 CR LF
// (position, "359" + GSM, bare object number). The position text is not
// used, the line order is. Slots without a line are blank, lines beyond
// `slotCount` are ignored. On a line of another shape returns false and says
// which line in `error`.
bool parseTableText(const QByteArray &text, int slotCount, Table &table, QString &error);
bool loadTableFile(const QString &path, int slotCount, Table &table, QString &error);

// Cuts complete frames out of the byte stream from the tool. Bytes may come
// in any pieces; a frame is "[" ... "]" CR and is returned with its CR.
class FrameSplitter
{
public:
    // `ends`, when given, gets for every frame returned how many bytes of
    // `bytes` it took to complete it (the offset just past its CR).
    QList<QByteArray> feed(const QByteArray &bytes, QList<qsizetype> *ends = nullptr);
    void reset();
    // Bytes held for a frame not yet complete.
    qsizetype pending() const { return m_frame.size(); }

private:
    enum class State { Junk, InFrame, WantCr };
    State m_state = State::Junk;
    QByteArray m_frame;
};

struct Command
{
    enum Kind {
        Ignore,    // unknown letter: no reply at all
        Malformed, // known letter, fields that do not parse: a status reply
        ReadAll,
        ReadOne,
        Write,
        Erase,
    };
    Kind kind = Ignore;
    int slot = -1;
    int object = 0;
    QByteArray gsm;
};

// A complete frame as FrameSplitter returns it (with or without the CR).
Command parseCommand(const QByteArray &frame);

// Reply line bodies (without the brackets).
QByteArray entryBody(const Slot &slot);      // "0012888123456 "
QByteArray statusBody();                     // "K"
QByteArray helloBody();                      // "S"
QByteArray infoBody1();                      // 26 characters
QByteArray infoBody2();                      // 13 characters
QByteArray erasingBody();                    // "ERASING"
QByteArray erasedBody();                     // "ERASED"
// "(" body ")" CR LF
QByteArray lineOf(const QByteArray &body);

// Carries the command out on `table` and returns the bodies of the reply
// lines in order. `info`: a whole-table read ends with the two information
// lines after its status reply.
QList<QByteArray> execute(const Command &command, Table &table, bool info);

} // namespace m7sim
