// Replays the fuzz target's seed inputs and every input it ever found
// failing (tests/fuzz/regressions) through the same harness.

#include "receive_harness.h"

#include <QDir>
#include <QFile>
#include <QTest>

class FuzzReplayTest : public QObject {
    Q_OBJECT
private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("path");
        for (const char *folder : {"seeds", "regressions"}) {
            const QDir dir(QStringLiteral(M7_FUZZ_DIR "/") + QLatin1String(folder));
            for (const QString &name : dir.entryList(QDir::Files))
                QTest::newRow(qPrintable(QLatin1String(folder) + QLatin1Char('/') + name)) << dir.filePath(name);
        }
    }
    void replay()
    {
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray input = f.readAll();
        const QString bad =
            fuzzing::runReceiveInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
        QVERIFY2(bad.isEmpty(), qPrintable(bad));
    }
};

QTEST_MAIN(FuzzReplayTest)
#include "tst_fuzz_replay.moc"
