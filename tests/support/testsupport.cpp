#include "testsupport.h"

#include "app/controls.h"
#include "app/msgbox.h"

#include <QTest>

namespace testing {

// ---------------------------------------------------------------- ScriptedBoxes

static QString describe(const QString &text, int style, const QString &title)
{
    QString t = text;
    t.replace(QLatin1Char('\r'), QLatin1String("<CR>"));
    return QStringLiteral("\"%1\" style %2 title \"%3\"").arg(t).arg(style).arg(title);
}

ScriptedBoxes::ScriptedBoxes()
{
    m_previous = app::setMsgBoxResponder(
        [this](const QString &text, int style, const QString &title) { return respond(text, style, title); });
}

ScriptedBoxes::~ScriptedBoxes()
{
    app::setMsgBoxResponder(m_previous);
    if (!m_checked && !m_expected.isEmpty())
        allShown();
}

ScriptedBoxes &ScriptedBoxes::expect(const QString &text, int style, const QString &title, int answer)
{
    m_expected.append({text, style, title, answer});
    m_checked = false;
    return *this;
}

bool ScriptedBoxes::allShown()
{
    m_checked = true;
    if (m_expected.isEmpty())
        return true;
    const Box &b = m_expected.first();
    QTest::qFail(qPrintable(QStringLiteral("%1 expected message box(es) not shown, the first: %2")
                                .arg(m_expected.size())
                                .arg(describe(b.text, b.style, b.title))),
                 __FILE__, __LINE__);
    return false;
}

int ScriptedBoxes::respond(const QString &text, int style, const QString &title)
{
    m_shown.append({text, style, title, 0});
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected message box: %1").arg(describe(text, style, title))),
                     __FILE__, __LINE__);
        return (style & 0x0F) == app::vbYesNo ? app::vbNo : app::vbOK;
    }
    const Box want = m_expected.takeFirst();
    if (want.text != text || want.style != style || want.title != title) {
        QTest::qFail(qPrintable(QStringLiteral("message box %1, expected %2")
                                    .arg(describe(text, style, title), describe(want.text, want.style, want.title))),
                     __FILE__, __LINE__);
    }
    m_shown.last().answer = want.answer;
    return want.answer;
}

// ---------------------------------------------------------------- window

WindowUnderTest::WindowUnderTest(QStringList devs, const app::WindowDesign &design) : devices(std::move(devs))
{
    m_window = std::make_unique<app::frmM7_1>(
        [this](int n) {
            if (n >= 1 && n <= devices.size() && !devices[n - 1].isEmpty())
                return devices[n - 1];
            return QStringLiteral("/nonexistent/m7-test-com%1").arg(n);
        },
        design);
    m_window->EndApplication = [this] { ++endRequests; };
}

WindowUnderTest::~WindowUnderTest() = default;

QStringList rowsOf(const app::frmM7_1 &w)
{
    QStringList rows;
    for (int i = 0; i < w.List1->count(); ++i)
        rows << w.List1->item(i)->text();
    return rows;
}

bool connectWindow(app::frmM7_1 &w)
{
    w.imgNotConnected_Click();
    return w.MSComm1->PortOpen() && w.connectedLampShown();
}

} // namespace testing
