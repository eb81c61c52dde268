#pragma once
// Reply lines from the unit: "(" ... ")" followed by CR LF, told apart by
// their length alone (columns counted from 1 at the opening bracket).
//
//   16  entry report   "(" object(4) GSM(9) any(1) ")"
//    3  status reply   "(" any ")"; "(R)" reset notice, "(S)" start-up notice
//   28  first information line, 26 characters between the brackets
//   15  second information line, 13 characters between the brackets
//    9  erase start
//    8  erase end

#include <QString>
#include <optional>

namespace comm {

enum class Reply { Other, Entry, Status, Info1, Info2, EraseStart, EraseEnd };

// The kind of a reply line of the given length.
Reply classifyReply(qsizetype length);

// Status replies that are notices of the unit's own and answer no frame:
// "(R)" after a reset, "(S)" at start-up.
enum class Notice { None, Reset, StartUp };
Notice noticeOf(const QString &line);
inline bool isNotice(const QString &line) { return noticeOf(line) != Notice::None; }

// The fields of an entry report "(" object(4) GSM(9) any(1) ")":
// the object number from columns 2-5 read as a 16-bit integer (nothing when
// they do not read as one), and the GSM text of columns 6-14 as sent.
struct EntryReport {
    std::optional<qint16> object;
    QString gsm;
};
EntryReport parseEntryReport(const QString &line);

// Bound on the received text kept while no complete reply line has come.
constexpr qsizetype kLineBufferCap = 64 * 1024;

// The terminal box keeps no more than this many characters before new text
// is added: a longer text is cut back to its characters from this position
// (counted from 1) on.
constexpr qsizetype kTermLimit = 16000;

// Puts an LF behind every CR: a CR LF becomes CR LF LF.
QString insertLfAfterCr(const QString &text);

// Cuts reply lines out of received text. A line ends at the first ")" CR LF;
// it starts at the first "(" of the text before that terminator (text in
// front of the "(" is dropped, and text without a "(" is dropped whole).
//
// After a flood of text without any terminator (more than kLineBufferCap
// characters) the stream is resynchronised: that text is dropped, and the
// next line starts at the last "(" before its terminator, so that junk with
// brackets in it cannot swallow the first good reply after it.
class ReplyCutter {
public:
    // Looks for the next terminator in buffer from position from. Returns
    // false when there is none. Otherwise sets line (empty when the text
    // before the terminator holds no "(") and next, the position just
    // behind the terminator's CR LF. With resync set, and for a candidate
    // longer than the cap, the line starts at the candidate's last "(".
    static bool next(const QString &buffer, qsizetype from, bool resync, QString &line, qsizetype &next);

    // Bounds the text that waits for its terminator: when it is longer than
    // kLineBufferCap it is dropped up to its last "(" (a reply that may have
    // begun there is kept), and true is returned (resynchronise).
    static bool capRest(QString &rest);
};

// The reply lines of a stream of received text, in the order they came,
// for the window's receive processing and for the engine alike.
class ReplyReader {
public:
    // Received text, with an LF already put behind every CR (insertLfAfterCr).
    void append(const QString &text) { m_buffer += text; }
    // Cuts the next complete line out of the text. An empty line stands
    // where text was dropped: text that ended in a terminator without a "("
    // in it, or a flood cut back to its cap. False when no complete line is
    // left; the text that waits for its terminator is then bounded by the cap.
    bool next(QString &line);
    // The text not yet cut into lines.
    QString pending() const { return m_buffer.mid(m_from); }
    // Whether that text is more than the line ends left behind a line: a
    // line may be on its way.
    bool midLine() const;
    void clear();

private:
    QString m_buffer;
    qsizetype m_from = 0;       // m_buffer before this is cut already
    bool m_flooded = false;     // a flood was dropped: resynchronise
    bool m_floodToTell = false; // ... and next() has not said so yet
};

} // namespace comm
