// Soak: 100,000 reply lines through the pseudo-terminal, at full speed and
// then paced at the line rate, in reads of 1000 slots. Every read must bring
// exactly the unit's table (a byte lost or read twice would break a row or
// the count), and resident memory after the warm-up must grow by less than
// 1 MiB. Opt-in (about three minutes): ctest -L soak, or run the program.
// M7_SOAK_READS sets the number of reads per phase (default 100).

#include "m7unit.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace testing;

namespace {
qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}
} // namespace

class SoakTest : public ScratchCases {
    Q_OBJECT
private slots:

    void soak_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::newRow("full speed") << false;
        QTest::newRow("paced") << true;
    }
    void soak()
    {
        QFETCH(bool, paced);
        const int reads = qEnvironmentVariableIsSet("M7_SOAK_READS") ? qEnvironmentVariableIntValue("M7_SOAK_READS") : 100;
        m7sim::Options o;
        o.slotCount = 1000;
        o.hello = true;
        o.paced = paced;
        o.keepLog = false; // the log would be the memory that grows
        m7sim::Unit unit(o);
        QVERIFY(unit.start());
        WindowUnderTest w({unit.slavePath()});
        QVERIFY(connectWindow(*w));
        QVERIFY(waitFor([&] { return w->linkState == app::LinkState::Ready; }));

        QStringList expected;
        for (int i = 0; i < 1000; ++i) {
            const m7sim::Slot &s = unit.table()[i];
            expected << QStringLiteral("(%1) : 359%2 - %3")
                            .arg(i + 1, 4, 10, QLatin1Char('0'))
                            .arg(s.isBlank() ? QStringLiteral("*********") : QString::fromLatin1(s.gsm))
                            .arg(s.isBlank() ? 0 : s.object);
        }

        qint64 warm = 0;
        qint64 lines = 0;
        QElapsedTimer clock;
        clock.start();
        for (int r = 0; r < reads; ++r) {
            const qint64 before = unit.linesSent();
            w->Check1->setChecked(true);
            w->Command2_Click();
            if (!waitFor([&] { return w->linkState == app::LinkState::Ready && w->List1->count() == 1000; }, 30000))
                QFAIL(qPrintable(QStringLiteral("read %1 stalled: %2 rows, link %3").arg(r).arg(w->List1->count()).arg(w->linkState)));
            lines += unit.linesSent() - before;
            if (rowsOf(*w) != expected)
                QFAIL(qPrintable(QStringLiteral("read %1 differs from the unit's table").arg(r)));
            if (r == 4)
                warm = residentKiB();
        }
        const qint64 grown = residentKiB() - warm;
        qInfo("%s: %d reads, %lld reply lines in %.1f s, resident memory grew by %lld KiB after the warm-up",
              paced ? "paced" : "full speed", reads, lines, clock.elapsed() / 1000.0, grown);
        QCOMPARE(lines, qint64(reads) * 1001);
        QVERIFY2(grown < 1024, qPrintable(QStringLiteral("%1 KiB").arg(grown)));
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
