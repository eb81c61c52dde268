#include "windowbench.h"

#include "files/records.h"
#include "files/tablefile.h"

#include <QListWidget>
#include <QTest>

namespace testing {

bool WindowBench::connect(bool shown)
{
    [&] {
        QVERIFY(startUnit());
        w.devices = QStringList{unit.slavePath()};
        w->Timer1->stop(); // ticks are given by the tests
        if (shown) {
            w->show();
            QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        }
        QVERIFY(connectWindow(*w));
        QVERIFY(waitFor([&] {
            return w->linkState == app::LinkState::Ready && w->Label2->text() == QLatin1String("Starting...");
        }));
    }();
    return !QTest::currentTestFailed();
}

void WindowBench::readAll()
{
    w->Check1->setChecked(true);
    w->Command2_Click();
}

bool WindowBench::listShowsUnit()
{
    return waitFor([&] {
        return w->linkState == app::LinkState::Ready && w->connectedLampShown()
            && files::recordsOf(rowsOf(*w)) == files::onfOf(table());
    }, 10000);
}

void WindowBench::eraseAll()
{
    const QString title = QStringLiteral("!!! DELETE ALL DATA !!!");
    ScriptedBoxes boxes;
    boxes.expect(QStringLiteral(" DLETE ALL Object and GMS number ? "), app::vbYesNo, title, app::vbYes)
        .expect(QStringLiteral(" Do you really want to DLETE ALL Object and GMS number ? "),
                app::vbYesNo + app::vbCritical, title, app::vbYes);
    w->Command1_Click();
}

void WindowBench::click(Qt::MouseButton button, int row)
{
    const QRect r = w->List1->visualItemRect(w->List1->item(row));
    QTest::mouseClick(w->windowHandle(), button, {}, w->List1->viewport()->mapTo(w.get(), r.center()));
}

QString WindowBench::port() const
{
    return QStringLiteral("COM 1 (%1)").arg(unit.slavePath());
}

} // namespace testing
