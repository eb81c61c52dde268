// The reply-line reader that the window's receive processing and the
// engine share: received text in pieces, the lines cut out of it, the text
// dropped on the way (an empty line stands for it), and whether a line is
// still on its way. And the frames sent the other way.

#include "link/frames.h"
#include "link/replies.h"

#include <QTest>

using comm::ReplyReader;

class RepliesTest : public QObject {
    Q_OBJECT
private slots:
    void reader_data()
    {
        QTest::addColumn<QStringList>("pieces"); // as received, before the LF after each CR
        QTest::addColumn<QStringList>("lines");  // "" for dropped text
        QTest::addColumn<bool>("midLine");
        QTest::newRow("a status") << QStringList{"(K)\r\n"} << QStringList{"(K)"} << false;
        QTest::newRow("in pieces") << QStringList{"(00", "12888123456 )\r", "\n(K"} << QStringList{"(0012888123456 )"}
                                   << true;
        QTest::newRow("junk in front") << QStringList{"xx(K)\r\n"} << QStringList{"(K)"} << false;
        QTest::newRow("a line without its bracket") << QStringList{"0012888123456 )\r\n(K)\r\n"}
                                                    << QStringList{"", "(K)"} << false;
        QTest::newRow("two lines merged by a lost CR")
            << QStringList{"(0012888123456 )\n(0013888123457 )\r\n"} << QStringList{"(0012888123456 )\n(0013888123457 )"}
            << false;
        QTest::newRow("a flood, then a line")
            << QStringList{QString(comm::kLineBufferCap + 10, QLatin1Char('x')), "(K)\r\n"} << QStringList{"", "(K)"}
            << false;
    }
    void reader()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QStringList, lines);
        QFETCH(bool, midLine);
        ReplyReader reader;
        QStringList got;
        for (const QString &piece : pieces) {
            reader.append(comm::insertLfAfterCr(piece));
            QString line;
            while (reader.next(line))
                got << line;
        }
        QCOMPARE(got, lines);
        QCOMPARE(reader.midLine(), midLine);
        reader.clear();
        QVERIFY(reader.pending().isEmpty() && !reader.midLine());
    }

    void notices_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("notice");
        QTest::newRow("reset") << "(R)" << int(comm::Notice::Reset);
        QTest::newRow("start-up") << "(S)" << int(comm::Notice::StartUp);
        QTest::newRow("ready") << "(K)" << int(comm::Notice::None);
    }
    void notices()
    {
        QFETCH(QString, line);
        QFETCH(int, notice);
        QCOMPARE(int(comm::noticeOf(line)), notice);
        QCOMPARE(comm::isNotice(line), notice != int(comm::Notice::None));
    }

    // The unit counts positions from 0; fields are of fixed width.
    void frames()
    {
        QCOMPARE(comm::frameReadAll(), QStringLiteral("[r]\r"));
        QCOMPARE(comm::frameEraseAll(), QStringLiteral("[d]\r"));
        QCOMPARE(comm::frameReadOne(1), QStringLiteral("[r0000]\r"));
        QCOMPARE(comm::frameReadOne(300), QStringLiteral("[r0299]\r"));
        QCOMPARE(comm::frameWrite(3, {QStringLiteral("888000123"), 77}), QStringLiteral("[w00020077888000123]\r"));
    }
};

QTEST_GUILESS_MAIN(RepliesTest)
#include "tst_replies.moc"
