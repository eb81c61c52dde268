// The working file and the objects file: records byte for byte, whole
// replacement, and what the disk may refuse.

#include "files/records.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing;
using namespace app;

namespace {
const QString kSaveAs = QStringLiteral(" Save As ( temp.onf ) ! ");
const QString kSaveTitle = QStringLiteral("Save Object File");

// Runs body in a child process as an ordinary user: root may write where a
// permission must refuse, so under root the child becomes "nobody" (65534),
// who then owns the current directory and its files. Returns the child's
// exit status: 0 when body returned true.
int asOrdinaryUser(const std::function<bool()> &body)
{
    const bool root = ::geteuid() == 0;
    const uid_t nobody = 65534;
    if (root) {
        const QStringList names = QDir().entryList(QDir::Files | QDir::Hidden) << QStringLiteral(".");
        for (const QString &n : names)
            if (::chown(QFile::encodeName(n).constData(), nobody, nobody) != 0)
                return -2;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(3);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A file-size limit in this process, as a full disk would refuse writes.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
};
} // namespace

class FilesTest : public ScratchCases {
    Q_OBJECT
private slots:

    void recordsByteForByte()
    {
        QCOMPARE(files::recordOf(QStringLiteral("(0005) : 359888123456 - 17")),
                 QByteArray::fromHex("22283030303529222C223335393838383132333435362 22C31370D0A"));
        QCOMPARE(files::recordOf(QStringLiteral("(0005) : 359888123456 - 17")).size(), 28);
        QCOMPARE(files::recordOf(QStringLiteral("(0012) : 359********* - 0")),
                 QByteArray::fromHex("2228303031322922 2C22333539 2A2A2A2A2A2A2A2A2A 222C300D0A"));
        QCOMPARE(files::recordOf(QStringLiteral("(0005) : 359888123456 - 7999")).size(), 30);
        // Short rows give short stretches; the fixed parts are always there.
        QCOMPARE(files::recordOf(QStringLiteral("(00")), QByteArray("\"(00\",\"\",\r\n"));
        QCOMPARE(files::recordOf(QString()), QByteArray("\"\",\"\",\r\n"));
        QCOMPARE(files::recordOf(QStringLiteral("(0005) : 359888123456 - 123456")),
                 QByteArray("\"(0005)\",\"359888123456\",1234\r\n"));
        QVERIFY(files::recordsOf({}).isEmpty());
    }

    void workingFileFollowsTheList()
    {
        WindowUnderTest w;
        QVERIFY(w->WriteTMPfile());
        QCOMPARE(contents(QStringLiteral("temp.tfo")), QByteArray());
        w->List1->addItems({QStringLiteral("(0001) : 359888000001 - 7999"), QStringLiteral("(0002) : 359********* - 0")});
        QVERIFY(w->WriteTMPfile());
        QCOMPARE(contents(QStringLiteral("temp.tfo")),
                 QByteArray("\"(0001)\",\"359888000001\",7999\r\n\"(0002)\",\"359*********\",0\r\n"));
        // Shorter content replaces longer content completely.
        w->List1->item(0)->setText(QStringLiteral("(0001) : 359888000001 - 5"));
        QVERIFY(w->WriteTMPfile());
        QCOMPARE(contents(QStringLiteral("temp.tfo")),
                 QByteArray("\"(0001)\",\"359888000001\",5\r\n\"(0002)\",\"359*********\",0\r\n"));
        w->List1->clear();
        QVERIFY(w->WriteTMPfile());
        QCOMPARE(contents(QStringLiteral("temp.tfo")), QByteArray());
    }

    void workingFileThatCannotBeWritten()
    {
        WindowUnderTest w;
        w->List1->addItem(QStringLiteral("(0001) : 359888000001 - 17"));
        const QByteArray earlier("\"(0009)\",\"359888000009\",9\r\n");

        // Read-only: refused even for a user who could override it.
        QVERIFY(put(QStringLiteral("temp.tfo"), earlier));
        QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner | QFile::ReadGroup);
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Permission denied"), vbExclamation, QStringLiteral("tst_files"), vbOK);
            QVERIFY(!w->WriteTMPfile());
        }
        QCOMPARE(contents(QStringLiteral("temp.tfo")), earlier);
        QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(QFile::remove(QStringLiteral("temp.tfo")));

        // A directory of that name.
        QVERIFY(QDir().mkdir(QStringLiteral("temp.tfo")));
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Is a directory"), vbExclamation, QStringLiteral("tst_files"), vbOK);
            QVERIFY(!w->WriteTMPfile());
        }
        QVERIFY(QFileInfo(QStringLiteral("temp.tfo")).isDir());
        QVERIFY(QDir().rmdir(QStringLiteral("temp.tfo")));
        // Nothing half written was left beside it.
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // A full disk (here a file-size limit) is reported, and neither the
    // working file nor the objects file is cut.
    void diskFullKeepsBothFiles()
    {
        WindowUnderTest w;
        for (int i = 1; i <= 10; ++i)
            w->List1->addItem(QStringLiteral("(%1) : 359888000001 - %2").arg(i, 4, 10, QLatin1Char('0')).arg(i));
        const QByteArray earlier("\"(0009)\",\"359888000009\",9\r\n");
        QVERIFY(put(QStringLiteral("temp.tfo"), earlier));
        QVERIFY(put(QStringLiteral("temp.onf"), earlier + earlier));
        const QString tooLarge = QString::fromLocal8Bit(std::strerror(EFBIG));
        {
            const FileSizeLimit limit(100);
            ScriptedBoxes boxes;
            boxes.expect(tooLarge, vbExclamation, QStringLiteral("tst_files"), vbOK);
            QVERIFY(!w->WriteTMPfile());
            boxes.expect(tooLarge, vbExclamation, QStringLiteral("tst_files"), vbOK)
                .expect(kSaveAs, vbOKOnly, kSaveTitle, vbOK)
                .expect(tooLarge, vbExclamation, QStringLiteral("tst_files"), vbOK);
            w->cmdOFNsave_Click();
            QVERIFY(boxes.allShown());
        }
        QCOMPARE(contents(QStringLiteral("temp.tfo")), earlier);
        QCOMPARE(contents(QStringLiteral("temp.onf")), earlier + earlier);
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // What an ordinary user may and may not rewrite: a file the owner may
    // not write (mode 0460: only the group may) is refused though the group
    // may; a writable file in a directory that takes no new files is
    // rewritten in place.
    void permissionsOfAnOrdinaryUser()
    {
        const QByteArray earlier("\"(0009)\",\"359888000009\",9\r\n");
        const QByteArray now("\"(0001)\",\"359888000001\",17\r\n");
        QVERIFY(put(QStringLiteral("temp.tfo"), earlier));
        QVERIFY(QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner | QFile::ReadGroup | QFile::WriteGroup));
        // Refused with the system's own words, as a plain rewrite would be.
        const auto replace = [&] {
            QString error;
            return files::replaceWhole(QStringLiteral("temp.tfo"), now, error)
                || error != QString::fromLocal8Bit(std::strerror(EACCES));
        };
        QCOMPARE(asOrdinaryUser(replace), 1);
        QCOMPARE(contents(QStringLiteral("temp.tfo")), earlier);

        QVERIFY(QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(QStringLiteral("."), QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(asOrdinaryUser(replace), 0);
        QVERIFY(QFile::setPermissions(QStringLiteral("."), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(contents(QStringLiteral("temp.tfo")), now);
    }

    void directoryThatCannotBeWritten()
    {
        // /proc takes no new files, not even from root.
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QStringLiteral("/proc/self")));
        QStringList told;
        app::setMsgBoxResponder([&](const QString &text, int style, const QString &title) {
            told << QStringLiteral("%1|%2|%3").arg(text).arg(style).arg(title);
            return int(vbOK);
        });
        {
            WindowUnderTest w;
            w->List1->addItem(QStringLiteral("(0001) : 359888000001 - 17"));
            QVERIFY(!w->WriteTMPfile());
            QCOMPARE(w->List1->count(), 1);
        }
        app::setMsgBoxResponder({});
        QDir::setCurrent(old);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].endsWith(QStringLiteral("|48|tst_files")) && !told[0].startsWith(QLatin1Char('|')),
                 qPrintable(told[0]));
    }

    void savesTheObjectsFile()
    {
        WindowUnderTest w; // the port is closed: saving needs no unit
        {
            ScriptedBoxes boxes;
            boxes.expect(kSaveAs, vbOKOnly, kSaveTitle, vbOK);
            w->cmdOFNsave_Click();
        }
        QCOMPARE(contents(QStringLiteral("temp.onf")), QByteArray());
        QCOMPARE(contents(QStringLiteral("temp.tfo")), QByteArray());

        QVERIFY(put(QStringLiteral("temp.onf"), QByteArray(500, 'x')));
        w->List1->addItems({QStringLiteral("(0001) : 359888000001 - 17"), QStringLiteral("(0002) : 359********* - 0")});
        const QByteArray records = files::recordsOf(rowsOf(*w));
        for (int round = 0; round < 2; ++round) {
            ScriptedBoxes boxes;
            boxes.expect(kSaveAs, vbOKOnly, kSaveTitle, vbOK);
            w->cmdOFNsave_Click();
            QVERIFY(boxes.allShown());
            QCOMPARE(contents(QStringLiteral("temp.onf")), records);
            QCOMPARE(contents(QStringLiteral("temp.tfo")), records);
        }
    }

    void saveKeepsTheEarlierObjectsFileOnFailure()
    {
        WindowUnderTest w;
        w->List1->addItem(QStringLiteral("(0001) : 359888000001 - 17"));
        const QByteArray earlier("\"(0009)\",\"359888000009\",9\r\n");
        const QByteArray stale("\"(0007)\",\"359888000007\",7\r\n");
        QVERIFY(put(QStringLiteral("temp.onf"), earlier));

        // The working file cannot be written: its stale content must not
        // become the objects file.
        QVERIFY(put(QStringLiteral("temp.tfo"), stale));
        QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner);
        {
            ScriptedBoxes boxes;
            boxes.expect(QStringLiteral("Permission denied"), vbExclamation, QStringLiteral("tst_files"), vbOK)
                .expect(kSaveAs, vbOKOnly, kSaveTitle, vbOK)
                .expect(QStringLiteral("Permission denied"), vbExclamation, QStringLiteral("tst_files"), vbOK);
            w->cmdOFNsave_Click();
        }
        QCOMPARE(contents(QStringLiteral("temp.onf")), earlier);
        QCOMPARE(contents(QStringLiteral("temp.tfo")), stale);
        QFile::setPermissions(QStringLiteral("temp.tfo"), QFile::ReadOwner | QFile::WriteOwner);

        // "temp.onf" held as a directory: the rename fails and says so; the
        // working file is intact.
        QVERIFY(QFile::remove(QStringLiteral("temp.onf")));
        QVERIFY(QDir().mkdir(QStringLiteral("temp.onf")));
        QVERIFY(QDir().mkdir(QStringLiteral("temp.onf/inside")));
        {
            ScriptedBoxes boxes;
            boxes.expect(kSaveAs, vbOKOnly, kSaveTitle, vbOK)
                .expect(QStringLiteral("Is a directory"), vbExclamation, QStringLiteral("tst_files"), vbOK);
            w->cmdOFNsave_Click();
        }
        QVERIFY(QFileInfo(QStringLiteral("temp.onf/inside")).isDir());
        QCOMPARE(contents(QStringLiteral("temp.tfo")), files::recordsOf(rowsOf(*w)));
    }
};

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
