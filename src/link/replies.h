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

namespace comm {

enum class Reply { Other, Entry, Status, Info1, Info2, EraseStart, EraseEnd };

// The kind of a reply line of the given length.
Reply classifyReply(qsizetype length);

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
class ReplyCutter {
public:
    // Looks for the next terminator in buffer from position from. Returns
    // false when there is none. Otherwise sets line (empty when the text
    // before the terminator holds no "(") and next, the position just
    // behind the terminator's CR LF.
    static bool next(const QString &buffer, qsizetype from, QString &line, qsizetype &next);

    // Keeps the text that waits for its terminator within kLineBufferCap:
    // once it is longer, it is junk up to its last "(" (the start of what
    // may still become a reply); a junk tail without one goes altogether.
    static void capRest(QString &rest);
};

} // namespace comm
