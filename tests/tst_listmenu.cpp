// The entry list's context menu with the real window and the simulated unit
// on a pseudo-terminal: the right button, Find, Export, and the whole-table
// jobs that take the port over, compare or program, and give it back.

#include "app/dialogs.h"
#include "app/listmenu.h"
#include "unit/jobs.h"
#include "files/records.h"
#include "files/tablefile.h"
#include "windowbench.h"

#include <QAction>
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QTreeWidget>
#include <QScrollBar>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace testing;
using namespace app;
using Boxes = QList<ScriptedBoxes::Box>;
Q_DECLARE_METATYPE(Boxes)

namespace {

// The boxes of the menu and its jobs carry the window's caption.
const QString kCaption = QStringLiteral("Programmer for GSM-M7/1 - ver.1.0");

// Answers the menu's questions: the text and file-name questions from a
// script, in order (one with no answer left fails the test), and every plan
// with "go on" (and `prune`), after recording it. A list of problems goes
// on as one message box: its count, then its lines.
struct ScriptedDialogs {
    QStringList answers;
    QList<PlanView> plans;
    bool prune = false;
    std::function<void()> duringPlan; // runs while a plan is shown
    QString next()
    {
        if (answers.isEmpty())
            QTest::qFail("a question nobody expected", __FILE__, __LINE__);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    DialogResponders previous = setDialogResponders({
        [this](const QString &, const QString &) -> std::optional<QString> { return next(); },
        [this](FileUse, const QString &, const QString &) { return next(); },
        [this](PlanView &plan) {
            plans << plan;
            plan.prune = prune;
            if (duringPlan)
                duringPlan();
            return true;
        },
        [](const QString &summary, const QStringList &lines) {
            MsgBox((QStringList{summary} + lines).join(QLatin1Char('\r')), vbExclamation, kCaption);
        }});
    ~ScriptedDialogs() { setDialogResponders(previous); }
};

// The shared bench with the menu's questions answered from a script.
struct Bench : WindowBench {
    using WindowBench::WindowBench;
    // Gives the unit the preset slots, shows and connects the window and
    // reads the whole table into the list; false (the test has failed,
    // saying why) when any of it does not happen.
    bool start(const QList<std::pair<int, m7sim::Slot>> &preset = {})
    {
        if (!startUnit())
            return false;
        for (const auto &[index, slot] : preset)
            unit.setSlot(index, slot);
        if (!connect(true))
            return false;
        readAll();
        [&] { QVERIFY(listShowsUnit()); }();
        return !QTest::currentTestFailed();
    }
    // A right click on row 8, then a click on `action` in the menu.
    void choose(QAction *action)
    {
        click(Qt::RightButton, 8);
        QMenu *menu = w->listMenu->menu();
        QVERIFY(waitFor([&] { return menu->isVisible(); }));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
    ScriptedDialogs dialogs;
};

ScriptedBoxes::Box box(const QString &text, int style)
{
    return {text, style, kCaption, (style & 0x0F) == vbYesNo ? int(vbYes) : int(vbOK)};
}
} // namespace

class ListMenuTest : public ScratchCases {
    Q_OBJECT
private slots:
    // A right click opens the menu and nothing else: the highlighted row,
    // the selection and the fields stay, no row is clicked, nothing is sent.
    // The jobs are offered also with the port closed: choosing one then
    // says why it cannot run.
    void rightClickOpensTheMenuOnly()
    {
        Bench b(unitOf(40));
        QVERIFY(b.start({{3, m7sim::Slot{"888555003", 503}}}));
        b.click(Qt::LeftButton, 3);
        QVERIFY(waitFor([&] { return b.w->Text2->text() == QLatin1String("888555003"); }));
        const qsizetype frames = b.unit.framesReceived().size();
        QSignalSpy clicked(b.w->List1, &ListBox::rowClicked);
        ListMenu &m = *b.w->listMenu;
        for (const bool connected : {true, false}) {
            b.click(Qt::RightButton, 8);
            QVERIFY(waitFor([&] { return m.menu()->isVisible(); }));
            QCOMPARE(b.w->List1->selectedItems(), connected ? QList<QListWidgetItem *>{b.w->List1->item(3)} : QList<QListWidgetItem *>());
            QCOMPARE(b.w->selIndex, connected ? 3 : -1);
            QVERIFY(m.findAction->isEnabled() && m.exportAction->isEnabled());
            QVERIFY(m.compareAction->isEnabled() && m.programAction->isEnabled());
            m.menu()->hide();
            if (connected)
                b.w->imgConnected_Click();
        }
        QCOMPARE(clicked.count(), 0);
        QCOMPARE(b.unit.framesReceived().size(), frames);
        ScriptedBoxes boxes;
        boxes.expect(box("COM 1 is not connected: click the red lamp at the top left to connect to the unit, "
                         "then choose this again.", vbExclamation));
        b.choose(m.compareAction);
        QVERIFY(boxes.allShown());
    }

    // Find takes a GSM number in any form m7ctl takes, or an object number,
    // from the menu or by Ctrl+F anywhere in the window, and selects the row
    // as a click does: the unit is asked for that position; F3 looks again.
    // Anything else is said in one box.
    void findSelectsAndReadsTheRow_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shortcut");
        QTest::addColumn<Boxes>("boxes"); // none: row 35 is found
        QTest::newRow("GSM number as people write it") << "+359 888 123 456" << false << Boxes();
        QTest::newRow("object number, Ctrl+F in the GSM field") << "4321" << true << Boxes();
        QTest::newRow("GSM number nobody has")
            << "0877000000" << false << Boxes{box("No entry of the list has the GSM number 359877000000", vbOKOnly)};
        QTest::newRow("object number nobody has")
            << "7998" << true << Boxes{box("No entry of the list has the object number 7998", vbOKOnly)};
        QTest::newRow("neither") << "12ab" << false
                                 << Boxes{box("\"12ab\" is neither a GSM number nor an object number from 1 to 7999", vbExclamation)};
    }
    void findSelectsAndReadsTheRow()
    {
        QFETCH(QString, text);
        QFETCH(bool, shortcut);
        QFETCH(Boxes, boxes);
        Bench b(unitOf(40));
        QVERIFY(b.start({{35, m7sim::Slot{"888123456", 4321}}}));
        const qsizetype frames = b.unit.framesReceived().size();
        ScriptedBoxes script;
        for (const ScriptedBoxes::Box &x : boxes)
            script.expect(x);
        b.dialogs.answers << text;
        if (shortcut) {
            b.w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(b.w.get()));
            b.w->Text2->setFocus();
            QTest::keyClick(b.w->Text2, Qt::Key_F, Qt::ControlModifier);
        } else {
            b.choose(b.w->listMenu->findAction);
        }
        QVERIFY(b.dialogs.answers.isEmpty());
        const bool found = boxes.isEmpty();
        QCOMPARE(b.w->selIndex, found ? 35 : -1);
        QCOMPARE(b.w->List1->selectedItems().size(), found ? 1 : 0);
        if (found) {
            QVERIFY(b.w->List1->viewport()->rect().contains(b.w->List1->visualItemRect(b.w->List1->item(35))));
            QVERIFY(waitFor([&] { return b.w->Text3->text() == QLatin1String("4321"); }));
        }
        QTest::qWait(50);
        QCOMPARE(b.unit.framesReceived().mid(frames), found ? QByteArrayList{"[r0035]\r"} : QByteArrayList());
        if (found) {
            // F3 looks for the same number again, from the next row on.
            script.expect(box("Only this entry of the list has it.", vbOKOnly));
            b.w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(b.w.get()));
            QTest::keyClick(b.w->List1, Qt::Key_F3);
            QVERIFY(script.allShown());
            QCOMPARE(b.w->selIndex, 35);
        }
    }

    // Export writes the list in m7ctl's formats: the objects file is byte for
    // byte what "m7ctl read -o" writes for the unit's table.
    void exportsTheList_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("objects file") << "list.onf";
        QTest::newRow("spreadsheet") << "list.csv";
        QTest::newRow("no format") << "list.txt";
    }
    void exportsTheList()
    {
        QFETCH(QString, name);
        Bench b(unitOf(60));
        QVERIFY(b.start());
        const std::optional<files::Format> format = files::formatFromName(name);
        ScriptedBoxes boxes;
        if (!format)
            boxes.expect(box(QStringLiteral("cannot tell the format of %1: name it .onf, .tfo or .csv").arg(name), vbExclamation));
        b.dialogs.answers << name;
        if (!format)
            b.dialogs.answers << QString(); // the dialog comes back: cancelled
        b.choose(b.w->listMenu->exportAction);
        QVERIFY(b.dialogs.answers.isEmpty());
        QCOMPARE(QFile::exists(name), format.has_value());
        if (format)
            QCOMPARE(contents(name), *format == files::Format::Onf ? files::onfOf(b.table()) : files::csvOf(b.table()));
    }

    // Compare shows the plan; Program writes only the entries that differ
    // and reads the table back, which finds a write the unit lost. A bad
    // file is told by the count of its problems, then every problem with its
    // line, and nothing is written; a file bad in itself does not even reach
    // the unit. A change typed in the edit fields is asked about first. The
    // window holds no port and takes no click while the job runs; at the end
    // it is connected, also when its watchdog gave the unit up before or
    // during the job and the unit greets the new connection, and shows the
    // table.
    void runsAJob_data()
    {
        QTest::addColumn<bool>("program");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("plan"); // its summary; empty: no plan
        QTest::addColumn<Boxes>("boxes"); // %1: the port
        QTest::addColumn<QByteArrayList>("frames");
        QTest::addColumn<int>("lostWrite"); // the unit loses this write (from 1); 0 none
        QTest::addColumn<bool>("typed"); // a GSM number typed for position 3 and not written
        const QByteArray csv = "Name;Position;GSM;Object\r\nIvanova;1;+359 888 100 001;101\r\nPetrov;2;0866600002;6602\r\n"
                               "Georgiev;3;;0\r\nDimitrova;9;00359866600009;6609\r\n";
        const QString plan = QStringLiteral("2 to write, 1 to blank, 37 unchanged (3 frames)");
        const QString nothing = QStringLiteral("2 problem(s) in file.csv; nothing was written\r");
        const QByteArrayList programmed{"[r]\r", "[w00016602866600002]\r", "[w00020000*********]\r",
                                        "[w00086609866600009]\r", "[r]\r", "[r]\r"};
        const ScriptedBoxes::Box confirm = box("Send 3 writes to the unit on %1?", vbYesNo + vbQuestion);
        // Compare lists every difference, also the unit's entries the file does not list.
        // Compare changes nothing on the unit: the list is not read again.
        QTest::newRow("compare") << false << csv << QStringLiteral("33 position(s) differ") << Boxes()
                                 << QByteArrayList{"[r]\r"} << 0 << false;
        const QString typedChange = QStringLiteral(
            "The edit fields hold a change of position 3 that is not in the list nor written to the unit "
            "(\"Write\" does that); the job empties the fields and it is lost.\rGo on without it?");
        QTest::newRow("typed change kept") << false << csv << QString()
                                           << Boxes{{typedChange, vbYesNo + vbQuestion, kCaption, vbNo}}
                                           << QByteArrayList() << 0 << true;
        QTest::newRow("typed change given up") << true << csv << plan
                                               << Boxes{box(typedChange, vbYesNo + vbQuestion), confirm,
                                                        box("3 of 3 writes done; verified", vbOKOnly)}
                                               << programmed << 0 << true;
        QTest::newRow("program") << true << csv << plan << Boxes{confirm, box("3 of 3 writes done; verified", vbOKOnly)}
                                 << programmed << 0 << false;
        QTest::newRow("write lost") << true << csv << plan
                                    << Boxes{confirm, box("(0003)  unit 359888100003 - 103  |  file 359********* - 0\r"
                                                          "the read-back differs from file.csv at 1 position(s)\r"
                                                          "The list now shows what the unit holds. Program the unit from file.csv "
                                                          "again to write these positions once more; if they differ again, the "
                                                          "unit does not keep them.", vbExclamation)}
                                    << programmed << 2 << false;
        QTest::newRow("bad in itself")
            << true << QByteArray("position,gsm,object\r\n2,88812345,17\r\n3,888123457,8000\r\n") << QString()
            << Boxes{box(nothing + "file.csv:2: GSM number \"88812345\" is not nine digits\r"
                                   "file.csv:3: object number 8000 is outside 1..7999", vbExclamation)}
            << QByteArrayList() << 0 << false;
        QTest::newRow("bad for this unit")
            << true << QByteArray("position,gsm,object\r\n50,866600050,6650\r\n41,866600041,6641\r\n") << QString()
            << Boxes{box(nothing + "file.csv:2: position 50 is outside the unit's slots 1..40\r"
                                   "file.csv:3: position 41 is outside the unit's slots 1..40", vbExclamation)}
            << QByteArrayList{"[r]\r"} << 0 << false;
        // The same problems as "m7ctl write --dry-run": a number that
        // position 1 of the unit holds, given to another position.
        QTest::newRow("clashes with position 1")
            << true << QByteArray("position,gsm,object\r\n5,888100001,6605\r\n") << QString()
            << Boxes{box("1 problem(s) in file.csv; nothing was written\r"
                         "file.csv:2: GSM number 888100001 at position 1 (on the unit) and at position 5 (line 2)",
                         vbExclamation)}
            << QByteArrayList{"[r]\r"} << 0 << false;
    }
    void runsAJob()
    {
        QFETCH(bool, program);
        QFETCH(QByteArray, file);
        QFETCH(QString, plan);
        QFETCH(Boxes, boxes);
        QFETCH(QByteArrayList, frames);
        QFETCH(int, lostWrite);
        QFETCH(bool, typed);
        m7sim::Options o = unitOf(40);
        o.ignoreWrite = lostWrite;
        Bench b(o);
        QVERIFY(b.start({{0, {"888100001", 101}}, {1, {"888100002", 102}}, {2, {"888100003", 103}}}));
        QVERIFY(put(QStringLiteral("file.csv"), file));
        if (typed) {
            b.click(Qt::LeftButton, 2);
            QVERIFY(waitFor([&] { return b.w->linkState == LinkState::Ready && b.w->Text2->text() == QLatin1String("888100003"); }));
            b.w->Text2->setText(QStringLiteral("888999999"));
        }
        const qsizetype before = b.unit.framesReceived().size();
        ScriptedBoxes script;
        for (ScriptedBoxes::Box &x : boxes)
            script.expect(x.text.replace(QLatin1String("%1"), b.port()), x.style, x.title, x.answer);
        const bool goesOn = !typed || program;
        if (goesOn)
            b.dialogs.answers << QStringLiteral("file.csv");
        bool windowHeldPort = false;
        bool windowTookClicks = false;
        b.dialogs.duringPlan = [&] {
            // A click on the red lamp while the job owns the port does nothing.
            const QPoint lamp = b.w->imgNotConnected->mapTo(b.w.get(), b.w->imgNotConnected->rect().center());
            QTest::mouseClick(b.w->windowHandle(), Qt::LeftButton, {}, lamp);
            windowTookClicks = b.w->Frame1->isEnabled() || b.w->List1->isEnabled() || b.w->cmdOFNsave->isEnabled();
            windowHeldPort = b.w->MSComm1->PortOpen() || b.w->connectedLampShown();
            for (int i = 0; i < 10; ++i)
                b.w->Timer1_Timer();
            QTimer::singleShot(0, &b.unit, [&] { b.unit.sendLine("S"); });
        };
        // Nor while it takes the port back and hears the unit greet it.
        QObject::connect(b.w->MSComm1, &comm::MSComm::OnComm, b.w.get(), [&] {
            if (b.w->jobOwnsWindow())
                windowTookClicks |= b.w->Frame1->isEnabled() || b.w->List1->isEnabled();
        });
        // The unit has been idle for ten seconds: the window's watchdog has
        // given it up, and a job that reaches the unit checks it itself.
        for (int i = 0; i < 10 && !frames.isEmpty(); ++i)
            b.w->Timer1_Timer();
        b.choose(program ? b.w->listMenu->programAction : b.w->listMenu->compareAction);
        QVERIFY(script.allShown());
        QVERIFY(b.listShowsUnit());
        QCOMPARE(b.unit.framesReceived().mid(before), frames);
        QVERIFY(!windowHeldPort);
        QVERIFY(!windowTookClicks);
        QVERIFY(b.w->Frame1->isEnabled() && b.w->List1->isEnabled());
        QCOMPARE(b.w->Text2->text(), goesOn ? QString() : QStringLiteral("888999999"));
        QCOMPARE(b.dialogs.plans.size(), plan.isEmpty() ? 0 : 1);
        if (!plan.isEmpty()) {
            const PlanView &shown = b.dialogs.plans.first();
            QCOMPARE(shown.summary.section(QLatin1Char('\n'), 0, 0), plan);
            QCOMPARE(shown.changes.size(), program ? 3 : 33);
            QCOMPARE(shown.changes[0].second, QStringLiteral("(0002) : 359866600002 - 6602"));
            QCOMPARE(shown.goText.isEmpty(), !program);
        }
    }

    // The plan offers to blank the used positions that the file does not
    // list, with their count, off at first; chosen, the unit keeps only the
    // file's entries.
    void programBlanksWhatTheFileDoesNotList()
    {
        Bench b(unitOf(40));
        QVERIFY(b.start());
        const QByteArray csv = "position,gsm,object\r\n2,866600002,6602\r\n9,866600009,6609\r\n";
        QVERIFY(put(QStringLiteral("file.csv"), csv));
        const QList<table::FileEntry> entries = files::parseTable(csv, files::Format::Csv).entries;
        const unit::WritePlan pruned = unit::writePlanOf(b.table(), entries, true);
        ScriptedBoxes boxes;
        boxes.expect(box(QStringLiteral("Send %1 writes to the unit on %2?").arg(pruned.plan.writes.size()).arg(b.port()),
                         vbYesNo + vbQuestion))
            .expect(box(QStringLiteral("%1 of %1 writes done; verified").arg(pruned.plan.writes.size()), vbOKOnly));
        b.dialogs.answers << QStringLiteral("file.csv");
        b.dialogs.prune = true;
        b.choose(b.w->listMenu->programAction);
        QVERIFY(boxes.allShown());
        QCOMPARE(b.dialogs.plans.size(), 1);
        const PlanView &plan = b.dialogs.plans.first();
        QVERIFY(plan.unlisted > 30 && !plan.prune);
        QVERIFY(plan.summary.endsWith(QStringLiteral("%1 used position(s) that the file does not list stay as they are").arg(plan.unlisted)));
        QVERIFY(plan.pruneSummary.endsWith(QStringLiteral("%1 used position(s) that the file does not list are blanked").arg(plan.unlisted)));
        for (int p = 1; p <= 40; ++p)
            QCOMPARE(b.table()[p - 1].isBlank(), p != 2 && p != 9);
        QVERIFY(b.listShowsUnit());
    }

    // A file with many bad lines: the count first, then a list that scrolls,
    // capped, in a dialog that fits the screen.
    void manyProblemsFitTheScreen()
    {
        QStringList lines;
        for (int i = 1; i <= 1200; ++i)
            lines << QStringLiteral("bad.csv:%1: GSM number \"1\" is not nine digits").arg(i + 1);
        ProblemsDialog d(QStringLiteral("1200 problem(s) in bad.csv; nothing was written"), lines);
        QCOMPARE(d.lines()->count(), ProblemsDialog::kShownProblems + 1);
        QCOMPARE(d.lines()->item(ProblemsDialog::kShownProblems)->text(), QStringLiteral("... and 1000 more"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(d.height() < 600);
        QVERIFY(d.lines()->verticalScrollBar()->isVisible());
    }

    // The plan's list of changes takes the focus with Tab and scrolls with
    // PageDown; the go button goes.
    void planScrollsWithTheKeyboard()
    {
        PlanView view;
        view.goText = QStringLiteral("Program");
        for (int p = 1; p <= 100; ++p)
            view.changes.append({QStringLiteral("(%1) unit").arg(p), QStringLiteral("(%1) file").arg(p)});
        PlanDialog d(view);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        for (int i = 0; i < 5 && QApplication::focusWidget() != d.changes(); ++i)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), d.changes());
        QTest::keyClick(d.changes(), Qt::Key_PageDown);
        QVERIFY(d.changes()->verticalScrollBar()->value() > 0);
        // Its go button is what accepts it.
        const auto *box = d.findChild<QDialogButtonBox *>();
        for (QAbstractButton *button : box->buttons())
            if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
                button->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    // A run stopped by Cancel or a pulled cable says how far it got, in one
    // box; Cancel leaves the window connected, the pulled cable
    // disconnected. Until the table is read again the list keeps its rows
    // and its caption says that it is not read back, and Export says so;
    // the window reads the table as soon as the unit is ready again, and
    // rewrites the working file. The same job run again finishes the run.
    void stoppedRunIsFinishedBySecondRun_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<QString>("why"); // the box's first line; %1 the device
        QTest::addColumn<int>("style");
        QTest::newRow("cancelled") << false << "interrupted" << int(vbOKOnly);
        QTest::newRow("unplugged") << true
                                   << "the connection to COM 1 was lost: %1 went away (the cable or adapter was "
                                      "unplugged, or the unit switched off)"
                                   << int(vbExclamation);
    }
    void stoppedRunIsFinishedBySecondRun()
    {
        QFETCH(bool, unplug);
        QFETCH(QString, why);
        QFETCH(int, style);
        m7sim::Options o = unitOf(30);
        o.writeDelayMs = 40;
        o.hangupAfterWrites = unplug ? 3 : 0;
        Bench b(o);
        QVERIFY(b.start());
        const QStringList before = rowsOf(*b.w);
        table::Table wanted = b.table();
        for (int i = 10; i < 20; ++i)
            wanted[i] = table::Entry{QStringLiteral("8666000%1").arg(i), qint16(6600 + i)};
        QVERIFY(put(QStringLiteral("wanted.onf"), files::onfOf(wanted)));
        int processed = 0;
        QString progressText;
        connect(&b.unit, &m7sim::Unit::writeProcessed, this, [&] {
            if (++processed != 3 || unplug)
                return;
            // The table read again after the run stops after 5 rows.
            b.unit.options().silenceAfterLines = 5;
            if (auto *progress = b.w->findChild<QProgressDialog *>()) {
                progressText = progress->labelText();
                progress->findChild<QPushButton *>()->click();
            }
        });
        const unit::RunResult stopped{unplug ? unit::Outcome::Lost : unit::Outcome::Interrupted, 3, 10};
        ScriptedBoxes boxes;
        boxes.expect(box(QStringLiteral("Send 10 writes to the unit on %1?").arg(b.port()), vbYesNo + vbQuestion))
            .expect(box(why.replace(QLatin1String("%1"), b.unit.slavePath()) + QLatin1Char('\r') + unit::runSummary(stopped), style));
        for (const int run : {1, 2}) {
            b.dialogs.answers << QStringLiteral("wanted.onf");
            b.choose(b.w->listMenu->programAction);
            QVERIFY(boxes.allShown());
            if (run == 2)
                break;
            QCOMPARE(processed, 3);
            QCOMPARE(b.table().mid(0, 13), wanted.mid(0, 13));
            if (!unplug)
                QVERIFY2(progressText.endsWith(QLatin1String("\n2 of 10")), qPrintable(progressText));
            if (unplug) {
                QVERIFY(!b.w->MSComm1->PortOpen() && !b.w->connectedLampShown());
            } else {
                // The read again is cut short: the window's watchdog ends it.
                QVERIFY(waitFor([&] { return b.w->List1->count() == 5; }));
                QTest::qWait(100);
                for (int i = 0; i < 10; ++i)
                    b.w->Timer1_Timer();
            }
            QCOMPARE(rowsOf(*b.w), before);
            QVERIFY(!b.w->Label5->mark().isEmpty());
            boxes.expect(box("The list may not show what the unit holds: the unit was written to and its table was not "
                             "read back since. Connect and read the table (\"Read All\", \"Read\") for a true copy.\r"
                             "Export the list as it is?", vbYesNo + vbExclamation));
            b.dialogs.answers << QStringLiteral("x.onf");
            b.choose(b.w->listMenu->exportAction);
            QVERIFY(boxes.allShown());
            // Ready again: the window reads the table on its own.
            if (unplug) {
                QVERIFY(b.unit.reopen());
                QVERIFY(b.connect(true));
            } else {
                b.unit.options().silenceAfterLines = -1;
                b.unit.sendLine("K");
            }
            QVERIFY(b.listShowsUnit());
            QVERIFY(b.w->Label5->mark().isEmpty());
            QCOMPARE(contents(QStringLiteral("temp.tfo")), files::onfOf(b.table()));
            boxes.expect(box(QStringLiteral("Send 7 writes to the unit on %1?").arg(b.port()), vbYesNo + vbQuestion))
                .expect(box(QStringLiteral("7 of 7 writes done; verified"), vbOKOnly));
        }
        QCOMPARE(b.table(), wanted);
        QVERIFY(b.listShowsUnit());
        QCOMPARE(contents(QStringLiteral("temp.tfo")), files::onfOf(wanted));
    }
    // The window's jobs and m7ctl run one pipeline: for the same file and
    // unit, Compare lists the positions "m7ctl diff" lists, and Program
    // the problems "m7ctl write --dry-run" names.
    void sameAnswerAsM7ctl_data()
    {
        QTest::addColumn<bool>("program");
        QTest::addColumn<QByteArray>("file");
        const QByteArray cut = "position,gsm,object\r\n1,888100001,101\r\n2,866600002,6602\r\n";
        QTest::newRow("compare: a cut file") << false << cut;
        QTest::newRow("compare: beyond the unit") << false << cut + "41,866600041,6641\r\n";
        QTest::newRow("program: clashes") << true
                                          << QByteArray("position,gsm,object\r\n5,888100001,6605\r\n50,866600050,"
                                                        "6650\r\n6,866600006,102\r\n");
    }
    void sameAnswerAsM7ctl()
    {
        QFETCH(bool, program);
        QFETCH(QByteArray, file);
        Bench b(unitOf(40));
        QVERIFY(b.start({{0, {"888100001", 101}}, {1, {"888100002", 102}}}));
        QVERIFY(put(QStringLiteral("file.csv"), file));
        QStringList window;
        const DialogResponders scripted = setDialogResponders({});
        const DialogResponders own{scripted.text, scripted.fileName,
                                   [&](PlanView &plan) {
                                       for (const auto &change : plan.changes)
                                           window << change.first.left(6);
                                       return false;
                                   },
                                   [&](const QString &summary, const QStringList &lines) { window << summary << lines; }};
        setDialogResponders(own);
        b.dialogs.answers << QStringLiteral("file.csv");
        b.choose(program ? b.w->listMenu->programAction : b.w->listMenu->compareAction);
        setDialogResponders(scripted);
        QVERIFY(waitFor([&] { return b.w->MSComm1->PortOpen(); }));
        b.w->imgConnected_Click(); // m7ctl gets the port
        QVERIFY(!b.w->MSComm1->PortOpen());
        QProcess m7ctl;
        m7ctl.start(QStringLiteral(M7CTL), program ? QStringList{"-p", b.unit.slavePath(), "write", "file.csv", "--dry-run"}
                                                   : QStringList{"-p", b.unit.slavePath(), "diff", "file.csv"});
        QVERIFY(waitFor([&] { return m7ctl.state() == QProcess::NotRunning; }, 60000));
        QStringList cli;
        const QString out = QString::fromLocal8Bit(program ? m7ctl.readAllStandardError() : m7ctl.readAllStandardOutput());
        for (QString line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            cli << (program ? line.remove(QStringLiteral("m7ctl: ")) : line.left(6));
        if (program)
            cli.move(cli.size() - 1, 0); // the window says the count first
        QVERIFY(!window.isEmpty());
        QCOMPARE(window, cli);
        QCOMPARE(m7ctl.exitCode(), program ? 2 : 1);
    }
};

QTEST_MAIN(ListMenuTest)
#include "tst_listmenu.moc"
